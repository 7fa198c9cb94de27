#include "ui/help/HelpBinding.h"

#include "core/Errors.h"
#include "help/HelpRules.h"
#include "platform/DataFolder.h"
#include "ui/common/Dialogs.h"
#include "ui/help/HelpWindow.h"

#include <QCoreApplication>

HelpBinding::HelpBinding(DialogProvider& dialogs)
    : m_dialogs(dialogs), m_applicationFile(QString::fromLatin1(help::kFixedHelpPath))
{
}

HelpBinding::~HelpBinding()
{
    delete m_window;
}

QString HelpBinding::helpFile() const
{
    // The fixed path maps into the data folder, which an installed program
    // keeps apart from its executable.
    return help::localHelpPath(
        help::resolveHelpFile(m_applicationFile, QCoreApplication::applicationDirPath()), dataFolder().path);
}

void HelpBinding::showContents(QWidget* caller)
{
    const QString file = helpFile();
    if (!help::isHtmlHelpFile(file))
        return;
    if (!m_window) {
        m_window = new HelpWindow;
        if (m_texts)
            m_window->browser()->setMissingPageText(m_texts->MissingHelpPageMessage);
        if (m_translate)
            m_translate(m_window);
    }
    try {
        m_window->openFile(file);
    } catch (const AppError& e) {
        m_dialogs.error(caller, e.text());
        return;
    }
    m_window->showContents();
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

HelpWindow* HelpBinding::window() const
{
    return m_window;
}

void HelpBinding::close()
{
    if (m_window)
        m_window->hide();
}
