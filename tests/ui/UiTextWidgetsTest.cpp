#include "settings/UiText.h"
#include "core/TextEncoding.h"
#include "settings/IniFile.h"
#include "ui/common/UiTextWidgets.h"

#include <QAction>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QMainWindow>
#include <QMenuBar>
#include <QPushButton>
#include <QSet>
#include <QTabBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QToolButton>
#include <gtest/gtest.h>
#include <memory>

namespace {

// Small stand-ins for the program's windows, carrying the design texts.
struct FakeWindows {
    QMainWindow main;
    QDialog effects;
    QWidget editor;
    QDialog settings;
    QMenu* mnuMain = nullptr;
    QMenu* viewMenu = nullptr;
    QListWidget* list = nullptr;
    QTabBar* effectsTabs = nullptr;
    QTableWidget* grid = nullptr;
    UiProgramTexts texts;

    QAction* act(const char* name, const char* caption, const char* hint = nullptr)
    {
        auto* a = new QAction(QString::fromUtf8(caption), &main);
        a->setObjectName(name);
        if (hint) {
            a->setToolTip(hint);
            a->setStatusTip(hint);
        }
        return a;
    }
    template <class W> W* child(QWidget* parent, const char* name, const char* text)
    {
        auto* w = new W(parent);
        w->setObjectName(name);
        if constexpr (std::is_same_v<W, QGroupBox>)
            w->setTitle(text);
        else
            w->setText(text);
        return w;
    }

    FakeWindows()
    {
        main.setObjectName("frmMain");
        mnuMain = main.menuBar()->addMenu("&File");
        mnuMain->setObjectName("mnuMain");
        mnuMain->addAction(act("mnuNew", "&New Collection...", "Create New Collection..."));
        mnuMain->addAction(act("mnuAdd", "&Add / Delete Image...", "Add / Delete image..."));
        mnuMain->addAction(act("Exit1", "E&xit", "Exit"));
        act("AddDeleteimage1", "Add / Delete Image...", "Add / Delete image...");
        act("mnuRotateRight", "Rotate &Right", "Rotate Image Right");
        act("RotateRight1", "Rotate Right", "Rotate Image Right");
        act("mnuSettings", "&Settings...", "Program settings");
        act("mnuAbout", "About...");
        viewMenu = new QMenu("View", &main);
        viewMenu->menuAction()->setObjectName("mnuImgView");
        for (const char* name : {"ToolButton2", "btnAdd", "btnRight"}) {
            auto* b = new QToolButton(&main);
            b->setObjectName(name);
            b->setToolTip("design hint");
        }

        effects.setObjectName("frmEffects");
        effects.setWindowTitle("Image Effects");
        list = new QListWidget(&effects);
        list->setObjectName("ListEffects");
        list->addItems({"Brightness & Contrast", "Saturation", "Effects"});
        effectsTabs = new QTabBar(&effects);
        effectsTabs->setObjectName("TabControl1");
        effectsTabs->addTab("Effects");
        effectsTabs->addTab("Other");

        editor.setObjectName("frmNewCollection");
        child<QPushButton>(&editor, "btnGo", "&Go");
        child<QGroupBox>(&editor, "GroupBox1", "Find");
        child<QPushButton>(&editor, "btnClose", "Close");
        grid = new QTableWidget(0, 2, &editor);
        grid->setObjectName("ValueListEditor1");

        settings.setObjectName("frmSettings");
        settings.setWindowTitle("Settings...");
        child<QLabel>(&settings, "Label5", "Language:");
        child<QPushButton>(&settings, "SpeedButton2", "   Choose comment's label font");
    }

    QString caption(const char* name) const
    {
        if (auto* a = main.findChild<QAction*>(name))
            return a->text();
        if (auto* m = main.findChild<QMenu*>(name))
            return m->title();
        return "<missing>";
    }
    QString hint(const char* name) const
    {
        if (auto* a = main.findChild<QAction*>(name))
            return a->toolTip();
        return main.findChild<QWidget*>(name)->toolTip();
    }

    WidgetTextSink sink()
    {
        return WidgetTextSink({&main, &effects, &editor, &settings},
                              [this](ProgramText id, const QString& t) { texts[id] = t; });
    }
    bool apply(const QString& setting)
    {
        WidgetTextSink s = sink();
        return applyLanguage(setting, s);
    }
};

class LanguageFiles : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString write(const char* name, const QByteArray& bytes)
    {
        const QString path = dir.filePath(name);
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        return path;
    }
};

