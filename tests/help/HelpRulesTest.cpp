#include "help/HelpRules.h"
#include "help/ChmFile.h"
#include "tests/support/Printers.h"

#include <gtest/gtest.h>

using namespace help;

namespace {

enum class Rule { IsHelpFile, HelpFile, Local, Normalize, Resolve };

struct RuleCase {
    Rule rule;
    QString input; // several arguments are separated by "|"
    QString want;
};

void PrintTo(const RuleCase& c, std::ostream* os)
{
    *os << int(c.rule) << ": " << c.input.toStdString();
}

QString apply(Rule rule, const QString& input)
{
    const QStringList a = input.split('|');
    switch (rule) {
    case Rule::IsHelpFile:
        return isHtmlHelpFile(input) ? "yes" : "no";
    case Rule::HelpFile:
        return resolveHelpFile(a[0], a[1]);
    case Rule::Local:
        return localHelpPath(a[0], a[1]);
    case Rule::Normalize:
        return ChmFile::normalizePath(input);
    case Rule::Resolve:
        return ChmFile::resolveLink(a[0], a[1]);
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
        RuleCase{Rule::IsHelpFile, "/opt/x/Help.cHm", "yes"},
        RuleCase{Rule::IsHelpFile, "help.chm.bak", "no"}, RuleCase{Rule::IsHelpFile, "/docs.chm/help", "no"},
        // Bare names from the program folder; paths as they are.
        RuleCase{Rule::HelpFile, "Help.CHM|/opt/pictavo/", "/opt/pictavo/Help.CHM"},
        RuleCase{Rule::HelpFile, "Other.chm|/opt/pictavo", "/opt/pictavo/Other.chm"},
        RuleCase{Rule::HelpFile, "/usr/share/x.chm|/opt/pictavo", "/usr/share/x.chm"},
        RuleCase{Rule::HelpFile, "docs/Help.CHM|/opt/pictavo", "docs/Help.CHM"},
        // Windows paths map into the program's help folder.
        RuleCase{Rule::Local, QString(kFixedHelpPath) + "|/opt/pictavo", "/opt/pictavo/help/Help.CHM"},
        RuleCase{Rule::Local, "c:/x/Guide.chm|/opt/pictavo/", "/opt/pictavo/help/Guide.chm"},
        RuleCase{Rule::Local, "/usr/share/doc/Help.chm|/opt/pictavo", "/usr/share/doc/Help.chm"},
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
        RuleCase{Rule::Resolve, "/a/b.htm|ms-its:Other.chm::/pages/c.htm", "/pages/c.htm"}));

} // namespace
