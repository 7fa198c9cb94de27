#include "ui/common/RunCommand.h"

#include "core/Errors.h"
#include "ui/common/Dialogs.h"

#include <QApplication>
#include <QMainWindow>

#include <exception>

bool runCommand(DialogProvider& dialogs, const std::function<void()>& command)
{
    try {
        command();
        return true;
    } catch (const AppError& e) {
        reportError(dialogs, e.text());
    } catch (const std::exception& e) {
        reportError(dialogs, QString::fromLocal8Bit(e.what()));
    }
    return false;
}

void reportError(DialogProvider& dialogs, const QString& text)
{
    QWidget* parent = QApplication::activeWindow();
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (!parent && qobject_cast<QMainWindow*>(w))
            parent = w;
    }
    dialogs.error(parent, text);
}
