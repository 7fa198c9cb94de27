// pictavo-screenshots <folder>: opens the demo collection in fresh windows
// and saves the main window in each view mode, the settings pages, the
// comments window, the settings, About and help windows in German and Russian,
// the effects dialog, and the picture information panel and print preview of
// camera photos as PNGs.
#include "app/Application.h"
#include "app/Program.h"
#include "collection/CollectionFile.h"
#include "tests/support/FakeDialogs.h"
#include "ui/common/AboutBox.h"
#include "ui/common/CommentsWindow.h"
#include "ui/common/RunCommand.h"
#include "ui/effects/EffectPreview.h"
#include "ui/effects/EffectsDialog.h"
#include "ui/help/HelpBinding.h"
#include "ui/help/HelpWindow.h"
#include "ui/main/MainImage.h"
#include "ui/main/MainWindow.h"
#include "ui/main/PictureInfoPanel.h"
#include "ui/main/ThumbSlot.h"
#include "ui/settings/SettingsDialog.h"
#include "viewer/ViewerSession.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QDialog>
#include <QScreen>
#include <QSlider>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cstdio>
#include <functional>
#include <memory>

namespace {

QDir out;
QTemporaryDir work;
// Messages are recorded, not shown, and listed at the end.
FakeDialogs fake;
std::unique_ptr<Program> program;
int failures = 0;

void save(const QPixmap& shot, const QString& name)
{
    const QString path = out.filePath(name);
    if (shot.isNull() || !shot.save(path)) {
        std::fprintf(stderr, "could not save %s\n", qPrintable(path));
        ++failures;
    }
}

// A wait that runs out leaves a shot of the wrong moment: worth a failure.
void expect(bool reached, const char* what)
{
    if (!reached) {
        std::fprintf(stderr, "%s did not happen in time\n", what);
        ++failures;
    }
}

// Lets the windows paint, then saves one window, or the whole screen, once
// it has stopped changing (thumbnails arrive and sharpen for a while), so
// that shots of two builds can be compared pixel by pixel.
void shoot(QWidget* w, const QString& name, int settleMs = 300)
{
    QTest::qWait(settleMs);
    const auto grab = [w] { return (w ? w->grab() : QGuiApplication::primaryScreen()->grabWindow(0)).toImage(); };
    QImage shot = grab();
    for (int tries = 0; tries < 30; ++tries) {
        QTest::qWait(150);
        QImage again = grab();
        if (again == shot)
            break;
        shot = std::move(again);
    }
    save(QPixmap::fromImage(shot), name);
}

// Fresh windows over a settings file holding `ini`, the demo collection open.
MainWindow* start(const QByteArray& ini, const QString& collection = PV_BINARY_DIR "/demo/Demo.pvx")
{
    program.reset();
    const QString settings = work.filePath(QStringLiteral("pictavo.ini"));
    QFile f(settings);
    if (f.open(QIODevice::WriteOnly))
        f.write(ini);
    f.close();
    program = std::make_unique<Program>(settings, QStringList(), ProgramServices{nullptr, &fake});
    MainWindow* main = &program->mainWindow();
    main->show();
    if (!QTest::qWaitForWindowExposed(main) || !QTest::qWaitFor([] { return !program->openingAtStart(); }))
        ++failures;
    program->session().setCollectionFileName(collection);
    runCommand(program->dialogs(), [] { program->session().requestReopen(); });
    return main;
}

void key(int k)
{
    QTest::keyClick(&program->mainWindow(), Qt::Key(k));
}

void viewModes()
{
    MainWindow* main = start({});
    for (int i = 0; i < 4; ++i) // the large picture, entry 5
        key(Qt::Key_Down);
    key(Qt::Key_Return);
    shoot(main, QStringLiteral("main-asis.png"));
    main->fitCentred();
    shoot(main, QStringLiteral("main-proportional.png"));
    main->stretchToFit();
    shoot(main, QStringLiteral("main-stretch.png"));
    main->toggleFullScreen();
    shoot(main, QStringLiteral("main-fullscreen.png"));
    main->toggleFullScreen();
    shoot(main, QStringLiteral("main-after-fullscreen.png"));
}

void settingsAndComments()
{
    start("[Settings]\nAlpha=180\nPreviewsColor=15793151\n[SlideShow]\nDelay=3\nSound=" PV_BINARY_DIR
          "/sounds/Chime.wav\n");
    SettingsDialog* settings = &program->settingsDialog();
    program->mainWindow().showSettings();
    expect(QTest::qWaitForWindowExposed(settings), "the settings window showing");
    shoot(settings, QStringLiteral("settings-main.png"));
    settings->findChild<QTabBar*>(QStringLiteral("TabControl1"))->setCurrentIndex(1);
    shoot(settings, QStringLiteral("settings-slideshow.png"));

    MainWindow* main =
        start("[Settings]\nFont=DejaVu Serif\nFontSize=12\nFontColor=8388608\nFontStyle=2\nAlpha=215\n");
    main->toggleFollowMode();
    key(Qt::Key_Down);
    key(Qt::Key_Down);
    main->toggleComments();
    expect(QTest::qWaitForWindowExposed(&program->commentsWindow()), "the comments window showing");
    shoot(&program->commentsWindow(), QStringLiteral("comments.png"));
    shoot(nullptr, QStringLiteral("comments-over-main.png"));

    main = start("[Settings]\nLanguage=" PV_BINARY_DIR "/lang/Deutsch.pvl\n");
    key(Qt::Key_Return);
    shoot(main, QStringLiteral("main-german.png"));
}

// The windows with the most words of their own, in each shipped language.
void languages()
{
    for (const char* lang : {"Deutsch", "Russian"}) {
        MainWindow* main =
            start(QByteArray("[Settings]\nLanguage=" PV_BINARY_DIR "/lang/") + lang + ".pvl\n");
        const QString name = QString::fromLatin1(lang).toLower();
        main->showSettings();
        SettingsDialog* settings = &program->settingsDialog();
        expect(QTest::qWaitForWindowExposed(settings), "the settings window showing");
        shoot(settings, QStringLiteral("settings-main-%1.png").arg(name));
        settings->findChild<QTabBar*>(QStringLiteral("TabControl1"))->setCurrentIndex(1);
        shoot(settings, QStringLiteral("settings-slideshow-%1.png").arg(name));
        settings->applySettings();
        main->showAbout();
        QWidget* about = main->peers().about.get();
        expect(QTest::qWaitForWindowExposed(about), "the About box showing");
        shoot(about, QStringLiteral("about-%1.png").arg(name));
        about->hide();
        main->showHelp();
        HelpWindow* help = program->help().window();
        expect(help && QTest::qWaitForWindowExposed(help), "the help window showing");
        shoot(help, QStringLiteral("help-%1.png").arg(name));
        help->tabs()->setCurrentIndex(1);
        shoot(help, QStringLiteral("help-index-%1.png").arg(name));
        help->hide();
    }
}

void effects()
{
    MainWindow* main = start({});
    key(Qt::Key_Down);
    main->selectSlot(2);
    EffectsDialog* d = &program->effectsDialog();
    QTimer::singleShot(0, [d] {
        d->findChild<QSlider*>(QStringLiteral("ContrastBar"))->setValue(60);
        d->findChild<QSlider*>(QStringLiteral("BrightBar"))->setValue(-30);
        shoot(d, QStringLiteral("effects.png"), 600);
        d->findChild<QListWidget*>(QStringLiteral("ListEffects"))->setCurrentRow(2);
        d->findChild<QSlider*>(QStringLiteral("BlurBar"))->setValue(4);
        shoot(d, QStringLiteral("effects-page3.png"), 400);
        d->findChild<QTabBar*>(QStringLiteral("TabControl1"))->setCurrentIndex(1);
        d->findChild<QSlider*>(QStringLiteral("RizeBar"))->setValue(90);
        shoot(d, QStringLiteral("effects-other.png"), 400);
        d->discardEffects();
    });
    main->showEffects();

    // Pixelate 20 on a large photo: the reduced stand-in shown at once, then
    // the full-resolution result that OK writes.
    const QString big = work.filePath(QStringLiteral("large.bmp"));
    const QImage photo(QStringLiteral(PV_CORPUS_DIR "/jpeg/testorig.jpg"));
    if (photo.isNull() || !photo.scaled(3200, 2100).save(big, "BMP")) {
        std::fprintf(stderr, "no large photo\n");
        ++failures;
        return;
    }
    writeCollection(work.filePath(QStringLiteral("large.pvx")), {{big, QStringLiteral("large photo")}});
    main = start({}, work.filePath(QStringLiteral("large.pvx")));
    d = &program->effectsDialog();
    const auto previewShown = [d] { return !d->preview()->shownScaled().isNull(); };
    QTimer::singleShot(0, [d, previewShown] {
        expect(QTest::qWaitFor(previewShown, 60000), "the effects preview");
        d->findChild<QListWidget*>(QStringLiteral("ListEffects"))->setCurrentRow(2);
        d->findChild<QSlider*>(QStringLiteral("MosaicBar"))->setValue(20);
        save(d->grab(), QStringLiteral("pixelate20-before.png"));
        expect(QTest::qWaitFor(previewShown, 60000), "the effects preview");
        shoot(d, QStringLiteral("pixelate20-after.png"));
        d->discardEffects();
    });
    main->showEffects();
}

// The information panel beside a camera photo and a phone's HEIC, in
// English and German; the print preview of the first.
void pictureInfo()
{
    const QString list = work.filePath(QStringLiteral("camera.pvx"));
    const QStringList names{"DSCN0010.jpg", "IMG_5195.HEIC", "canon-ixus.jpg", "BlueSquare.jpg",
                            "long_description.jpg"};
    QList<CollectionEntry> entries;
    for (const QString& name : names)
        entries.append({QStringLiteral(PV_CORPUS_DIR "/camera/") + name, QString()});
    entries[0].comment = QStringLiteral("Tuscany"); // the others show the file's own description
    writeCollection(list, entries);
    for (const char* lang : {"English", "Deutsch"}) {
        const bool english = qstrcmp(lang, "English") == 0;
        const QByteArray language =
            english ? QByteArray("English") : QByteArray(PV_BINARY_DIR "/lang/") + lang + ".pvl";
        MainWindow* main = start("[Window]\nFitPictures=1\n[Settings]\nLanguage=" + language + "\n", list);
        main->resize(1000, 640);
        // Without a window manager the window is never active, and takes no shortcut.
        main->run(ViewerCommand::PictureInfo);
        for (int i = 0; i < (english ? names.size() : 2); ++i) {
            main->goToEntry(i + 1);
            QLabel* file = main->infoPanel()->valueLabel(InfoField::FileName);
            expect(QTest::qWaitFor([&] { return file->text() == names[i]; }, 20000), "the picture's values");
            shoot(main,
                  QStringLiteral("info-%1-%2.png")
                      .arg(names[i].section('.', 0, 0), QString::fromLatin1(lang).toLower()),
                  800);
        }
    }
    MainWindow* main = start({}, list);
    QTimer::singleShot(1500, [] {
        QWidget* preview = QApplication::activeModalWidget();
        expect(preview && preview->objectName() == QLatin1String("PrintPreview"), "the print preview showing");
        if (preview) {
            if (auto* caption = preview->findChild<QCheckBox*>(QStringLiteral("chkPrintCaption")))
                caption->setChecked(true);
            shoot(preview, QStringLiteral("print-preview.png"), 500);
            qobject_cast<QDialog*>(preview)->reject();
        }
    });
    main->printPicture();
}

} // namespace

int main(int argc, char** argv)
{
    // A thumbnail cache of its own: strip slots drawn from what an earlier
    // run cached differ by a fraction of a level from decoded ones, and
    // shots of two builds must compare pixel for pixel.
    qputenv("XDG_CACHE_HOME", QFile::encodeName(work.filePath(QStringLiteral("cache"))));
    PictavoApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: pictavo-screenshots <folder for the PNG files>\n");
        return 2;
    }
    out.setPath(QString::fromLocal8Bit(argv[1]));
    if (!out.mkpath(QStringLiteral(".")) || !work.isValid())
        return 1;
    viewModes();
    settingsAndComments();
    languages();
    effects();
    pictureInfo();
    program.reset();
    for (const QString& m : fake.errors + fake.infos)
        std::fprintf(stderr, "message: %s\n", qPrintable(m));
    std::printf("%d screenshots in %s\n", int(out.entryList({"*.png"}, QDir::Files).size()),
                qPrintable(out.absolutePath()));
    return failures == 0 && fake.errors.isEmpty() ? 0 : 1;
}
