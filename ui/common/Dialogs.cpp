#include "ui/common/Dialogs.h"

#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QFileDialog>
#include <QFontDialog>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>

#include <utility>

// Up for the length of one box, whatever way it ends.
struct DialogProvider::BoxUp {
    BoxUp(Standing& box, const QString& text)
        : box(box), wasUp(std::exchange(box.up, true)), text(std::exchange(box.text, text))
    {
    }
    ~BoxUp()
    {
        box.up = wasUp;
        box.text = text;
    }
    Standing& box;
    bool wasUp;
    QString text;
};

// While a box stands, another waits; a text already on its way waits once.
bool DialogProvider::waitForTheStandingBox(QWidget* parent, const QString& text, bool error)
{
    Standing& box = m_standing;
    if (!box.up)
        return false;
    if (text != box.text && !box.waiting.contains(text)) {
        if (box.waiting.isEmpty())
            box.waitingParent = parent;
        box.waiting << text;
        box.waitingIsError = box.waitingIsError || error;
    }
    return true;
}

QStringList qtFilters(const QString& pipeFilter)
{
    QStringList out;
    const QStringList parts = pipeFilter.split(QLatin1Char('|'));
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        out << QStringLiteral("%1 (%2)").arg(parts[i], patterns);
    }
    return out;
}

void DialogProvider::information(QWidget* parent, const QString& text)
{
    tell(parent, text, false);
}

void DialogProvider::error(QWidget* parent, const QString& text)
{
    tell(parent, text, true);
}

void DialogProvider::tell(QWidget* parent, const QString& text, bool error)
{
    if (waitForTheStandingBox(parent, text, error))
        return;
    {
        const BoxUp up(m_standing, text);
        error ? showError(parent, text) : showInformation(parent, text);
    }
    tellWaiting();
}

void DialogProvider::tellWaiting()
{
    // What came while a box stood, in one box.
    Standing& box = m_standing;
    if (box.up || box.waiting.isEmpty())
        return;
    const QString all = box.waiting.join(QLatin1Char('\n'));
    const bool asError = std::exchange(box.waitingIsError, false);
    QWidget* const to = box.waitingParent ? box.waitingParent.data() : nullptr;
    box.waiting.clear();
    tell(to, all, asError);
}

bool DialogProvider::question(QWidget* parent, const QString& text, const QString& accept,
                              const QString& reject)
{
    bool unused = false;
    return question(parent, text, accept, reject, QString(), unused);
}

bool DialogProvider::question(QWidget* parent, const QString& text, const QString& accept,
                              const QString& reject, const QString& checkText, bool& checked)
{
    // A question needs its answer now; what comes meanwhile waits for it.
    bool answer = false;
    {
        const BoxUp up(m_standing, text);
        answer =
            askQuestion(parent, text, accept, reject, checkText, checkText.isEmpty() ? nullptr : &checked);
    }
    tellWaiting();
    return answer;
}

void DialogProvider::showInformation(QWidget* parent, const QString& text)
{
    QMessageBox::information(parent, QCoreApplication::applicationName(), text);
}

bool DialogProvider::askQuestion(QWidget* parent, const QString& text, const QString& accept,
                                 const QString& reject, const QString& checkText, bool* checked)
{
    QMessageBox box(QMessageBox::Warning, QCoreApplication::applicationName(), text, QMessageBox::NoButton,
                    parent);
    QPushButton* yes = box.addButton(accept, QMessageBox::AcceptRole);
    box.addButton(reject, QMessageBox::RejectRole);
    if (checked) {
        auto* check = new QCheckBox(checkText, &box);
        check->setObjectName(QStringLiteral("chkDontAsk"));
        check->setChecked(*checked);
        box.setCheckBox(check);
    }
    box.exec();
    if (checked)
        *checked = box.checkBox()->isChecked();
    return box.clickedButton() == yes;
}

void DialogProvider::showError(QWidget* parent, const QString& text)
{
    QMessageBox::critical(parent, QCoreApplication::applicationName(), text);
}

QString DialogProvider::openFile(QWidget* parent, const QString& filter, const QString& dir)
{
    return QFileDialog::getOpenFileName(parent, QString(), dir, qtFilters(filter).join(QStringLiteral(";;")));
}

QStringList DialogProvider::openFiles(QWidget* parent, const QString& filter, const QString& dir)
{
    return QFileDialog::getOpenFileNames(parent, QString(), dir,
                                         qtFilters(filter).join(QStringLiteral(";;")));
}

QString DialogProvider::saveFile(QWidget* parent, const QString& filter, const QString& dir)
{
    return QFileDialog::getSaveFileName(parent, QString(), dir, qtFilters(filter).join(QStringLiteral(";;")),
                                        nullptr, QFileDialog::DontConfirmOverwrite);
}

bool DialogProvider::chooseFont(QWidget* parent, QFont& font, QColor& color)
{
    bool ok = false;
    const QFont chosen = QFontDialog::getFont(&ok, font, parent);
    if (!ok)
        return false;
    font = chosen;
    const QColor c = QColorDialog::getColor(color, parent);
    if (c.isValid())
        color = c;
    return true;
}

bool DialogProvider::chooseColor(QWidget* parent, QColor& color)
{
    const QColor c = QColorDialog::getColor(color, parent);
    if (!c.isValid())
        return false;
    color = c;
    return true;
}
