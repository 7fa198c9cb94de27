#include "ui/common/CommentsWindow.h"

#include "settings/SettingsModel.h"

#include <QAction>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

CommentsWindow::CommentsWindow(const SettingsValues& settings, QAction* toggle, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("frmComments"));
    // An empty title would make the desktop show the program's name there.
    setWindowTitle(QStringLiteral(" "));
    m_label = new QLabel(this);
    m_label->setObjectName(QStringLiteral("LabelComments"));
    m_label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_label->setWordWrap(true);
    m_label->setTextFormat(Qt::PlainText);
    // Long comments wrap and are cut off; the window never grows to fit.
    m_label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addWidget(m_label);
    setGeometry(DesignFrame);
    buildContents(settings, toggle);
}

void CommentsWindow::buildContents(const SettingsValues& settings, QAction* toggle)
{
    setCommentFont(commentFont(settings), syscolor::toQColor(quint32(settings.fontColor)));
    setTransparency(settings.alpha);
    // Ctrl+C hides the window again while it has the focus.
    if (toggle)
        addAction(toggle);
}

void CommentsWindow::setCommentText(const QString& text)
{
    m_label->setText(text);
}

void CommentsWindow::setAlpha(std::optional<int> alpha)
{
    if (alpha)
        alpha = std::clamp(*alpha, 1, 255);
    m_alpha = alpha;
    setWindowOpacity(alpha ? *alpha / 255.0 : 1.0);
}

void CommentsWindow::setTransparency(int position)
{
    setAlpha(alphaForSlider(position));
}

void CommentsWindow::setCommentFont(const QFont& font, const QColor& color)
{
    m_label->setFont(font);
    QPalette pal = m_label->palette();
    pal.setColor(QPalette::WindowText, color);
    m_label->setPalette(pal);
}

void CommentsWindow::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        hide();
        return;
    }
    QWidget::keyPressEvent(event);
}

void CommentsWindow::closeEvent(QCloseEvent* event)
{
    // Closing only hides: the window keeps its text, place and size.
    event->ignore();
    hide();
}

void CommentsWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!m_sized) {
        QTimer::singleShot(0, this, &CommentsWindow::fitOuterSize);
        QTimer::singleShot(250, this, &CommentsWindow::fitOuterSize);
    }
}

void CommentsWindow::fitOuterSize()
{
    // The design counts the frame in; a window manager draws it only once
    // the window is mapped, so the client area shrinks to match then.
    if (m_sized || !isVisible())
        return;
    const QRect frame = frameGeometry();
    const QRect client = geometry();
    if (frame == client)
        return; // no frame (yet): try again at the next showing
    m_sized = true;
    const QSize extra = frame.size() - client.size();
    resize(DesignFrame.width() - extra.width(), DesignFrame.height() - extra.height());
    move(DesignFrame.topLeft());
}
