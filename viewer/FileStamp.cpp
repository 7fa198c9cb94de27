#include "viewer/FileStamp.h"

#include "core/FileNames.h"

#include <sys/stat.h>

FileStamp FileStamp::of(const QString& path)
{
    struct stat st {};
    if (::stat(nativeFileName(path).constData(), &st) != 0)
        return {};
    return {qint64(st.st_size), qint64(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec,
            quint64(st.st_ino)};
}
