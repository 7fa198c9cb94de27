#include "app/Comments.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QVBoxLayout>

TfrmComments::TfrmComments(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("frmComments"));
    setWindowTitle(QString());
    m_label = new QLabel(this);
    m_label->setObjectName(QStringLiteral("LabelComments"));
    m_label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_label->setWordWrap(true);
    m_label->setTextFormat(Qt::PlainText);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addWidget(m_label);
    setGeometry(193, 103, 389, 61);
}

void TfrmComments::setCommentText(const QString& text) { m_label->setText(text); }

void TfrmComments::setTransparency(int position)
{
    if (position >= 255) {
        m_alpha = 0;
        setWindowOpacity(1.0);
    } else {
        m_alpha = std::max(position, 0) + 1;
        setWindowOpacity(m_alpha / 255.0);
    }
}

void TfrmComments::setCommentFont(const QFont& font, const QColor& color)
{
    m_label->setFont(font);
    QPalette pal = m_label->palette();
    pal.setColor(QPalette::WindowText, color);
    m_label->setPalette(pal);
}

void TfrmComments::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        hide();
        return;
    }
    QWidget::keyPressEvent(event);
}

void TfrmComments::closeEvent(QCloseEvent* event)
{
    // Closing only hides: the window keeps its text, place and size.
    event->ignore();
    hide();
}
