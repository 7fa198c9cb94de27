#include "ui/help/HelpBinding.h"

#include "core/Errors.h"
#include "ui/help/HelpWindow.h"
#include "platform/DataFolder.h"
#include "ui/common/Dialogs.h"

#include <QCoreApplication>
#include <QPointer>

namespace {

QPointer<HelpWindow> g_window;

class HelpWindowBackend final : public HelpViewerBackend {
public:
    void execute(QWidget* caller, const help::HelpCall& call) override
    {
        if (call.command == help::HH_CLOSE_ALL) {
            if (g_window)
                g_window->hide();
            return;
        }
        const help::HelpFileArgument arg = help::splitHelpFileArgument(call.file);
        HelpWindow* window = ensureWindow();
        try {
            window->openFile(arg.file);
        } catch (const AppError& e) {
            dialogs().error(caller, e.text());
            return;
        }
        switch (call.command) {
        case help::HH_DISPLAY_TOC:
            window->showContents();
            break;
        case help::HH_DISPLAY_INDEX:
            window->showKeyword(call.value.toString());
            break;
        case help::HH_DISPLAY_TOPIC:
            window->showTopic(arg.topic);
            break;
        case help::HH_HELP_CONTEXT:
            window->showContext(call.value.toInt());
            break;
        default:
            return;
        }
        window->show();
        window->raise();
        window->activateWindow();
    }

private:
    static HelpWindow* ensureWindow()
    {
        if (!g_window) {
            g_window = new HelpWindow;
            // The window outlives every other; it must still go before the
            // application object does.
            if (QCoreApplication* app = QCoreApplication::instance())
                QObject::connect(app, &QCoreApplication::aboutToQuit, g_window.data(),
                                 [] { delete g_window; });
        }
        return g_window;
    }
};

} // namespace

HelpBinding::HelpBinding() : m_backend(&helpWindowBackend()) {}

QString HelpBinding::helpFile() const
{
    const QString dir = m_programDir.isEmpty() ? QCoreApplication::applicationDirPath() : m_programDir;
    // The fixed path maps into the data folder, which an installed program
    // keeps apart from its executable.
    const QString data = m_programDir.isEmpty() ? dataFolder().path : m_programDir;
    return help::localHelpPath(help::resolveHelpFile(m_managerFile, m_applicationFile, dir), data);
}

int HelpBinding::understandsKeyword(const QString&) const
{
    return isHtmlHelp() ? 1 : 0;
}

QStringList HelpBinding::getHelpStrings(const QString& keyword) const
{
    return {help::helpStringFor(m_viewerName, keyword)};
}

bool HelpBinding::understandsTopic(const QString&) const
{
    return isHtmlHelp();
}

bool HelpBinding::understandsContext(int) const
{
    return isHtmlHelp();
}

int HelpBinding::selectTableOfContents(const QStringList& viewers) const
{
    return help::selectTableOfContents(viewers, m_viewerName);
}

int HelpBinding::selectKeyword(const QStringList& helpStrings) const
{
    return help::selectKeyword(helpStrings, m_viewerName);
}

void HelpBinding::showTableOfContents(QWidget* caller)
{
    const QString file = helpFile();
    if (help::isHtmlHelpFile(file))
        send(caller, help::tableOfContentsCall(file));
}

void HelpBinding::showHelp(QWidget* caller, const QString& helpString)
{
    const QString file = helpFile();
    if (help::isHtmlHelpFile(file))
        send(caller, help::keywordCall(file, helpString));
}

void HelpBinding::showTopic(QWidget* caller, const QString& topic)
{
    const QString file = helpFile();
    if (help::isHtmlHelpFile(file))
        send(caller, help::topicCall(file, topic, m_defaultExtension));
}

void HelpBinding::showContext(QWidget* caller, int context)
{
    const QString file = helpFile();
    if (help::isHtmlHelpFile(file))
        send(caller, help::contextCall(file, context));
}

void HelpBinding::shutDown()
{
    send(nullptr, help::closeAllCall());
}

void HelpBinding::send(QWidget* caller, const help::HelpCall& call)
{
    if (m_backend)
        m_backend->execute(call.withWindow ? caller : nullptr, call);
}

HelpBinding& helpBinding()
{
    static HelpBinding viewer;
    return viewer;
}

HelpViewerBackend& helpWindowBackend()
{
    static HelpWindowBackend backend;
    return backend;
}

HelpWindow* openHelpWindow()
{
    return g_window;
}

void showHelpContents(QWidget* parent)
{
    helpBinding().showTableOfContents(parent);
}

void showHelpKeyword(QWidget* parent, const QString& keyword)
{
    HelpBinding& viewer = helpBinding();
    viewer.showHelp(parent, help::helpStringFor(viewer.getViewerName(), keyword));
}

void showHelpTopic(QWidget* parent, const QString& topic)
{
    helpBinding().showTopic(parent, topic);
}

void closeHelp()
{
    helpBinding().shutDown();
    delete g_window;
}
