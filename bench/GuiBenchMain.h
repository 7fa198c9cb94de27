#pragma once
// main() of a benchmark that drives the program's windows: they are created
// once, offscreen unless a display is asked for, and the main window is
// exposed before `prepare` and the benchmarks run.
#include "app/Application.h"
#include "app/Program.h"
#include "settings/SettingsPath.h"
#include "ui/main/MainWindow.h"
#include "viewer/ViewerSession.h"

#include <QWindow>
#include <benchmark/benchmark.h>

#include <fstream>
#include <functional>
#include <memory>
#include <string>

// The program the benchmarks drive, from start to end of the run.
inline std::unique_ptr<Program>& benchProgramHolder()
{
    static std::unique_ptr<Program> program;
    return program;
}
inline Program& benchProgram()
{
    return *benchProgramHolder();
}

// Opens a collection the way the command line does.
inline void openInBench(const QString& path)
{
    benchProgram().session().setCollectionFileName(path);
    benchProgram().session().requestReopen();
}

// This process's resident memory, in KiB.
inline long residentKiB()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}

inline int runGuiBenchmarks(int argc, char** argv, const std::function<void()>& prepare = {})
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    PictavoApplication app(argc, argv);
    benchProgramHolder() = std::make_unique<Program>(settingsFilePath(), QStringList());
    benchProgram().mainWindow().show();
    // Painting needs an exposed window.
    while (!benchProgram().mainWindow().windowHandle()->isExposed() || benchProgram().openingAtStart())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    if (prepare)
        prepare();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    benchProgram().finish();
    benchProgramHolder().reset();
    return 0;
}