// Records what the loader hands out, in order.
struct RecordingSink : UiTextSink {
    struct Call {
        QString window, element;
        UiPart part;
        int index;
        QString text;
    };
    QList<Call> calls;
    QMap<int, QString> program;
    bool setText(const UiTarget& t, const QString& text) override
    {
        calls.append({t.window, t.element ? t.element : "", t.part, t.index, text});
        return true;
    }
    std::optional<QString> text(const UiTarget& t) const override
    {
        for (auto it = calls.rbegin(); it != calls.rend(); ++it) {
            if (it->window == t.window && it->element == (t.element ? t.element : "") && it->part == t.part &&
                it->index == t.index)
                return it->text;
        }
        return std::nullopt;
    }
    void setProgramText(ProgramText id, const QString& text) override { program[int(id)] = text; }
};

} // namespace

TEST(UiTextTable, NumbersRunFrom1To77Without51And69)
{
    QList<int> numbers;
    int targets = 0;
    for (const UiTextEntry& e : uiTextTable()) {
        numbers.append(e.number);
        EXPECT_FALSE(e.targets.empty()) << e.number;
        targets += int(e.targets.size());
        for (size_t i = 0; i < e.targets.size(); ++i) {
            const UiTarget& t = e.targets[i];
            EXPECT_LT(t.copyOf, int(i)) << "copies only an earlier target, entry " << e.number;
            const bool needsElement = t.part != UiPart::WindowTitle && t.part != UiPart::Program;
            EXPECT_EQ(t.element != nullptr, needsElement) << e.number;
        }
    }
    QList<int> expected;
    for (int n = 1; n <= 77; ++n) {
        if (n != 51 && n != 69)
            expected.append(n);
    }
    EXPECT_EQ(numbers, expected);
    EXPECT_EQ(uiTextEntry(51), nullptr);
    EXPECT_EQ(uiTextEntry(78), nullptr);
    EXPECT_STREQ(uiTextEntry(60)->english, "   &Choose comment's label font");
    EXPECT_STREQ(uiTextEntry(11)->english, uiTextEntry(12)->english);
    EXPECT_EQ(uiTextEntry(70)->targets[0].part, UiPart::Program);
}

TEST(UiTextLoader, EmptyFileGivesEveryBuiltInTextToEveryTargetInOrder)
{
    RecordingSink sink;
    applyLanguageFile(IniFile(), sink);
    int expectedCalls = 0;
    for (const UiTextEntry& e : uiTextTable()) {
        for (const UiTarget& t : e.targets)
            expectedCalls += t.part != UiPart::Program;
    }
    ASSERT_EQ(sink.calls.size(), expectedCalls);
    EXPECT_EQ(sink.calls.first().element, "mnuMain");
    EXPECT_EQ(sink.calls.first().text, "File");
    EXPECT_EQ(sink.calls.last().element, "mnuOriginalSize1");
    for (const auto& c : sink.calls)
        EXPECT_FALSE(c.text.isEmpty()) << c.element.toStdString();
    EXPECT_EQ(sink.program.value(int(ProgramText::ImagePrefix)), "Image:");
    EXPECT_EQ(sink.program.value(int(ProgramText::AddDeleteCaption)), "Add / Delete Image");
    EXPECT_EQ(sink.program.value(int(ProgramText::RestartMessage)),
              "You need to restart program to apply language change");
    EXPECT_EQ(sink.program.size(), 5);
}

TEST(UiTextLoader, ProgramTextsStartWithTheirOwnValues)
{
    UiProgramTexts t;
    EXPECT_EQ(t.ImagePrefix, "Image: ");
    EXPECT_EQ(t[ProgramText::AddDeleteCaption], "Add / Delete Image...");
    t[ProgramText::MinOneImageMessage] = "x";
    EXPECT_EQ(t.MinOneImageMessage, "x");
}

TEST_F(LanguageFiles, EnglishReadsNoFileAndChangesNothing)
{
    FakeWindows w;
    // Even a file literally named "English" in the working folder is not read.
    write("English", "[Russian]\n1=Datei\n70=Bild:\n");
    const QString old = QDir::currentPath();
    QDir::setCurrent(dir.path());
    const bool applied = w.apply("English");
    QDir::setCurrent(old);
    EXPECT_FALSE(applied);
    EXPECT_EQ(w.caption("mnuMain"), "&File");
    EXPECT_EQ(w.caption("mnuAbout"), "About...");
    EXPECT_EQ(w.texts.ImagePrefix, "Image: ");
    EXPECT_EQ(w.settings.windowTitle(), "Settings...");
}

