#pragma once
// The program's own tool-bar glyphs, drawn in code so they scale cleanly
// and carry no third-party artwork.
#include <QIcon>
#include <QImage>

QIcon pvIcon(const QString& name);
// The About box's picture, 552 x 331.
QImage aboutPicture();
// The program's window icon.
QIcon appIcon();
