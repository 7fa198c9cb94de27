// Program entry: the application, its windows in their order, the loop.
#include "app/Application.h"
#include "app/Program.h"
#include "core/AtomicFile.h"
#include "core/Errors.h"
#include "core/FileNames.h"
#include "graphics/PictureLoaders.h"
#include "platform/SoundPlayer.h"
#include "settings/SettingsPath.h"
#include "ui/help/HelpBinding.h"
#include "ui/help/HelpWindow.h"
#include "ui/main/MainCommands.h"
#include "ui/main/MainWindow.h"

#include <QFile>
#include <QMenu>
#include <QTextStream>
#include <QTimer>
#include <QTreeWidget>

#include <cstdio>
#include <cstring>

namespace {

// Only a lone "--help" or "--version" is an option: any other command line
// names what to open, blanks and dashes included.
bool answeredOption(int argc, char** argv)
{
    if (argc != 2)
        return false;
    if (std::strcmp(argv[1], "--version") == 0) {
        std::printf("pictavo %s\n%s\n", PICTAVO_VERSION, qPrintable(PictureLoaders::confinementSummary()));
        return true;
    }
    if (std::strcmp(argv[1], "--help") == 0) {
        std::printf("Usage: pictavo [COLLECTION | PICTURE | FOLDER]\n"
                    "       pictavo --help | --version\n\n"
                    "Views a collection of pictures (a .pvx file). All arguments, joined with\n"
                    "blanks, name what to open, so a path with blanks needs no quotes. A picture\n"
                    "opens with the other pictures of its folder, at it; a folder at its first\n"
                    "picture. Without arguments the program reopens the collection that was\n"
                    "open when it last ended, at the picture it showed.\n\n"
                    "Pictures read: JPEG, BMP, PNG, GIF, WebP, TIFF, HEIC/HEIF, AVIF, icons\n"
                    "(ICO), camera RAW (their previews), JPEG XL and SVG, each told by its content.\n"
                    "Rotations and effects are written back into JPEG, BMP, PNG and TIFF files;\n"
                    "GIF, WebP, HEIC/HEIF, AVIF, icons, RAW, JPEG XL and SVG are shown but never\n"
                    "changed.\n\n"
                    "Settings: ~/.config/pictavo/pictavo.ini ($XDG_CONFIG_HOME/pictavo), or\n"
                    "pictavo.ini beside the program where that folder can be written. It keeps\n"
                    "the comment font, the colours, the comments window's transparency, the\n"
                    "language, the code page, the picture options, the slide show's options, and\n"
                    "the window's place and size, follow mode and the collection and picture\n"
                    "shown at the end.\n\n"
                    "See pictavo(1).\n");
        return true;
    }
    return false;
}

// PICTAVO_SELF_CHECK=<file>: the install check's probe. Once the windows are
// up it opens the help contents as F1 does, writes what it found and whether
// the sound module loads into <file>, and ends the program the normal way,
// so the settings are written as always.
void scheduleSelfCheck(Program& program, const QString& report)
{
    MainWindow* main = &program.mainWindow();
    QTimer::singleShot(0, main, [report, main, &program] {
        main->showHelp();
        const HelpWindow* help = program.help().window();
        QFile out(report);
        if (out.open(QIODevice::WriteOnly | QIODevice::Text)) {
            QTextStream s(&out);
            s << "help=" << (help ? help->fileName() : QString()) << '\n'
              << "contents=" << (help ? help->contentsTree()->topLevelItemCount() : 0) << '\n'
              << "menu=" << main->commands().fileMenu()->title() << '\n'
              << "sound=" << (loadSoundModule() ? "loaded" : "missing") << '\n';
        }
        program.help().close();
        main->quit();
    });
}

// The kind of the picture the command line names; Unknown for anything else.
PictureFormat namedPictureKind(int argc, char** argv)
{
    QByteArrayList words;
    for (int i = 1; i < argc; ++i)
        words << argv[i];
    try {
        return words.isEmpty() ? PictureFormat::Unknown
                               : pictureFormatOfFile(QFile::decodeName(words.join(' ')));
    } catch (const AppError&) {
        return PictureFormat::Unknown;
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (answeredOption(argc, argv))
        return 0;
    // The first picture's loader starts while the windows are made.
    PictureLoaders::shared().startAhead(namedPictureKind(argc, argv));
    PictavoApplication app(argc, argv);
    // A write that a kill cut short is put right before anything is read.
    recoverInterruptedWrites();
    // The words as given, bytes that are no UTF-8 included: Qt has taken
    // its own options out of argv.
    QStringList words;
    for (int i = 1; i < argc; ++i)
        words << fileNameFromNative(argv[i]);
    ProgramServices services;
    services.dialogs = &app.dialogs();
    Program program(settingsFilePath(), words, services);
    program.mainWindow().show();
    if (const QString report = qEnvironmentVariable("PICTAVO_SELF_CHECK"); !report.isEmpty())
        scheduleSelfCheck(program, report);
    const int rc = app.exec();
    program.finish();
    return rc;
}
