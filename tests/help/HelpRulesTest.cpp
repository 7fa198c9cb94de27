#include "help/ChmFile.h"
#include "help/HelpRules.h"
#include "tests/support/Printers.h"

#include <gtest/gtest.h>

using namespace help;

namespace {

enum class Rule { IsHelpFile, Topic, HelpFile, Local, Keyword, PickContents, PickKeyword, Normalize, Resolve, Split };

struct RuleCase {
    Rule rule;
    QString input; // several arguments are separated by "|"
    QString want;
};

void PrintTo(const RuleCase& c, std::ostream* os) { *os << int(c.rule) << ": " << c.input.toStdString(); }

QString apply(Rule rule, const QString& input)
{
    const QStringList a = input.split('|');
    switch (rule) {
    case Rule::IsHelpFile: return isHtmlHelpFile(input) ? "yes" : "no";
    case Rule::Topic: return topicWithExtension(a[0], a.value(1, kDefaultTopicExtension));
    case Rule::HelpFile: return resolveHelpFile(a[0], a[1], a[2]);
    case Rule::Local: return localHelpPath(a[0], a[1]);
    case Rule::Keyword: return keywordFromHelpString(input);
    case Rule::PickContents: return QString::number(selectTableOfContents(input.isEmpty() ? QStringList() : a, kViewerName));
    case Rule::PickKeyword: return QString::number(selectKeyword(a, kViewerName));
    case Rule::Normalize: return ChmFile::normalizePath(input);
    case Rule::Resolve: return ChmFile::resolveLink(a[0], a[1]);
    case Rule::Split: return splitHelpFileArgument(input).file + "|" + splitHelpFileArgument(input).topic;
    }
    return {};
}

class HelpRules : public ::testing::TestWithParam<RuleCase> {};

TEST_P(HelpRules, GiveTheirAnswer)
{
    EXPECT_EQ(apply(GetParam().rule, GetParam().input), GetParam().want);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, HelpRules,
    ::testing::Values(
        // A help file is decided by the last extension of its name, not of a folder.
        RuleCase{Rule::IsHelpFile, "/opt/x/Help.cHm", "yes"}, RuleCase{Rule::IsHelpFile, "help.chm.bak", "no"},
        RuleCase{Rule::IsHelpFile, "/docs.chm/help", "no"},
        // A topic gets the default extension unless it is a page; an anchor stays at the end.
        RuleCase{Rule::Topic, "Intro.HtMl", "Intro.HtMl"}, RuleCase{Rule::Topic, "intro.htmx", "intro.htmx.htm"},
        RuleCase{Rule::Topic, "intro|.html", "intro.html"}, RuleCase{Rule::Topic, "keys#editor", "keys.htm#editor"},
        // The manager's file before the application's; bare names from the program folder.
        RuleCase{Rule::HelpFile, "|Help.CHM|/opt/pictavo/", "/opt/pictavo/Help.CHM"},
        RuleCase{Rule::HelpFile, "Other.chm|Help.CHM|/opt/pictavo", "/opt/pictavo/Other.chm"},
        RuleCase{Rule::HelpFile, "/usr/share/x.chm|Help.CHM|/opt/pictavo", "/usr/share/x.chm"},
        RuleCase{Rule::HelpFile, "|docs/Help.CHM|/opt/pictavo", "docs/Help.CHM"},
        // Windows paths map into the program's help folder.
        RuleCase{Rule::Local, QString(kFixedHelpPath) + "|/opt/pictavo", "/opt/pictavo/help/Help.CHM"},
        RuleCase{Rule::Local, "c:/x/Guide.chm|/opt/pictavo/", "/opt/pictavo/help/Guide.chm"},
        RuleCase{Rule::Local, "/usr/share/doc/Help.chm|/opt/pictavo", "/usr/share/doc/Help.chm"},
        // The keyword is the help string after the first colon, trimmed.
        RuleCase{Rule::Keyword, "StoHtmlHelp: Slide show", "Slide show"},
        RuleCase{Rule::Keyword, "StoHtmlHelp: Time: 5 s", "Time: 5 s"},
        RuleCase{Rule::Keyword, "  no colon here ", "no colon here"},
        // The viewer picks its own entries among several viewers'.
        RuleCase{Rule::PickContents, "WinHelp|StoHtmlHelp|StoHtmlHelp", "1"},
        RuleCase{Rule::PickContents, "WinHelp|StoHtmlHelp2", "-1"},
        RuleCase{Rule::PickKeyword, "WinHelp: Zoom|StoHtmlHelp: Zoom|StoHtmlHelp: Undo", "1"},
        RuleCase{Rule::PickKeyword, "WinHelp: Zoom|StoHtmlHelpX: Zoom", "0"},
        // Paths inside the archive never leave it.
        RuleCase{Rule::Normalize, "/pages/./b/../a.htm#x", "/pages/a.htm"},
        RuleCase{Rule::Normalize, "../../../etc/passwd", "/etc/passwd"},
        RuleCase{Rule::Normalize, "pages\\a.htm?q=1", "/pages/a.htm"}, RuleCase{Rule::Normalize, "", "/"},
        // Links resolve against their page; other files' links against this one.
        RuleCase{Rule::Resolve, "/pages/welcome.htm|../pictavo.css", "/pictavo.css"},
        RuleCase{Rule::Resolve, "/pages/welcome.htm|/top.htm", "/top.htm"},
        RuleCase{Rule::Resolve, "/pages/welcome.htm|keys.htm#editor", "/pages/keys.htm#editor"},
        RuleCase{Rule::Resolve, "/pages/welcome.htm|#part", "/pages/welcome.htm#part"},
        RuleCase{Rule::Resolve, "/welcome.htm|../../x.htm", "/x.htm"},
        RuleCase{Rule::Resolve, "/a/b.htm|ms-its:Other.chm::/pages/c.htm", "/pages/c.htm"},
        // A help file argument splits at the double colon.
        RuleCase{Rule::Split, "/x/Help.CHM::/pages/keys.htm", "/x/Help.CHM|pages/keys.htm"},
        RuleCase{Rule::Split, "/x/Help.CHM", "/x/Help.CHM|"},
        RuleCase{Rule::Split, topicCall("/x/Help.CHM", "welcome").file, "/x/Help.CHM|welcome.htm"}));

} // namespace
