#pragma once
// The desktop's own ways with a picture's file: the file manager showing it
// selected (org.freedesktop.FileManager1.ShowItems) and the desktop's "open
// with" choice (the OpenURI portal, asking; else xdg-open). Calls go out
// over the session bus without waiting: the window answers meanwhile, and
// where nothing answers within a second the fallback runs.
#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>

class QDBusMessage;

class DesktopFiles : public QObject {
public:
    // How a request was served; Failed when nothing took it.
    enum class Outcome { FileManager, Folder, Portal, Program, Failed };
    using Done = std::function<void(Outcome)>;

    // What the calls go through; tests give a private bus and fakes.
    struct Services {
        QDBusConnection bus = QDBusConnection::sessionBus();
        // Opens a URL through the desktop (QDesktopServices::openUrl).
        std::function<bool(const QUrl&)> openUrl;
        // Starts a program and leaves it running (QProcess::startDetached).
        std::function<bool(const QString& program, const QStringList& arguments)> startProgram;
        int timeoutMs = 1000;
    };

    explicit DesktopFiles(Services services, QObject* parent = nullptr);
    // The session bus and the desktop's own openers.
    explicit DesktopFiles(QObject* parent = nullptr);

    // The file manager shows `path` selected; where none answers, its
    // folder opens through the desktop. `done` hears which.
    void showInFileManager(const QString& path, Done done);
    // The desktop asks which program opens `path`: the portal, else xdg-open.
    void openWith(const QString& path, Done done);

private:
    // Sends `call`; `answered` runs with whether it was answered without error.
    void send(const QDBusMessage& call, std::function<void(bool answered)> answered);

    Services m_services;
};
