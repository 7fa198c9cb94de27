#include "help/HelpRules.h"

#include <gtest/gtest.h>

using namespace help;

TEST(HelpRules, HtmlHelpFileIsDecidedByTheLastExtension)
{
    EXPECT_TRUE(isHtmlHelpFile(kFixedHelpPath));
    EXPECT_TRUE(isHtmlHelpFile("help.chm"));
    EXPECT_TRUE(isHtmlHelpFile("/opt/x/Help.cHm"));
    EXPECT_TRUE(isHtmlHelpFile(".chm"));
    EXPECT_FALSE(isHtmlHelpFile("help.chm.bak"));
    EXPECT_FALSE(isHtmlHelpFile("help.hlp"));
    EXPECT_FALSE(isHtmlHelpFile("help.chmx"));
    EXPECT_FALSE(isHtmlHelpFile("chm"));
    EXPECT_FALSE(isHtmlHelpFile("/docs.chm/help")); // the dot belongs to a folder
    EXPECT_FALSE(isHtmlHelpFile(""));
}

TEST(HelpRules, TopicGetsTheDefaultExtensionUnlessItIsAPage)
{
    EXPECT_EQ(topicWithExtension("intro"), "intro.htm");
    EXPECT_EQ(topicWithExtension("pages/intro"), "pages/intro.htm");
    EXPECT_EQ(topicWithExtension("intro.htm"), "intro.htm");
    EXPECT_EQ(topicWithExtension("intro.HTM"), "intro.HTM");
    EXPECT_EQ(topicWithExtension("intro.html"), "intro.html");
    EXPECT_EQ(topicWithExtension("Intro.HtMl"), "Intro.HtMl");
    EXPECT_EQ(topicWithExtension("intro.txt"), "intro.txt.htm");
    EXPECT_EQ(topicWithExtension("intro.htmx"), "intro.htmx.htm");
    EXPECT_EQ(topicWithExtension("intro", ".html"), "intro.html");
    // An anchor is no extension and stays at the end.
    EXPECT_EQ(topicWithExtension("keys#editor"), "keys.htm#editor");
    EXPECT_EQ(topicWithExtension("keys.htm#editor"), "keys.htm#editor");
}

TEST(HelpRules, HelpFileComesFromManagerThenApplicationAndBareNamesFromProgramFolder)
{
    EXPECT_EQ(resolveHelpFile("", "Help.CHM", "/opt/pictavo"), "/opt/pictavo/Help.CHM");
    EXPECT_EQ(resolveHelpFile("", "Help.CHM", "/opt/pictavo/"), "/opt/pictavo/Help.CHM");
    EXPECT_EQ(resolveHelpFile("Other.chm", "Help.CHM", "/opt/pictavo"), "/opt/pictavo/Other.chm");
    EXPECT_EQ(resolveHelpFile("/usr/share/x.chm", "Help.CHM", "/opt/pictavo"), "/usr/share/x.chm");
    EXPECT_EQ(resolveHelpFile("", "docs/Help.CHM", "/opt/pictavo"), "docs/Help.CHM");
    EXPECT_EQ(resolveHelpFile("", kFixedHelpPath, "/opt/pictavo"), kFixedHelpPath);
    EXPECT_EQ(resolveHelpFile("", "", "/opt/pictavo"), "");
}

TEST(HelpRules, WindowsPathsMapIntoTheProgramsHelpFolder)
{
    EXPECT_EQ(localHelpPath(kFixedHelpPath, "/opt/pictavo"), "/opt/pictavo/help/Help.CHM");
    EXPECT_EQ(localHelpPath("c:/x/Guide.chm", "/opt/pictavo/"), "/opt/pictavo/help/Guide.chm");
    EXPECT_EQ(localHelpPath("/usr/share/doc/Help.chm", "/opt/pictavo"), "/usr/share/doc/Help.chm");
    EXPECT_EQ(localHelpPath("Help.CHM", "/opt/pictavo"), "Help.CHM");
}

