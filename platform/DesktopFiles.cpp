#include "platform/DesktopFiles.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QVariantMap>

DesktopFiles::DesktopFiles(Services services, QObject* parent)
    : QObject(parent), m_services(std::move(services))
{
    if (!m_services.openUrl)
        m_services.openUrl = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
    if (!m_services.startProgram)
        m_services.startProgram = [](const QString& program, const QStringList& arguments) {
            return QProcess::startDetached(program, arguments);
        };
}

DesktopFiles::DesktopFiles(QObject* parent) : DesktopFiles(Services{}, parent) {}

void DesktopFiles::send(const QDBusMessage& call, std::function<void(bool answered)> answered)
{
    // A bus that isn't there fails the call at once, through the same path.
    auto* watcher = new QDBusPendingCallWatcher(m_services.bus.asyncCall(call, m_services.timeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [answered = std::move(answered)](QDBusPendingCallWatcher* w) {
                w->deleteLater();
                answered(!w->isError());
            });
}

void DesktopFiles::showInFileManager(const QString& path, Done done)
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    // The file's URL, and no start-up id: the file manager raises itself.
    call << QStringList{QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded)} << QString();
    const QUrl folder = QUrl::fromLocalFile(QFileInfo(path).absolutePath());
    send(call, [this, folder, done = std::move(done)](bool answered) {
        if (answered)
            done(Outcome::FileManager);
        else
            done(m_services.openUrl(folder) ? Outcome::Folder : Outcome::Failed);
    });
}

void DesktopFiles::openWith(const QString& path, Done done)
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.portal.Desktop"), QStringLiteral("/org/freedesktop/portal/desktop"),
        QStringLiteral("org.freedesktop.portal.OpenURI"), QStringLiteral("OpenURI"));
    // "ask": the portal lets the user choose the program, as "open with" does.
    call << QString() << QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded)
         << QVariantMap{{QStringLiteral("ask"), true}};
    send(call, [this, path, done = std::move(done)](bool answered) {
        if (answered)
            done(Outcome::Portal);
        else
            done(m_services.startProgram(QStringLiteral("xdg-open"), {path}) ? Outcome::Program
                                                                             : Outcome::Failed);
    });
}
