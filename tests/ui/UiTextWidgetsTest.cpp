// Language files as the program applies them to its own windows at start.
#include "tests/ui/AppFixture.h"

#include "core/TextEncoding.h"
#include "settings/IniFile.h"
#include "settings/UiText.h"
#include "ui/common/UiTextWidgets.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QTabBar>
#include <utility>
#include <vector>

namespace {

// What the element named "frmX.name" shows: "/hint" its tool tip, "/n" its
// n-th tab, list item or column title; a bare "frmX" is the window's title.
QString shown(const QString& spec)
{
    const QStringList path = spec.split(QLatin1Char('/'));
    const QStringList names = path[0].split(QLatin1Char('.'));
    const bool hint = path.value(1) == QLatin1String("hint");
    const int index = path.value(1).toInt();
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->objectName() != names[0])
            continue;
        if (names.size() == 1)
            return w->windowTitle();
        const QList<QObject*> found = w->findChildren<QObject*>(names[1]);
        if (found.isEmpty())
            break;
        QObject* o = found.first();
        if (auto* a = qobject_cast<QAction*>(o))
            return hint ? a->toolTip() : a->text();
        if (auto* m = qobject_cast<QMenu*>(o))
            return m->title();
        if (hint)
            return static_cast<QWidget*>(o)->toolTip();
        if (auto* b = qobject_cast<QAbstractButton*>(o))
            return b->text();
        if (auto* l = qobject_cast<QLabel*>(o))
            return l->text();
        if (auto* g = qobject_cast<QGroupBox*>(o))
            return g->title();
        if (auto* t = qobject_cast<QTabBar*>(o))
            return t->tabText(index);
        if (auto* l = qobject_cast<QListWidget*>(o))
            return l->item(index)->text();
        if (auto* v = qobject_cast<QAbstractItemView*>(o))
            return v->model()->headerData(index, Qt::Horizontal).toString();
    }
    return QStringLiteral("<missing %1>").arg(spec);
}

struct LanguageCase {
    const char* name;
    const char* setting;  // nullptr: the file written
    QByteArray file;      // empty: no file
    std::vector<std::pair<const char*, const char*>> shows; // element, text ("#prefix": the image prefix)
};

class LanguageFiles : public AppFixture, public ::testing::WithParamInterface<LanguageCase> {};

