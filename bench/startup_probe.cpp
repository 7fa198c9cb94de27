// The program's start as main() makes it, timed: prints the milliseconds
// from the launching shell's clock (PICTAVO_T0, nanoseconds since the epoch,
// taken just before exec) to the main window's first frame, and to the
// moment the picture named on the command line is on it. Not a shipped
// hook: bench/startup.sh runs it.
#include "app/Application.h"
#include "graphics/PictureLoaders.h"
#include "app/Program.h"
#include "settings/SettingsPath.h"
#include "ui/main/MainImage.h"
#include "ui/main/MainWindow.h"

#include <QTimer>
#include <QWindow>

#include <chrono>
#include <cstdio>

namespace {

double msSinceLaunch()
{
    const qint64 t0 = qEnvironmentVariable("PICTAVO_T0").toLongLong();
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    return double(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count() - t0) / 1e6;
}

// The first expose paints and flushes the window before the event loop
// turns again, so a zero timer started from it fires after the frame.
class FirstFrame : public QObject {
public:
    explicit FirstFrame(MainWindow* main) : m_main(main) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Expose && !m_framed && m_main->windowHandle()->isExposed()) {
            m_framed = true;
            QTimer::singleShot(0, this, [] { std::printf("first_frame_ms %.1f\n", msSinceLaunch()); });
        }
        if (event->type() == QEvent::Paint && !m_pictured && watched == m_main->mainImage() &&
            !m_main->mainImage()->picture().isEmpty()) {
            m_pictured = true;
            QTimer::singleShot(0, this, [] {
                std::printf("picture_ms %.1f\n", msSinceLaunch());
                std::fflush(stdout);
                QCoreApplication::quit();
            });
        }
        return false;
    }

private:
    MainWindow* m_main;
    bool m_framed = false;
    bool m_pictured = false;
};

} // namespace

int main(int argc, char** argv)
{
    PictureLoaders::shared().startAhead();
    PictavoApplication app(argc, argv);
    // The script gives each probe its own settings file.
    Program program(qEnvironmentVariable("PICTAVO_PROBE_INI", settingsFilePath()), app.arguments().mid(1));
    MainWindow* main = &program.mainWindow();
    FirstFrame probe(main);
    main->winId(); // the QWindow to watch
    main->windowHandle()->installEventFilter(&probe);
    main->mainImage()->installEventFilter(&probe);
    main->show();
    // No picture within 10 s: the frame time alone is still printed.
    QTimer::singleShot(10000, &app, &QCoreApplication::quit);
    const int rc = app.exec();
    program.finish();
    return rc;
}
