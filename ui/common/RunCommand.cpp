#include "ui/common/RunCommand.h"

#include "core/Errors.h"
#include "ui/main/MainWindow.h"

#include <exception>

bool runCommand(const std::function<void()>& command)
{
    try {
        command();
        return true;
    } catch (const AppError& e) {
        MainWindow::reportError(e.text());
    } catch (const std::exception& e) {
        MainWindow::reportError(QString::fromLocal8Bit(e.what()));
    }
    return false;
}
