#include "graphics/ShowOnlyPicture.h"

#include "graphics/JxlPicture.h"
#include "graphics/RawPreview.h"
#include "graphics/SvgPicture.h"

bool isShowOnlyKind(PictureFormat format)
{
    return format == PictureFormat::CameraRaw || format == PictureFormat::JpegXl || format == PictureFormat::Svg;
}

ShowOnlyInfo readShowOnlyInfo(const QByteArray& data, PictureFormat format)
{
    ShowOnlyInfo info;
    if (format == PictureFormat::CameraRaw) {
        const RawPictureInfo raw = readRawPictureInfo(data);
        info.stored = raw.stored;
        info.orientation = raw.orientation;
    } else if (format == PictureFormat::JpegXl) {
        const JxlPictureInfo jxl = readJxlPictureInfo(data);
        info.stored = jxl.stored;
        info.orientation = jxl.orientation;
        info.colorSpace = jxl.colorSpace;
        info.icc = jxl.icc;
    } else {
        info.stored = readSvgPictureSize(data);
    }
    return info;
}

QImage decodeShowOnlyPicture(const QByteArray& data, PictureFormat format, QSize stored)
{
    if (format == PictureFormat::CameraRaw)
        return decodeRawPicture(data);
    if (format == PictureFormat::JpegXl)
        return decodeJxlPicture(data);
    return renderSvgPicture(data, stored);
}

QImage showOnlyPictureCovering(const QByteArray& data, PictureFormat format, QSize stored, QSize drawn)
{
    if (format == PictureFormat::Svg)
        return renderSvgPicture(data, stored.scaled(drawn, Qt::KeepAspectRatioByExpanding).expandedTo(QSize(1, 1)));
    if (format == PictureFormat::CameraRaw && drawn.width() < stored.width())
        return decodeRawPreviewCovering(data, stored, drawn);
    return QImage();
}
