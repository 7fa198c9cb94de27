#pragma once
// Where the help file is, free of widgets: which file is a compiled HTML
// help file and where a help file path lives on this system.
#include <QString>

namespace help {

// The help file path the program is given at start.
inline constexpr const char* kFixedHelpPath = "F:\\Programs\\PVX\\help\\Help.CHM";

// True when the name from its last "." on is ".chm" in any letter case.
bool isHtmlHelpFile(const QString& fileName);

// A bare file name is taken from the program's folder; a path stays.
QString resolveHelpFile(const QString& helpFile, const QString& programDir);

// Where a help file path lives on this system. The fixed Windows path, and
// any other path with a drive letter, maps to help/<name> in the program's
// data folder; other paths are used as given.
QString localHelpPath(const QString& helpFile, const QString& dataDir);

} // namespace help
