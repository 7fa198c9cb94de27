#pragma once
// The picture a start shows first, read and decoded while the windows are
// made: which file it is is known before they are, and its decode is most
// of the wait for it. The main image's decoder takes what this made when
// its first picture is that file, unchanged, asked with the same options.
#include "graphics/Picture.h"
#include "viewer/FileStamp.h"

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

#include <future>
#include <optional>

struct EarlyPicture {
    Picture picture;
    QImage covering; // covers the picture fitted into the box
};

class EarlyDecode {
public:
    // Where the first picture comes from: a picture file, or else entry
    // `entry` (from 1) of the collection file `collection`.
    struct Source {
        QString picture;
        QString collection;
        int entry = 1;
        QByteArray codePage;
    };

    // Starts at once, on a thread of its own. `box`: the largest the main
    // image may draw a picture, in device pixels.
    EarlyDecode(Source source, QSize box, ExifOrientation exif, bool displayColors);
    // Waits for the decode.
    ~EarlyDecode();
    EarlyDecode(const EarlyDecode&) = delete;
    EarlyDecode& operator=(const EarlyDecode&) = delete;

    // What was made, when it was read from the file `stamp` describes with
    // these options; nothing otherwise, or when the read failed (the
    // decoder then reads the file itself and tells why as always). Waits
    // for the decode only when it is of that file.
    std::optional<EarlyPicture> resultFor(const FileStamp& stamp, ExifOrientation exif,
                                          bool displayColors) const;

private:
    ExifOrientation m_exif;
    bool m_displayColors;
    std::shared_future<FileStamp> m_stamp;
    std::shared_future<std::optional<EarlyPicture>> m_result;
};
