#pragma once
// The marker segments a JPEG carries besides its pixels (APPn and COM: EXIF,
// XMP, IPTC, ICC profiles, comments, makers' own), and what a rewrite keeps
// of them: everything, in order, with only the values that describe the
// pixels changed.
#include "graphics/ExifMetadata.h"
#include "graphics/JpegCodec.h"

#include <QList>

// APPn and COM segments before the first scan, in file order; as many as
// could be followed.
QList<JpegSegment> readJpegSegments(const QByteArray& jpeg);
// The payload of the first `marker` segment that starts with `tag`, or empty.
QByteArray segmentPayload(const QList<JpegSegment>& segments, int marker, QByteArrayView tag);

// What changed in the pixels, for the metadata that describes them.
using MetadataChanges = ExifChanges;

// The source's segments for its pixels written as a new JPEG coded as
// `encoding`: the EXIF and XMP values changed as `changes` says (and with
// them JFIF's and Photoshop's resolutions after a quarter turn); JFIF kept
// without its thumbnail; JFXX thumbnails and Adobe's colour-transform
// marker dropped, since they describe the old encoding; a colour profile
// kept when it describes the colour model of `encoding`.
QList<JpegSegment> keptSegments(const QList<JpegSegment>& source, const MetadataChanges& changes,
                                const JpegEncoding& encoding);

// A standard XMP payload ("http://ns.adobe.com/xap/1.0/\0" and the packet)
// with the orientation, dimension and (swapped) resolution properties that
// exist changed.
QByteArray editXmp(const QByteArray& payload, bool resetOrientation, QSize size, bool swapResolution = false);

// `jpeg` with its first EXIF block and its standard XMP packet edited (and
// its JFIF and Photoshop resolutions after a quarter turn); every other
// byte kept. Answers `jpeg` unchanged when its markers can't be
// followed.
QByteArray editJpegMetadata(const QByteArray& jpeg, const MetadataChanges& changes);