TEST_F(LanguageFiles, OnlyKey1ReplacesTheFirstMenuAndTheRestIsBuiltIn)
{
    FakeWindows w;
    EXPECT_TRUE(w.apply(write("one.pvl", "[Russian]\n1=Fichier\n")));
    EXPECT_EQ(w.caption("mnuMain"), "Fichier");
    EXPECT_EQ(w.caption("mnuAbout"), "About");
    EXPECT_EQ(w.caption("mnuNew"), "New Collection...");
    EXPECT_EQ(w.texts.ImagePrefix, "Image:");
    EXPECT_EQ(w.texts.AddDeleteCaption, "Add / Delete Image");
    EXPECT_EQ(w.settings.windowTitle(), "Settings");
}

TEST_F(LanguageFiles, SectionNamedAfterItsLanguageGivesTheBuiltInTable)
{
    FakeWindows w;
    w.apply(write("de.pvl", "[Deutsch]\n1=Datei\n5=Beenden\n"));
    EXPECT_EQ(w.caption("mnuMain"), "File");
    EXPECT_EQ(w.caption("Exit1"), "Exit");
    EXPECT_EQ(w.caption("mnuAbout"), "About");
    EXPECT_EQ(w.texts.ImagePrefix, "Image:");
}

TEST_F(LanguageFiles, MissingFileGivesTheBuiltInTable)
{
    FakeWindows w;
    EXPECT_TRUE(w.apply(dir.filePath("nowhere.pvl")));
    EXPECT_EQ(w.caption("mnuMain"), "File");
    EXPECT_EQ(w.list->item(2)->text(), "Effects");
    FakeWindows w2;
    EXPECT_TRUE(w2.apply(""));
    EXPECT_EQ(w2.caption("mnuMain"), "File");
}

TEST_F(LanguageFiles, EmptyKey5EmptiesTheExitItem)
{
    FakeWindows w;
    w.apply(write("e.pvl", "[Russian]\n5=\n"));
    EXPECT_EQ(w.caption("Exit1"), "");
    EXPECT_EQ(w.hint("Exit1"), "");
    EXPECT_EQ(w.caption("mnuMain"), "File");
}

TEST_F(LanguageFiles, Entries35And72ReachBothOfTheirElements)
{
    FakeWindows w;
    w.apply(write("t.pvl", "[Russian]\n35=Effekte\n72=Suchen\n36=Andere\n"));
    EXPECT_EQ(w.list->item(2)->text(), "Effekte");
    EXPECT_EQ(w.effectsTabs->tabText(0), "Effekte");
    EXPECT_EQ(w.effectsTabs->tabText(1), "Andere");
    EXPECT_EQ(w.editor.findChild<QPushButton*>("btnGo")->text(), "Suchen");
    EXPECT_EQ(w.editor.findChild<QGroupBox*>("GroupBox1")->title(), "Suchen");
}

TEST_F(LanguageFiles, EntriesNamingSeveralElementsReachThemAll)
{
    FakeWindows w;
    w.apply(write("t.pvl", "[Russian]\n4=Bilder...\n55=Datei\n56=Kommentar\n"));
    for (const char* name : {"mnuAdd", "AddDeleteimage1"}) {
        EXPECT_EQ(w.caption(name), "Bilder...") << name;
        EXPECT_EQ(w.hint(name), "Bilder...") << name;
        EXPECT_EQ(w.main.findChild<QAction*>(name)->statusTip(), "Bilder...") << name;
    }
    EXPECT_EQ(w.hint("btnAdd"), "Bilder...");
    EXPECT_EQ(w.main.findChild<QToolButton*>("btnAdd")->statusTip(), "Bilder...");
    EXPECT_EQ(w.grid->horizontalHeaderItem(0)->text(), "Datei");
    EXPECT_EQ(w.grid->horizontalHeaderItem(1)->text(), "Kommentar");
}

TEST_F(LanguageFiles, RotateRightHintFallsBackToItsOwnBuiltInText)
{
    FakeWindows w;
    w.apply(write("r.pvl", "[Russian]\n11=Rechts drehen\n"));
    EXPECT_EQ(w.caption("mnuRotateRight"), "Rechts drehen");
    EXPECT_EQ(w.caption("RotateRight1"), "Rechts drehen");
    EXPECT_EQ(w.hint("mnuRotateRight"), "Rotate Right");
    EXPECT_EQ(w.hint("btnRight"), "Rotate Right");
}

