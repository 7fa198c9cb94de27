#include "ui/common/Dialogs.h"

#include <QApplication>
#include <QColorDialog>
#include <QFileDialog>
#include <QFontDialog>
#include <QMessageBox>
#include <QPushButton>

namespace {
DialogProvider g_default;
DialogProvider* g_current = nullptr;
} // namespace

DialogProvider& dialogs() { return g_current ? *g_current : g_default; }
void setDialogProvider(DialogProvider* provider) { g_current = provider; }

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
    QMessageBox::information(parent, QCoreApplication::applicationName(), text);
}

bool DialogProvider::question(QWidget* parent, const QString& text, const QString& accept,
                              const QString& reject)
{
    QMessageBox box(QMessageBox::Warning, QCoreApplication::applicationName(), text, QMessageBox::NoButton,
                    parent);
    QPushButton* yes = box.addButton(accept, QMessageBox::AcceptRole);
    box.addButton(reject, QMessageBox::RejectRole);
    box.exec();
    return box.clickedButton() == yes;
}

void DialogProvider::error(QWidget* parent, const QString& text)
{
    QMessageBox::critical(parent, QCoreApplication::applicationName(), text);
}

QString DialogProvider::openFile(QWidget* parent, const QString& filter, const QString& dir)
{
    return QFileDialog::getOpenFileName(parent, QString(), dir, qtFilters(filter).join(QStringLiteral(";;")));
}

QStringList DialogProvider::openFiles(QWidget* parent, const QString& filter, const QString& dir)
{
    return QFileDialog::getOpenFileNames(parent, QString(), dir, qtFilters(filter).join(QStringLiteral(";;")));
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
