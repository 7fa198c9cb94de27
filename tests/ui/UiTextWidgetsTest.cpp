// Language files as the program applies them to its own windows at start.
#include "tests/ui/AppFixture.h"

#include "core/TextEncoding.h"
#include "settings/IniFile.h"
#include "settings/UiText.h"
#include "ui/common/UiTextWidgets.h"

#include <QDir>
#include <QFile>

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