TEST(HelpRules, KeywordIsTheHelpStringAfterTheFirstColonTrimmed)
{
    EXPECT_EQ(keywordFromHelpString("StoHtmlHelp: Slide show"), "Slide show");
    EXPECT_EQ(keywordFromHelpString("StoHtmlHelp:Undo  "), "Undo");
    EXPECT_EQ(keywordFromHelpString("StoHtmlHelp: Time: 5 s"), "Time: 5 s");
    EXPECT_EQ(keywordFromHelpString("  no colon here "), "no colon here");
    EXPECT_EQ(keywordFromHelpString("StoHtmlHelp:"), "");
    const QString offered = helpStringFor(kViewerName, "Zoom");
    EXPECT_EQ(offered, "StoHtmlHelp: Zoom");
    EXPECT_EQ(keywordFromHelpString(offered), "Zoom");
}

TEST(HelpRules, ViewerPicksItsOwnEntriesAmongSeveralViewers)
{
    const QStringList toc{"WinHelp", "StoHtmlHelp", "StoHtmlHelp"};
    EXPECT_EQ(selectTableOfContents(toc, kViewerName), 1);
    EXPECT_EQ(selectTableOfContents({"WinHelp", "StoHtmlHelp2"}, kViewerName), -1);
    EXPECT_EQ(selectTableOfContents({}, kViewerName), -1);

    EXPECT_EQ(selectKeyword({"WinHelp: Zoom", "StoHtmlHelp: Zoom", "StoHtmlHelp: Undo"}, kViewerName), 1);
    EXPECT_EQ(selectKeyword({"WinHelp: Zoom", "StoHtmlHelp"}, kViewerName), 1);
    EXPECT_EQ(selectKeyword({"WinHelp: Zoom", "StoHtmlHelpX: Zoom"}, kViewerName), 0);
    EXPECT_EQ(selectKeyword({" StoHtmlHelp: Zoom", "A"}, kViewerName), 0);
}

TEST(HelpRules, RequestTableMapsEachRequestToItsCommand)
{
    const QString file = "/opt/pictavo/help/Help.CHM";

    const HelpCall toc = tableOfContentsCall(file);
    EXPECT_EQ(toc.command, HH_DISPLAY_TOC);
    EXPECT_EQ(toc.command, 1);
    EXPECT_EQ(toc.value.toInt(), 0);
    EXPECT_EQ(toc.file, file);
    EXPECT_TRUE(toc.withWindow);

    const HelpCall kw = keywordCall(file, "StoHtmlHelp:  Slide show ");
    EXPECT_EQ(kw.command, 2);
    EXPECT_EQ(kw.value.toString(), "Slide show");
    EXPECT_EQ(kw.file, file);

    const HelpCall topic = topicCall(file, "pages/keys");
    EXPECT_EQ(topic.command, 0);
    EXPECT_EQ(topic.value.toInt(), 0);
    EXPECT_EQ(topic.file, file + "::/pages/keys.htm");

    const HelpCall ctx = contextCall(file, 1234);
    EXPECT_EQ(ctx.command, 15);
    EXPECT_EQ(ctx.value.toInt(), 1234);
    EXPECT_EQ(ctx.file, file);

    const HelpCall close = closeAllCall();
    EXPECT_EQ(close.command, 18);
    EXPECT_TRUE(close.file.isEmpty());
    EXPECT_FALSE(close.withWindow);
}

TEST(HelpRules, HelpFileArgumentSplitsAtTheDoubleColon)
{
    HelpFileArgument a = splitHelpFileArgument("/x/Help.CHM::/pages/keys.htm");
    EXPECT_EQ(a.file, "/x/Help.CHM");
    EXPECT_EQ(a.topic, "pages/keys.htm");
    a = splitHelpFileArgument("/x/Help.CHM");
    EXPECT_EQ(a.file, "/x/Help.CHM");
    EXPECT_TRUE(a.topic.isEmpty());
    // A topic round-trips through the request table.
    a = splitHelpFileArgument(topicCall("/x/Help.CHM", "welcome").file);
    EXPECT_EQ(a.topic, "welcome.htm");
}
