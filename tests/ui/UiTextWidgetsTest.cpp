// Language files as the program applies them to its own windows at start.
#include "tests/ui/AppFixture.h"

#include "core/TextEncoding.h"
#include "settings/IniFile.h"
#include "settings/UiText.h"
#include "ui/common/UiTextWidgets.h"
#include "ui/editor/CollectionEditor.h"
#include "ui/effects/EffectsDialog.h"
#include "ui/settings/SettingsDialog.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QToolButton>

namespace {

using ProgramWindows = AppFixture;

// Every numbered text finds its element by name in the program's windows.
TEST_F(ProgramWindows, EveryTextOfTheTableReachesItsElement)
{
    // The windows the start leaves unbuilt, built as their commands build them.
    effectsDialog();
    collectionEditor();
    settingsDialog();
    WidgetTextSink sink;
    for (const UiTextEntry& entry : uiTextTable()) {
        for (const UiTarget& t : entry.targets) {
            if (t.part != UiPart::Program) {
                EXPECT_TRUE(sink.setText(t, QStringLiteral("x"))) << entry.number << " " << t.window;
            }
        }
    }
}

// Captions grow with their text, as the English ones were sized for it: a
// longer translation shows whole, not cut at the English width.
TEST_F(ProgramWindows, CaptionsInTheShippedLanguagesShowWhole)
{
    for (const char* name : {"Deutsch.pvl", "Russian.pvl"}) {
        SCOPED_TRACE(name);
        const QList<QWidget*> windows = {effectsDialog(), collectionEditor(), settingsDialog()};
        WidgetTextSink sink(windows);
        applyLanguageFile(IniFile(QStringLiteral(PV_SOURCE_DIR "/resources/lang/") + QLatin1String(name)),
                          sink);
        for (QWidget* window : windows) {
            for (const QLabel* l : window->findChildren<QLabel*>()) {
                if (l->wordWrap() || l->text().isEmpty())
                    continue;
                const QString shown = QString(l->text()).remove(QLatin1Char('&'));
                EXPECT_GE(l->contentsRect().width(), l->fontMetrics().horizontalAdvance(shown))
                    << l->objectName().toStdString() << " \"" << shown.toStdString() << "\"";
            }
            // Flat buttons cut a caption short in its middle.
            for (const QToolButton* b : window->findChildren<QToolButton*>()) {
                if (!b->text().isEmpty()) {
                    EXPECT_GE(b->width(), b->sizeHint().width()) << b->objectName().toStdString();
                }
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
