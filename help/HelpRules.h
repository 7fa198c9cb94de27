#pragma once
// The help binding's rules, free of widgets: which file is a compiled HTML
// help file, where a help file is looked for, how topics, keywords and help
// strings are formed, and which viewer call each help request becomes.
#include <QString>
#include <QStringList>
#include <QVariant>

namespace help {

inline constexpr const char* kViewerName = "StoHtmlHelp";
inline constexpr const char* kDefaultTopicExtension = ".htm";
// The help file path the program is given at start.
inline constexpr const char* kFixedHelpPath = "F:\\Programs\\PVX\\help\\Help.CHM";

// Command numbers of the HTML help interface.
enum HelpCommand {
    HH_DISPLAY_TOPIC = 0,
    HH_DISPLAY_TOC = 1,
    HH_DISPLAY_INDEX = 2,
    HH_HELP_CONTEXT = 15,
    HH_CLOSE_ALL = 18,
};

// True when the name from its last "." on is ".chm" in any letter case.
bool isHtmlHelpFile(const QString& fileName);

// Appends the default extension unless the topic already ends in ".htm" or
// ".html" (any case). An anchor ("page#part") stays behind the extension.
QString topicWithExtension(const QString& topic, const QString& defaultExtension = kDefaultTopicExtension);

// The help file a request uses: the help manager's file, else the
// application's; a bare file name is taken from the program's folder.
QString resolveHelpFile(const QString& managerFile, const QString& applicationFile,
                        const QString& programDir);

// Where a help file path lives on this system. The fixed Windows path, and
// any other path with a drive letter, maps to help/<name> in the program's
// data folder; other paths are used as given.
QString localHelpPath(const QString& helpFile, const QString& dataDir);

// "StoHtmlHelp: keyword" -> "keyword": everything up to and including the
// first ":" goes, then blanks at both ends.
QString keywordFromHelpString(const QString& helpString);
// The one help string the viewer offers for a keyword.
QString helpStringFor(const QString& viewerName, const QString& keyword);

// Choosing among several viewers' tables of contents: the position of the
// entry equal to the viewer's name, or -1.
int selectTableOfContents(const QStringList& entries, const QString& viewerName);
// Choosing among keyword entries: the first whose text before the first ":"
// (all of it without one) is the viewer's name, else 0.
int selectKeyword(const QStringList& entries, const QString& viewerName);

// What is handed to the viewer for one request.
struct HelpCall {
    int command = -1;
    QVariant value; // 0, a keyword text or a context number
    QString file;   // help file argument; empty for "close all"
    bool withWindow = true;
};

// The request table. The help file must already be resolved.
HelpCall tableOfContentsCall(const QString& helpFile);
HelpCall keywordCall(const QString& helpFile, const QString& helpString);
HelpCall topicCall(const QString& helpFile, const QString& topic,
                   const QString& defaultExtension = kDefaultTopicExtension);
HelpCall contextCall(const QString& helpFile, int context);
HelpCall closeAllCall();

// "file::/topic" -> file and topic (topic empty without "::").
struct HelpFileArgument {
    QString file;
    QString topic;
};
HelpFileArgument splitHelpFileArgument(const QString& argument);

} // namespace help
