#include "app/Application.h"

#include "ui/common/DeferredIconStyle.h"
#include "ui/common/Icons.h"
#include "ui/common/RunCommand.h"

PictavoApplication::PictavoApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("Pictavo 2006"));
    setOrganizationName(QStringLiteral("Pictavo"));
    setStyle(new DeferredIconStyle);
    // Every window, and the desktop entry that the desktop matches it with.
    setWindowIcon(appIcon());
    setDesktopFileName(QStringLiteral("org.pictavo.Pictavo"));
}

bool PictavoApplication::notify(QObject* receiver, QEvent* event)
{
    // Commands catch their own failures; this is the safety net for
    // anything thrown from an event handler outside a command.
    bool handled = false;
    runCommand(m_dialogs, [&] { handled = QApplication::notify(receiver, event); });
    return handled;
}
