#include "ui/main/PictureInfoPanel.h"

#include <QDesktopServices>
#include <QEvent>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

#include <string_view>

namespace {

// The names the language files reach the captions by, and their English.
struct FieldName {
    const char* name;
    const char* english;
};
constexpr FieldName FieldNames[InfoFieldCount] = {
    {"FileName", "File name"},
    {"Folder", "Folder"},
    {"FileSize", "Size on disk"},
    {"Kind", "Kind"},
    {"PixelSize", "Pixel size"},
    {"ColorProfile", "Colour profile"},
    {"DateTaken", "Date taken"},
    {"Camera", "Camera"},
    {"Lens", "Lens"},
    {"Exposure", "Exposure"},
    {"Aperture", "Aperture"},
    {"Iso", "ISO"},
    {"FocalLength", "Focal length"},
    {"Flash", "Flash"},
    {"Orientation", "Orientation"},
    {"Position", "Position"},
    {"Comment", "Comment"},
};

} // namespace

PictureInfoPanel::PictureInfoPanel(QWidget* parent)
    : QDockWidget(parent), m_open([](const QUrl& url) { QDesktopServices::openUrl(url); })
{
    setObjectName(QStringLiteral("PictureInfoPanel"));
    setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable |
                QDockWidget::DockWidgetFloatable);
    auto* body = new QWidget;
    auto* form = m_form = new QFormLayout(body);
    form->setRowWrapPolicy(QFormLayout::WrapLongRows);
    for (int i = 0; i < InfoFieldCount; ++i) {
        const FieldName& f = FieldNames[i];
        auto* name = new QLabel(QString::fromUtf8(f.english), body);
        name->setObjectName(QStringLiteral("lblInfo") + QLatin1String(f.name));
        name->setWordWrap(true); // a long translation in a narrow panel
        auto* value = new QLabel(body);
        value->setObjectName(QStringLiteral("txtInfo") + QLatin1String(f.name));
        value->setTextFormat(Qt::PlainText);
        value->setWordWrap(true);
        value->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
        value->setFocusPolicy(Qt::StrongFocus);
        name->setBuddy(value);
        if (f.name == std::string_view("Position")) {
            // The position with its map button beneath, shown and hidden as one row.
            auto* field = m_positionField = new QWidget(body);
            auto* column = new QVBoxLayout(field);
            column->setContentsMargins(0, 0, 0, 0);
            column->addWidget(value);
            m_mapButton = new QPushButton(QStringLiteral("Show on map"), field);
            m_mapButton->setObjectName(QStringLiteral("btnShowOnMap"));
            column->addWidget(m_mapButton, 0, Qt::AlignLeft);
            column->activate();
            field->installEventFilter(this);
            form->addRow(name, field);
        } else {
            form->addRow(name, value);
        }
        m_names[std::size_t(i)] = name;
        m_values[std::size_t(i)] = value;
    }
    connect(m_mapButton, &QPushButton::clicked, this, [this] {
        if (m_mapLink)
            m_open(*m_mapLink);
    });
    auto* scroller = new QScrollArea(this);
    scroller->setWidget(body);
    scroller->setWidgetResizable(true);
    scroller->setFrameShape(QFrame::NoFrame);
    setWidget(scroller);
    setMinimumWidth(220);
    clear();
}

bool PictureInfoPanel::eventFilter(QObject* watched, QEvent* event)
{
    // Laid out while hidden too, so that the caption a language file gives
    // the button fits the moment it shows.
    if (watched == m_positionField && event->type() == QEvent::LayoutRequest &&
        !m_positionField->isVisible()) {
        m_positionField->resize(m_positionField->sizeHint().expandedTo(m_positionField->size()));
        m_positionField->layout()->activate();
    }
    return QDockWidget::eventFilter(watched, event);
}

void PictureInfoPanel::showTexts(const std::array<QString, InfoFieldCount>& texts)
{
    for (int i = 0; i < InfoFieldCount; ++i) {
        QLabel* value = m_values[std::size_t(i)];
        const QString& text = texts[std::size_t(i)];
        value->setText(text);
        // Said as its caption says it now, in the language shown.
        value->setAccessibleName(m_names[std::size_t(i)]->text());
        value->setAccessibleDescription(text);
        m_form->setRowVisible(i == int(InfoField::Position) ? m_positionField : value, !text.isEmpty());
    }
}

void PictureInfoPanel::showInfo(const PictureInfo& info, const QString& comment, const InfoWords& words)
{
    m_mapLink = pictureMapLink(info);
    showTexts(pictureInfoTexts(info, comment, words));
}

void PictureInfoPanel::showFailure(const QString& path, const QString& message)
{
    m_mapLink.reset();
    PictureInfo info;
    info.path = path;
    showTexts(pictureInfoTexts(info, message));
}

void PictureInfoPanel::clear()
{
    m_mapLink.reset();
    showTexts({});
}