TEST_F(LanguageFiles, SettingsTitleFollowsEntry26AndQuotesKeepBlanks)
{
    FakeWindows w;
    w.apply(write("s.pvl", "[russian]\n26=&Einstellungen\n60=\"   &Schrift\"\n59= Sprache \n15=Ansicht\n"));
    EXPECT_EQ(w.caption("mnuSettings"), "&Einstellungen");
    EXPECT_EQ(w.settings.windowTitle(), "&Einstellungen");
    EXPECT_EQ(w.settings.findChild<QPushButton*>("SpeedButton2")->text(), "   &Schrift");
    EXPECT_EQ(w.settings.findChild<QLabel*>("Label5")->text(), "Sprache");
    // A submenu's caption lives on its action.
    EXPECT_EQ(w.viewMenu->title(), "Ansicht");
    EXPECT_EQ(w.effects.windowTitle(), "Image Effects...");
}

TEST_F(LanguageFiles, EightBitFilesAreReadAsUtf8OrInTheCodePage)
{
    FakeWindows utf8;
    utf8.apply(write("u.pvl", "[Russian]\n1=\xD0\xA4\xD0\xB0\xD0\xB9\xD0\xBB\n"));
    EXPECT_EQ(utf8.caption("mnuMain"), QString::fromUtf8("Файл"));
    // As saved on a Russian Windows.
    setLegacyCodePage("windows-1251");
    FakeWindows cp1251;
    cp1251.apply(write("w.pvl", "[Russian]\n5=\xC2\xFB\xF5\xEE\xE4\n"));
    EXPECT_EQ(cp1251.caption("Exit1"), QString::fromUtf8("Выход"));
    setLegacyCodePage(QString());
}

TEST(WidgetTextSink, MissingWindowsAndElementsAreSkipped)
{
    QWidget lonely;
    lonely.setObjectName("frmMain");
    WidgetTextSink sink({&lonely});
    RecordingSink unused;
    EXPECT_FALSE(sink.setText({"TfrmMain", "mnuNew", UiPart::Caption}, "x"));
    EXPECT_FALSE(sink.setText({"TfrmEffects", nullptr, UiPart::WindowTitle}, "x"));
    EXPECT_FALSE(sink.text({"TfrmMain", "mnuNew", UiPart::Caption}).has_value());
    auto* tabs = new QTabBar(&lonely);
    tabs->setObjectName("TabControl1");
    tabs->addTab("only");
    EXPECT_FALSE(sink.setText({"TfrmMain", "TabControl1", UiPart::Tab, 3}, "x"));
    EXPECT_TRUE(sink.setText({"TfrmMain", "TabControl1", UiPart::Tab, 0}, "y"));
    EXPECT_EQ(tabs->tabText(0), "y");
    applyLanguageFile(IniFile(), sink); // a partial set of windows is fine
    EXPECT_EQ(tabs->tabText(0), "y");
}

TEST(ShippedLanguageFiles, CompleteAndCopiedBesideTheProgram)
{
    const QDir source(QStringLiteral(PV_SOURCE_DIR "/resources/lang"));
    const QStringList files = source.entryList({"*.pvl", "*.PVL"}, QDir::Files);
    ASSERT_GE(files.size(), 2);
    EXPECT_TRUE(files.contains("Deutsch.pvl"));
    EXPECT_TRUE(files.contains("Russian.pvl"));
    for (const QString& name : files) {
        SCOPED_TRACE(name.toStdString());
        QFile f(source.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        EXPECT_EQ(decode8BitText(bytes).toUtf8(), bytes) << "UTF-8";
        const IniFile ini = IniFile::fromBytes(bytes);
        for (int n = 1; n <= 77; ++n) {
            const auto value = ini.value("Russian", QString::number(n));
            if (n == 51 || n == 69)
                continue;
            ASSERT_TRUE(value.has_value()) << "key " << n;
            EXPECT_FALSE(value->isEmpty()) << "key " << n;
            EXPECT_NE(*value, QString::fromUtf8(uiTextEntry(n)->english)) << "untranslated key " << n;
        }
        EXPECT_TRUE(ini.value("Russian", "60")->startsWith("   ")) << "quoted leading blanks";
        QFile copied(QStringLiteral(PV_BINARY_DIR "/lang/") + name);
        ASSERT_TRUE(copied.open(QIODevice::ReadOnly)) << "copied into the build";
        EXPECT_EQ(copied.readAll(), bytes);
    }
}
