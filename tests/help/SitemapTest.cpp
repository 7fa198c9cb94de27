#include "help/Sitemap.h"

#include <gtest/gtest.h>

using namespace help;

TEST(Sitemap, NestedListsBecomeChildrenOfThePrecedingEntry)
{
    const QString hhc = R"(<HTML><BODY>
<OBJECT type="text/site properties"><param name="ImageType" value="Folder"></OBJECT>
<UL>
  <LI> <OBJECT type="text/sitemap">
      <param name="Name" value="Welcome">
      <param name="Local" value="pages/welcome.htm">
      </OBJECT>
  <LI> <OBJECT type="text/sitemap"><param name="Name" value="Using"></OBJECT>
  <UL>
    <LI><object TYPE='text/sitemap'><PARAM NAME=Name VALUE="Keys &amp; mouse"><param name="local" value="k.htm#top"></object>
    <UL><LI><OBJECT type="text/sitemap"><param name="Name" value="Deep"><param name="Local" value="d.htm"></OBJECT></UL>
    <LI><OBJECT type="text/sitemap"><param name="Name" value="Zoom"><param name="Local" value="z.htm"></OBJECT>
  </UL>
  <LI><OBJECT type="text/sitemap"><param name="Name" value="Last"><param name="Local" value="l.htm"></OBJECT>
</UL>
</BODY></HTML>)";
    const QList<SitemapEntry> toc = parseSitemap(hhc);
    ASSERT_EQ(toc.size(), 3);
    EXPECT_EQ(toc[0].name, "Welcome");
    EXPECT_EQ(toc[0].local, "pages/welcome.htm");
    EXPECT_TRUE(toc[0].children.isEmpty());
    EXPECT_EQ(toc[1].name, "Using");
    EXPECT_TRUE(toc[1].local.isEmpty());
    ASSERT_EQ(toc[1].children.size(), 2);
    EXPECT_EQ(toc[1].children[0].name, "Keys & mouse");
    EXPECT_EQ(toc[1].children[0].local, "k.htm#top");
    ASSERT_EQ(toc[1].children[0].children.size(), 1);
    EXPECT_EQ(toc[1].children[0].children[0].name, "Deep");
    EXPECT_EQ(toc[1].children[1].name, "Zoom");
    EXPECT_EQ(toc[2].name, "Last");
    EXPECT_EQ(countEntries(toc), 6);
    ASSERT_NE(findByName(toc, "deep"), nullptr);
    EXPECT_EQ(findByName(toc, "deep")->local, "d.htm");
    EXPECT_EQ(findByName(toc, "nothing"), nullptr);
}

TEST(Sitemap, ToleratesBrokenAndForeignMarkup)
{
    // Non-sitemap objects, comments, unclosed lists, entries without a name.
    const QString html =
        R"(<UL><!-- <LI><OBJECT type="text/sitemap"><param name="Name" value="Hidden"></OBJECT> -->
<LI><OBJECT type="application/x-oleobject"><param name="Name" value="NotAnEntry"></OBJECT>
<LI><OBJECT type="text/sitemap"><param name="Local" value="noname.htm"></OBJECT>
<LI><OBJECT type="text/sitemap"><param name="Name" value="First"><param name="Name" value="Second"><param name="Local" value="a.htm"><param name="Local" value="b.htm"></OBJECT>
<UL><LI><OBJECT type="text/sitemap"><param name="Name" value="&#65;&#x42;&lt;&unknown;"></OBJECT>)";
    const QList<SitemapEntry> toc = parseSitemap(html);
    ASSERT_EQ(toc.size(), 1);
    EXPECT_EQ(toc[0].name, "First");
    EXPECT_EQ(toc[0].local, "a.htm");
    ASSERT_EQ(toc[0].children.size(), 1);
    EXPECT_EQ(toc[0].children[0].name, "AB<&unknown;");

    EXPECT_TRUE(parseSitemap("").isEmpty());
    EXPECT_TRUE(
        parseSitemap("<UL><LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"x").isEmpty());
    // A list that opens with a nested list has no heading to hang it on.
    const QList<SitemapEntry> flat = parseSitemap(
        "<UL><UL><LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"In\"></OBJECT></UL></UL>");
    ASSERT_EQ(flat.size(), 1);
    EXPECT_EQ(flat[0].name, "In");
}

TEST(Sitemap, DecodesUtf8AndFallsBackToLatin1)
{
    EXPECT_EQ(decodeSitemap(QByteArray("Caf\xc3\xa9")), QString::fromUtf8("Caf\xc3\xa9"));
    EXPECT_EQ(decodeSitemap(QByteArray("Caf\xe9")), QString::fromLatin1("Caf\xe9"));
}
