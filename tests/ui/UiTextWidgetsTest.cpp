// Language files as the program applies them to its own windows at start.
#include "tests/ui/AppFixture.h"

#include "core/TextEncoding.h"
#include "settings/IniFile.h"
#include "settings/UiText.h"
#include "ui/common/AboutBox.h"
#include "ui/common/UiTextWidgets.h"
#include "ui/editor/CollectionEditor.h"
#include "ui/effects/EffectsDialog.h"
#include "ui/help/HelpBinding.h"
#include "ui/help/HelpWindow.h"
#include "ui/settings/SettingsDialog.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTabBar>
#include <QToolButton>

namespace {

using ProgramWindows = AppFixture;

// Every window with words of its own, built as the commands build them.
QList<QWidget*> textWindows()
{
    mainWindow()->showHelp();
    return {mainWindow(),
            effectsDialog(),
            collectionEditor(),
            settingsDialog(),
            mainWindow()->peers().about.get(),
            g_program->help().window()};
}

TEST_F(ProgramWindows, EveryTextOfTheTableReachesItsElement)
{
    textWindows();
    WidgetTextSink sink;
    for (const UiTextEntry& entry : uiTextTable()) {
        for (const UiTarget& t : entry.targets) {
            if (t.part != UiPart::Program) {
                EXPECT_TRUE(sink.setText(t, QStringLiteral("x"))) << entry.number << " " << t.window;
            }
        }
    }
}

// What a window shows in words, each under where it shows: its title, and
// the captions, hints, grey texts, list items and tabs of its controls.
QMap<QString, QString> shownWords(QWidget* window)
{
    QMap<QString, QString> words{{QStringLiteral("title"), window->windowTitle()}};
    const QList<QWidget*> widgets = window->findChildren<QWidget*>();
    for (qsizetype i = 0; i < widgets.size(); ++i) {
        const QWidget* w = widgets[i];
        const auto put = [&](const char* where, const QString& text, int n = 0) {
            words.insert(QStringLiteral("%1 %2 %3 %4").arg(i).arg(w->objectName(), where).arg(n), text);
        };
        put("hint", w->toolTip());
        if (auto* l = qobject_cast<const QLabel*>(w))
            put("text", l->text());
        if (auto* b = qobject_cast<const QAbstractButton*>(w))
            put("text", b->text());
        if (auto* g = qobject_cast<const QGroupBox*>(w))
            put("title", g->title());
        // An editable list's box holds names, such as code pages.
        auto* box = qobject_cast<const QComboBox*>(w->parentWidget());
        if (auto* e = qobject_cast<const QLineEdit*>(w); e && !(box && box->isEditable()))
            put("grey", e->placeholderText());
        for (int n = 0; auto* c = qobject_cast<const QComboBox*>(w); ++n) {
            if (n >= c->count() || c->isEditable()) // an editable one holds names
                break;
            put("item", c->itemText(n), n);
        }
        for (int n = 0; auto* t = qobject_cast<const QTabBar*>(w); ++n) {
            if (n >= t->count())
                break;
            put("tab", t->tabText(n), n);
        }
    }
    for (const QAction* a : window->findChildren<QAction*>()) {
        words.insert(a->objectName() + QStringLiteral(" action"), a->text());
        words.insert(a->objectName() + QStringLiteral(" action hint"), a->toolTip());
    }
    return words;
}

class ShippedLanguage : public AppFixture, public ::testing::WithParamInterface<const char*> {};

// Captions grow with their text, as the English ones were sized for it: a
// longer translation shows whole, not cut at the English width.
void expectCaptionsWhole(QWidget* window)
{
    for (const QLabel* l : window->findChildren<QLabel*>()) {
        if (l->wordWrap() || l->text().isEmpty())
            continue;
        const QString shown = QString(l->text()).remove(QLatin1Char('&'));
        EXPECT_GE(l->contentsRect().width(), l->fontMetrics().horizontalAdvance(shown))
            << l->objectName().toStdString() << " \"" << shown.toStdString() << "\"";
    }
    // Flat buttons cut a caption short in its middle, check boxes at its
    // end; one of two lines wraps.
    for (const QAbstractButton* b : window->findChildren<QAbstractButton*>()) {
        if (!b->text().isEmpty() && b->height() < 2 * b->fontMetrics().height()) {
            EXPECT_GE(b->width(), b->sizeHint().width()) << b->objectName().toStdString();
        }
    }
}

// With a shipped language every word a window shows is that language's,
// whole: none stays as it reads in English, but names, numbers and "OK".
TEST_P(ShippedLanguage, TranslatesEveryWordOfEveryWindowAndShowsItWhole)
{
    QList<QMap<QString, QString>> english;
    for (QWidget* window : textWindows())
        english << shownWords(window);
    restart("[Settings]\nLanguage=" PV_BINARY_DIR "/lang/" + QByteArray(GetParam()) + "\n");
    const QList<QWidget*> windows = textWindows();
    const QRegularExpression noWords(QStringLiteral("^[^[:alpha:]]*(OK)?[^[:alpha:]]*$|^Pictavo( 2006)?$"));
    QStringList languages{QStringLiteral("English")}; // each by its own name
    for (const QFileInfo& f : QDir(QStringLiteral(PV_BINARY_DIR "/lang")).entryInfoList({"*.pvl"}))
        languages << languageFileName(f.filePath());
    QCoreApplication::processEvents(); // windows with layouts take the new sizes
    for (qsizetype k = 0; k < windows.size(); ++k) {
        expectCaptionsWhole(windows[k]);
        const QMap<QString, QString> shown = shownWords(windows[k]);
        for (auto it = shown.begin(); it != shown.end(); ++it) {
            const QString before = english[k].value(it.key());
            if (!noWords.match(it.value()).hasMatch() && !languages.contains(it.value()) &&
                it.value() == before) {
                ADD_FAILURE() << windows[k]->objectName().toStdString() << " " << it.key().toStdString()
                              << ": \"" << it.value().toStdString() << "\"";
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(, ShippedLanguage, ::testing::Values("Deutsch.pvl", "Russian.pvl"),
                         [](const auto& info) { return std::string(info.param).substr(0, 7); });

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