TEST_P(LanguageFiles, ReachTheWindowsAtStart)
{
    const LanguageCase& c = GetParam();
    const QString file = dir.filePath(QStringLiteral("English"));
    if (!c.file.isEmpty())
        writeFileAtomically(file, c.file);
    // A setting that is no path must not find a file in the working folder.
    const QString old = QDir::currentPath();
    QDir::setCurrent(dir.path());
    restart("[Settings]\nLanguage=" + (c.setting ? QByteArray(c.setting) : file.toUtf8()) + "\n");
    QDir::setCurrent(old);
    for (const auto& [element, text] : c.shows) {
        const QString got = QLatin1String(element) == QLatin1String("#prefix") ? session().texts.ImagePrefix
                                                                                : shown(QLatin1String(element));
        EXPECT_EQ(got, QString::fromUtf8(text)) << element;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rules, LanguageFiles,
    ::testing::Values(
        LanguageCase{"EnglishReadsNoFile", "English", "[Russian]\n1=Datei\n70=Bild:\n",
                     {{"frmMain.mnuMain", "&File"}, {"frmSettings", "Settings..."}, {"#prefix", "Image: "}}},
        LanguageCase{"EnglishIsMatchedWithItsCase", "english", {},
                     {{"frmMain.mnuMain", "File"}, {"frmSettings", "Settings"}, {"#prefix", "Image:"}}},
        LanguageCase{"AbsentKeysTakeTheBuiltInTexts", nullptr, "[Russian]\n1=Fichier\n",
                     {{"frmMain.mnuMain", "Fichier"}, {"frmMain.mnuAbout", "About"}, {"#prefix", "Image:"}}},
        LanguageCase{"OnlyTheRussianSectionIsRead", nullptr, "[Deutsch]\n1=Datei\n",
                     {{"frmMain.mnuMain", "File"}}},
        LanguageCase{"AMissingFileGivesTheBuiltInTexts", "/nowhere/Old.pvl", {},
                     {{"frmMain.mnuMain", "File"}, {"frmEffects.ListEffects/2", "Effects"}}},
        LanguageCase{"AnEmptyValueEmptiesCaptionAndHint", nullptr, "[Russian]\n5=\n",
                     {{"frmMain.Exit1", ""}, {"frmMain.Exit1/hint", ""}, {"frmMain.mnuMain", "File"}}},
        LanguageCase{"OneTextReachesEveryElementItNames", nullptr,
                     "[Russian]\n35=Effekte\n36=Andere\n72=Suchen\n4=Bilder...\n55=Datei\n56=Kommentar\n",
                     {{"frmEffects.ListEffects/2", "Effekte"}, {"frmEffects.TabControl1/0", "Effekte"},
                      {"frmEffects.TabControl1/1", "Andere"}, {"frmNewCollection.btnGo", "Suchen"},
                      {"frmNewCollection.GroupBox1", "Suchen"}, {"frmMain.mnuAdd", "Bilder..."},
                      {"frmMain.AddDeleteimage1/hint", "Bilder..."}, {"frmMain.btnAdd/hint", "Bilder..."},
                      {"frmNewCollection.ValueListEditor1/0", "Datei"},
                      {"frmNewCollection.ValueListEditor1/1", "Kommentar"}}},
        LanguageCase{"AHintKeepsItsOwnBuiltInText", nullptr, "[Russian]\n11=Rechts drehen\n",
                     {{"frmMain.mnuRotateRight", "Rechts drehen"}, {"frmMain.RotateRight1", "Rechts drehen"},
                      {"frmMain.mnuRotateRight/hint", "Rotate Right"}, {"frmMain.btnRight/hint", "Rotate Right"}}},
        LanguageCase{"Utf8", nullptr, "[Russian]\n1=\xD0\xA4\xD0\xB0\xD0\xB9\xD0\xBB\n",
                     {{"frmMain.mnuMain", "Файл"}}}),
    [](const auto& info) { return std::string(info.param.name); });

using ProgramWindows = AppFixture;

// Every numbered text finds its element by name in the program's windows.
TEST_F(ProgramWindows, EveryTextOfTheTableReachesItsElement)
{
    WidgetTextSink sink;
    for (const UiTextEntry& entry : uiTextTable()) {
        for (const UiTarget& t : entry.targets) {
            if (t.part != UiPart::Program) {
                EXPECT_TRUE(sink.setText(t, QStringLiteral("x"))) << entry.number << " " << t.window;
            }
        }
    }
}

} // namespace

TEST(ShippedLanguageFiles, CompleteAndCopiedBesideTheProgram)
{
    const QDir source(QStringLiteral(PV_SOURCE_DIR "/resources/lang"));
    const QStringList files = source.entryList({"*.pvl", "*.PVL"}, QDir::Files);
    EXPECT_TRUE(files.contains("Deutsch.pvl") && files.contains("Russian.pvl"));
    for (const QString& name : files) {
        SCOPED_TRACE(name.toStdString());
        QFile f(source.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        EXPECT_EQ(decode8BitText(bytes).toUtf8(), bytes) << "UTF-8";
        const IniFile ini = IniFile::fromBytes(bytes);
        for (const UiTextEntry& entry : uiTextTable()) {
            const auto value = ini.value("Russian", QString::number(entry.number));
            ASSERT_TRUE(value.has_value()) << "key " << entry.number;
            EXPECT_NE(*value, QString::fromUtf8(entry.english)) << "untranslated key " << entry.number;
        }
        EXPECT_TRUE(ini.value("Russian", "60")->startsWith("   ")) << "quoted leading blanks";
        QFile copied(QStringLiteral(PV_BINARY_DIR "/lang/") + name);
        ASSERT_TRUE(copied.open(QIODevice::ReadOnly)) << "copied into the build";
        EXPECT_EQ(copied.readAll(), bytes);
    }
}
