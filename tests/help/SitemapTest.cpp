#include "help/Sitemap.h"
#include "tests/support/Printers.h"

#include <gtest/gtest.h>

using namespace help;

namespace {

QString names(const QList<SitemapEntry>& list)
{
    QStringList out;
    for (const SitemapEntry& e : list)
        out << e.name + (e.local.isEmpty() ? "" : "=" + e.local) + (e.children.isEmpty() ? "" : "(" + names(e.children) + ")");
    return out.join(", ");
}

TEST(Sitemap, NestedListsBecomeChildrenOfThePrecedingEntry)
{
    const QList<SitemapEntry> toc = parseSitemap(R"(<HTML><BODY>
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
</BODY></HTML>)");
    EXPECT_EQ(names(toc), "Welcome=pages/welcome.htm, Using(Keys & mouse=k.htm#top(Deep=d.htm), Zoom=z.htm), Last=l.htm");
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
<UL><LI><OBJECT type="text/sitemap"><param name="Name" value="&#65;&#x42;&lt;&gt;&unknown;"></OBJECT>)";
    EXPECT_EQ(names(parseSitemap(html)), "First=a.htm(AB<>&unknown;)");
    EXPECT_TRUE(parseSitemap("<UL><LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"x").isEmpty());
    // A list that opens with a nested list has no heading to hang it on.
    EXPECT_EQ(names(parseSitemap("<UL><UL><LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"In\"></OBJECT></UL></UL>")), "In");
    EXPECT_EQ(decodeSitemap(QByteArray("Caf\xc3\xa9")), QString::fromUtf8("Caf\xc3\xa9"));
    EXPECT_EQ(decodeSitemap(QByteArray("Caf\xe9")), QString::fromLatin1("Caf\xe9"));
}

} // namespace
