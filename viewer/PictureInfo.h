#pragma once
// What the picture information panel tells of a picture file: the file's
// own facts, and the camera's values as a loader read them (Metadata
// request); then each as the text shown. Values a file lacks stay empty,
// and the panel leaves them out.
#include "graphics/PictureFormat.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QSize>
#include <QString>
#include <QUrl>

#include <array>
#include <optional>

struct PictureInfo {
    QString path;
    qint64 fileSize = -1;
    PictureFormat format = PictureFormat::Unknown;
    QSize size;                       // as shown
    QMap<QByteArray, QString> values; // by metadatakey name
};

// The keys a Metadata request asks for.
QList<QByteArray> pictureInfoKeys();
// Reads it through the loaders (blocking: call it off the GUI thread).
// Throws AppError as any reading of the picture does.
PictureInfo readPictureInfo(const QString& path);

enum class InfoField {
    FileName,
    Folder,
    FileSize,
    Kind,
    PixelSize,
    ColorProfile,
    DateTaken,
    Camera,
    Lens,
    Exposure,
    Aperture,
    Iso,
    FocalLength,
    Flash,
    Orientation,
    Position,
    Comment,
};
inline constexpr int InfoFieldCount = int(InfoField::Comment) + 1;

// The words some values are told in, from the interface texts.
struct InfoWords {
    QString flashFired = QStringLiteral("Fired");
    QString flashNotFired = QStringLiteral("Did not fire");
    QString mirrored = QStringLiteral("mirrored");
};

// Each field as shown; empty where the picture has no such value.
std::array<QString, InfoFieldCount> pictureInfoTexts(const PictureInfo& info, const QString& comment,
                                                     const InfoWords& words = {});
// Where the picture was taken, for a map: "geo:lat,lon"; nothing without a position.
std::optional<QUrl> pictureMapLink(const PictureInfo& info);

// The values' forms, empty for a value that is no number of its kind.
QString exposureText(const QString& seconds);                    // "1/75" -> "1/75 s", "13/10" -> "1.3 s"
QString apertureText(const QString& fNumber);                    // "59/10" -> "f/5.9"
QString focalLengthText(const QString& mm, const QString& mm35); // "24 mm (35 mm: 112 mm)"
QString positionText(const QString& latitude, const QString& longitude, const QString& altitude);
QString dateTakenText(const QString& exifDate); // "2008:10:22 16:28:39" -> "2008-10-22 16:28:39"
QString cameraText(const QString& make, const QString& model);
QString flashText(const QString& bits, const InfoWords& words);
QString orientationText(const QString& tag, const InfoWords& words);
