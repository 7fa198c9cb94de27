#pragma once
// Whether a file's own structure is whole, for the kinds whose decoder
// (a Qt plugin, libheif) would give a part of a cut file, or its first page
// of a broken chain, without a word: GIF blocks, WebP and HEIF boxes, TIFF
// directories and strips, icon entries. Read before anything is decoded;
// JPEG, BMP and PNG decoders tell their own damage.
#include "graphics/PictureDamage.h"
#include "graphics/PictureFormat.h"

#include <QByteArray>

struct ContainerDamage {
    PictureDamage damage = PictureDamage::None;
    QString reason; // in words, for the message; empty when whole
};

ContainerDamage containerDamage(const QByteArray& data, PictureFormat format);
