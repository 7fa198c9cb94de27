#pragma once
// The program's own tool-bar glyphs, drawn in code so they scale cleanly
// and carry no third-party artwork.
#include <QIcon>
#include <QImage>

QIcon pvIcon(const QString& name);
// The About box's picture, 552 x 331, with the program's name and no
// other words: the box puts its translated texts over it.
QImage aboutPicture();
// The program's window icon.
QIcon appIcon();
