// The file manager and "open with" calls against fakes on a private session
// bus of the test's own: what the desktop's services receive, and the
// fallback where none answers.
#include "platform/DesktopFiles.h"
#include "tests/support/FileBytes.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVirtualObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <optional>

namespace {

// A service that records every call; it answers, answers with an error, or
// never answers.
class FakeService : public QDBusVirtualObject {
public:
    enum Answer { Reply, Error, Silence };
    explicit FakeService(Answer answer) : m_answer(answer) {}
    QList<QDBusMessage> calls;

    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override
    {
        calls << message;
        if (m_answer == Error)
            connection.send(message.createErrorReply(QDBusError::Failed, QStringLiteral("refused")));
        else if (m_answer == Reply && message.member() == QLatin1String("OpenURI"))
            connection.send(message.createReply(QVariant::fromValue(
                QDBusObjectPath(QStringLiteral("/org/freedesktop/portal/desktop/request/t")))));
        else if (m_answer == Reply)
            connection.send(message.createReply());
        return true;
    }

private:
    Answer m_answer;
};

// A bus daemon of this test's own that starts no service by itself.
class PrivateBus {
public:
    PrivateBus()
    {
        const QString config = m_dir.filePath(QStringLiteral("bus.conf"));
        putBytes(config, QStringLiteral("<busconfig><type>session</type><listen>unix:dir=%1</listen>"
                                        "<auth>EXTERNAL</auth><policy context=\"default\">"
                                        "<allow send_destination=\"*\"/><allow receive_sender=\"*\"/>"
                                        "<allow own=\"*\"/></policy></busconfig>")
                             .arg(m_dir.path())
                             .toUtf8());
        m_daemon.start(QStringLiteral("dbus-daemon"),
                       {QStringLiteral("--nofork"), QStringLiteral("--print-address"),
                        QStringLiteral("--config-file=") + config});
        if (m_daemon.waitForReadyRead(10000))
            address = QString::fromUtf8(m_daemon.readLine()).trimmed();
    }
    ~PrivateBus()
    {
        QDBusConnection::disconnectFromBus(QStringLiteral("client"));
        QDBusConnection::disconnectFromBus(QStringLiteral("service"));
        m_daemon.kill();
        m_daemon.waitForFinished();
    }
    QDBusConnection connect(const QString& name) { return QDBusConnection::connectToBus(address, name); }

    QString address;

private:
    QTemporaryDir m_dir;
    QProcess m_daemon;
};

enum class Ask { ShowInFileManager, OpenWith };
enum class Service { None, FileManager, Portal };

struct DesktopCase {
    const char* name;
    Ask ask;
    Service service;
    FakeService::Answer answer;
    DesktopFiles::Outcome outcome;
};

class DesktopCalls : public ::testing::TestWithParam<DesktopCase> {};

TEST_P(DesktopCalls, ReachTheServiceOrFallBack)
{
    const DesktopCase& c = GetParam();
    PrivateBus bus;
    ASSERT_FALSE(bus.address.isEmpty()) << "dbus-daemon did not start";
    QDBusConnection serviceSide = bus.connect(QStringLiteral("service"));
    FakeService fake(c.answer);
    if (c.service != Service::None) {
        const bool fm = c.service == Service::FileManager;
        ASSERT_TRUE(serviceSide.registerService(fm ? QStringLiteral("org.freedesktop.FileManager1")
                                                   : QStringLiteral("org.freedesktop.portal.Desktop")));
        ASSERT_TRUE(serviceSide.registerVirtualObject(fm ? QStringLiteral("/org/freedesktop/FileManager1")
                                                         : QStringLiteral("/org/freedesktop/portal/desktop"),
                                                      &fake));
    }
    QList<QUrl> opened;
    QList<QStringList> started;
    DesktopFiles desktop({bus.connect(QStringLiteral("client")),
                          [&](const QUrl& url) {
                              opened << url;
                              return true;
                          },
                          [&](const QString& program, const QStringList& arguments) {
                              started << (QStringList{program} + arguments);
                              return true;
                          },
                          300});
    const QString file = QStringLiteral("/pictures/a b/Zoë #1.jpg");
    std::optional<DesktopFiles::Outcome> outcome;
    const auto done = [&](DesktopFiles::Outcome o) { outcome = o; };
    if (c.ask == Ask::ShowInFileManager)
        desktop.showInFileManager(file, done);
    else
        desktop.openWith(file, done);
    ASSERT_TRUE(QTest::qWaitFor([&] { return outcome.has_value(); }, 10000));
    EXPECT_EQ(*outcome, c.outcome);

    // What the service received: the file's URL (blanks and all escaped),
    // with no start-up id / asking for the program.
    if (c.service != Service::None) {
        ASSERT_EQ(fake.calls.size(), 1);
        const QDBusMessage& call = fake.calls.first();
        const QString url = QStringLiteral("file:///pictures/a%20b/Zo%C3%AB%20%231.jpg");
        if (c.service == Service::FileManager) {
            EXPECT_EQ(call.interface(), "org.freedesktop.FileManager1");
            EXPECT_EQ(call.member(), "ShowItems");
            EXPECT_EQ(call.arguments(), (QVariantList{QStringList{url}, QString()}));
        } else {
            EXPECT_EQ(call.interface(), "org.freedesktop.portal.OpenURI");
            EXPECT_EQ(call.member(), "OpenURI");
            ASSERT_EQ(call.arguments().size(), 3);
            EXPECT_EQ(call.arguments().at(1).toString(), url);
            const auto options = qdbus_cast<QVariantMap>(call.arguments().at(2));
            EXPECT_EQ(options.value(QStringLiteral("ask")), QVariant(true));
        }
    }
    // The fallback ran exactly where nothing served the request.
    const bool fellBack =
        c.outcome == DesktopFiles::Outcome::Folder || c.outcome == DesktopFiles::Outcome::Program;
    const QList<QUrl> folderOpened{QUrl::fromLocalFile("/pictures/a b")};
    const QList<QStringList> xdgOpen{{"xdg-open", file}};
    EXPECT_EQ(opened, fellBack && c.ask == Ask::ShowInFileManager ? folderOpened : QList<QUrl>());
    EXPECT_EQ(started, fellBack && c.ask == Ask::OpenWith ? xdgOpen : QList<QStringList>());
}

using A = FakeService::Answer;
using O = DesktopFiles::Outcome;
INSTANTIATE_TEST_SUITE_P(
    Desktops, DesktopCalls,
    ::testing::Values(
        DesktopCase{"TheFileManagerShowsTheFile", Ask::ShowInFileManager, Service::FileManager, A::Reply,
                    O::FileManager},
        DesktopCase{"NoFileManagerOpensTheFolder", Ask::ShowInFileManager, Service::None, A::Reply,
                    O::Folder},
        DesktopCase{"AFileManagerErrorOpensTheFolder", Ask::ShowInFileManager, Service::FileManager, A::Error,
                    O::Folder},
        DesktopCase{"AFileManagerThatNeverAnswersOpensTheFolder", Ask::ShowInFileManager,
                    Service::FileManager, A::Silence, O::Folder},
        DesktopCase{"ThePortalAsksForTheProgram", Ask::OpenWith, Service::Portal, A::Reply, O::Portal},
        DesktopCase{"NoPortalRunsXdgOpen", Ask::OpenWith, Service::None, A::Reply, O::Program},
        DesktopCase{"APortalErrorRunsXdgOpen", Ask::OpenWith, Service::Portal, A::Error, O::Program}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
