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
#include <QListWidget>
#include <QTabBar>
#include <utility>

namespace {

// What the element named "frmX.name" shows: "/hint" its tool tip, "/n" its
// n-th tab, list item or column title.
QString shown(const QString& spec)
{
    const QStringList path = spec.split(QLatin1Char('/'));
    const QStringList names = path[0].split(QLatin1Char('.'));
    const bool hint = path.value(1) == QLatin1String("hint");
    const int index = path.value(1).toInt();
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->objectName() != names[0])
            continue;
        const QList<QObject*> found = w->findChildren<QObject*>(names[1]);
        if (found.isEmpty())
            break;
        QObject* o = found.first();
        if (auto* a = qobject_cast<QAction*>(o))
            return hint ? a->toolTip() : a->text();
        if (hint)
            return static_cast<QWidget*>(o)->toolTip();
        if (auto* b = qobject_cast<QAbstractButton*>(o))
            return b->text();
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

// The windows the start leaves unbuilt, built as their commands build them.
void buildWindows()
{
    effectsDialog();
    collectionEditor();
    settingsDialog();
}

using ProgramWindows = AppFixture;

// A language file read at start: one text reaches every element it names,
// whatever the element's kind.
TEST_F(ProgramWindows, OneTextOfALanguageFileReachesEveryElementItNames)
{
    const QString file = dir.filePath(QStringLiteral("Deutsch.pvl"));
    writeFileAtomically(file, "[Russian]\n35=Effekte\n72=Suchen\n4=Bilder...\n56=Kommentar\n");
    restart("[Settings]\nLanguage=" + file.toUtf8() + "\n");
    buildWindows();
    const std::pair<const char*, const char*> shows[] = {
        {"frmEffects.ListEffects/2", "Effekte"}, {"frmEffects.TabControl1/0", "Effekte"},
        {"frmNewCollection.btnGo", "Suchen"},    {"frmNewCollection.GroupBox1", "Suchen"},
        {"frmMain.mnuAdd", "Bilder..."},         {"frmMain.AddDeleteimage1/hint", "Bilder..."},
        {"frmMain.btnAdd/hint", "Bilder..."},    {"frmNewCollection.ValueListEditor1/1", "Kommentar"}};
    for (const auto& [element, text] : shows)
        EXPECT_EQ(shown(QLatin1String(element)), QLatin1String(text)) << element;
}

// Every numbered text finds its element by name in the program's windows.
TEST_F(ProgramWindows, EveryTextOfTheTableReachesItsElement)
{
    buildWindows();
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
