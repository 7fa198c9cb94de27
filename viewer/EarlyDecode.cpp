#include "viewer/EarlyDecode.h"

#include "viewer/CollectionRead.h"

namespace {

QString firstPicturePath(const EarlyDecode::Source& source)
{
    if (!source.picture.isEmpty() || source.collection.isEmpty())
        return source.picture;
    const CollectionContents read = readCollectionContents(source.collection, nullptr, source.codePage);
    const int i = source.entry - 1;
    return i >= 0 && i < read.entries.size() ? read.entries.at(i).path : QString();
}

} // namespace

EarlyDecode::EarlyDecode(Source source, QSize box, ExifOrientation exif, bool displayColors)
    : m_exif(exif), m_displayColors(displayColors)
{
    auto stamp = std::make_shared<std::promise<FileStamp>>();
    m_stamp = stamp->get_future().share();
    m_result = std::async(std::launch::async,
                          [source = std::move(source), stamp, box, exif,
                           displayColors]() -> std::optional<EarlyPicture> {
                              QString path;
                              try {
                                  path = firstPicturePath(source);
                              } catch (...) {
                              }
                              stamp->set_value(path.isEmpty() ? FileStamp() : FileStamp::of(path));
                              if (path.isEmpty())
                                  return std::nullopt;
                              try {
                                  EarlyPicture made;
                                  made.picture = Picture::loadFromFile(path, exif);
                                  const QSize fitted = made.picture.size().scaled(box, Qt::KeepAspectRatio);
                                  made.covering = made.picture.decodedCovering(fitted, displayColors);
                                  if (made.covering.isNull())
                                      return std::nullopt;
                                  return made;
                              } catch (...) {
                                  return std::nullopt;
                              }
                          })
                   .share();
}

EarlyDecode::~EarlyDecode()
{
    m_result.wait();
}

std::optional<EarlyPicture> EarlyDecode::resultFor(const FileStamp& stamp, ExifOrientation exif,
                                                   bool displayColors) const
{
    if (exif != m_exif || displayColors != m_displayColors || !stamp.isValid() || !(m_stamp.get() == stamp))
        return std::nullopt;
    return m_result.get();
}
