#include "help/ChmFile.h"
#include "help/HelpRules.h"

#include "tests/support/FileBytes.h"
#include "tests/support/Printers.h"

#include <QDir>
#include <gtest/gtest.h>

namespace {

// Where the program looks for its help file when it runs from the build folder.
const QString kBuiltHelp = help::localHelpPath(help::kFixedHelpPath, PV_BINARY_DIR);
const QString kSources = QStringLiteral(PV_SOURCE_DIR "/resources/help/");

TEST(BuiltHelpFile, HoldsEveryPageWithItsSourceBytesAndNamesContentsIndexTopicAndTitle)
{
    ChmFile chm(kBuiltHelp);
    const QStringList pages = QDir(kSources + "pages").entryList({"*.htm"}, QDir::Files);
    ASSERT_GE(pages.size(), 8);
    for (const QString& page : pages)
        EXPECT_EQ(chm.read("/pages/" + page).value_or("<missing>"), fileBytes(kSources + "pages/" + page)) << page.toStdString();
    for (const char* file : {"pictavo.css", "Help.hhc", "Help.hhk"})
        EXPECT_EQ(chm.read(QString("/") + file).value_or("<missing>"), fileBytes(kSources + file)) << file;
    EXPECT_TRUE(chm.contains("pages/../pages/keys.htm#x")); // relative lookups fold to the same object
    EXPECT_FALSE(chm.read("/pages/nothing.htm").has_value());
    for (const QString& o : chm.objects())
        EXPECT_FALSE(o.startsWith("/#") || o.startsWith("/$") || o.endsWith('/')) << o.toStdString();
    EXPECT_EQ(chm.title(), "Pictavo 2006 Help");
    EXPECT_EQ(chm.defaultTopic(), "/pages/welcome.htm");
    EXPECT_EQ(chm.contentsFile().toLower(), "/help.hhc");
    EXPECT_EQ(chm.indexFile().toLower(), "/help.hhk");
}

} // namespace
