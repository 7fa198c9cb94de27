#include "ui/common/AboutBox.h"

#include "ui/common/Icons.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>

AboutBox::AboutBox(QWidget* parent) : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About..."));
    setFixedSize(533, 330);
    setModal(false);

    auto* picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("Image1"));
    picture->setPixmap(QPixmap::fromImage(aboutPicture()));
    picture->setAccessibleName(QGuiApplication::applicationDisplayName());
    picture->setGeometry(-16, 0, 552, 331);

    // Over the picture, beside the program's name; it grows to the left
    // edge of the box with a longer translation.
    auto* subtitle = new QLabel(QStringLiteral("Picture collections viewer"), this);
    subtitle->setObjectName(QStringLiteral("Label2"));
    subtitle->setStyleSheet(QStringLiteral("color: rgb(250,250,246); background: transparent;"));
    QFont sub(QStringLiteral("DejaVu Sans"));
    sub.setPixelSize(16);
    subtitle->setFont(sub);
    subtitle->setWordWrap(true);
    subtitle->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    subtitle->setGeometry(276, 118, 250, 44);

    auto* version = new QLabel(QStringLiteral("Version 1.0"), this);
    version->setObjectName(QStringLiteral("Label1"));
    version->setAttribute(Qt::WA_TranslucentBackground);
    version->setStyleSheet(QStringLiteral("color: white; background: transparent;"));
    // Ends where the design's English ends; a longer text grows leftwards.
    version->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    version->setGeometry(325, 272, 200, 16);

    auto* ok = new QPushButton(pvIcon(QStringLiteral("ok")), QStringLiteral("   OK"), this);
    ok->setObjectName(QStringLiteral("SpeedButton1"));
    ok->setFlat(true);
    ok->setGeometry(422, 301, 73, 22);
    ok->setStyleSheet(
        QStringLiteral("QPushButton { color: white; background: rgba(0,0,0,60); border: 1px solid "
                       "rgba(255,255,255,120); } QPushButton:hover { background: rgba(0,0,0,110); }"));
    connect(ok, &QPushButton::clicked, this, &QWidget::hide);
}
