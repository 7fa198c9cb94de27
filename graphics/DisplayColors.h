#pragma once
// Colour as it is shown. Pictures are stored and computed with the values
// their file holds; where they are drawn, values in another colour space
// (an embedded ICC profile, PNG's colour chunks, EXIF's Adobe RGB mark)
// are converted to the screen's sRGB.
#include "graphics/JpegCodec.h"

#include <QByteArray>
#include <QColorSpace>
#include <QImage>
#include <QList>

// Whether values in `space` differ from sRGB (an invalid space is sRGB).
bool needsConversion(const QColorSpace& space);
// `stored`, pixels of a picture in `space`, in sRGB for the screen; as
// they are when the space is sRGB or can't be applied. Whether a drawn
// picture is converted at all is the viewer's setting ([Settings]
// ColorManaged), held by its session.
QImage displayColors(QImage stored, const QColorSpace& space);

// An ICC profile's colour space; invalid when Qt can't apply it.
QColorSpace colorSpaceOfIcc(const QByteArray& icc);
// A JPEG's profile from its APP2 segments ("ICC_PROFILE\0", number,
// count, data), and back.
QByteArray iccFromJpegSegments(const QList<JpegSegment>& segments);
QList<JpegSegment> iccToJpegSegments(const QByteArray& icc);
