// The program as a screen reader reads it, through Qt's accessibility.
#include "tests/ui/AppFixture.h"

#include "ui/common/CommentsWindow.h"
#include "ui/editor/CollectionEditor.h"
#include "ui/effects/EffectsDialog.h"
#include "ui/settings/SettingsDialog.h"

#include <QAccessible>

namespace {

QString spokenName(QObject* o)
{
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(o);
    return a ? a->text(QAccessible::Name) : QStringLiteral("(not accessible)");
}

// A slot beyond the collection's end holds nothing to name.
bool holdsNothing(QWidget* w)
{
    auto* slot = qobject_cast<ThumbSlot*>(w);
    return slot && !slot->isEnabled();
}

QWidget* controlNamed(const QList<QWidget*>& windows, const QString& name)
{
    for (QWidget* window : windows)
        if (auto* w = window->findChild<QWidget*>(name))
            return w;
    return nullptr;
}

} // namespace

using Accessible = AppFixture;

TEST_F(Accessible, ControlsAreNamedByHintsAndPicturesByTheEntryTheyShow)
{
    const QString file = dir.filePath(QStringLiteral("Deutsch.pvl"));
    writeFileAtomically(file, "[Russian]\n2=Neue Sammlung\n23=Folgt den Tasten\n");
    restart("[Settings]\nLanguage=" + file.toUtf8() + "\n");
    openPath(collectionOf(3));
    ASSERT_EQ(session().entryCount(), 3);

    // Every control of every window has a name; icon buttons say their hint.
    const QList<QAccessible::Role> controls = {
        QAccessible::Button,         QAccessible::CheckBox, QAccessible::RadioButton, QAccessible::ComboBox,
        QAccessible::EditableText,   QAccessible::SpinBox,  QAccessible::Slider,      QAccessible::ButtonMenu,
        QAccessible::ButtonDropDown, QAccessible::Graphic,  QAccessible::List,        QAccessible::Table};
    const QList<QWidget*> windows = {mainWindow(), collectionEditor(), settingsDialog(), effectsDialog(),
                                     commentsWindow()};
    for (QWidget* window : windows)
        for (QWidget* w : window->findChildren<QWidget*>()) {
            QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
            if (!a)
                continue;
            // What a user can reach: its own window's, and taking the focus or a picture.
            const bool reachable = w->window() == window &&
                                   (w->focusPolicy() != Qt::NoFocus || a->role() == QAccessible::Graphic);
            if (reachable && controls.contains(a->role()) && !holdsNothing(w)) {
                EXPECT_FALSE(a->text(QAccessible::Name).isEmpty())
                    << window->objectName().toStdString() << "." << w->objectName().toStdString();
            }
        }
    for (const auto& [name, said] : {std::pair{"ToolButton2", "Neue Sammlung"},
                                     {"btnFollow", "Folgt den Tasten"},
                                     {"BtnDown", "Key Down or Space"},
                                     {"ComboCodePage", "Code page:"},
                                     {"BrightBar", "Brightness:"}})
        EXPECT_EQ(spokenName(controlNamed(windows, QLatin1String(name))), QLatin1String(said)) << name;

    // Slots are images named by place and comment; the main image follows.
    for (int i = 1; i <= 3; ++i) {
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(mainWindow()->slot(i));
        EXPECT_EQ(a->role(), QAccessible::Graphic);
        EXPECT_EQ(a->text(QAccessible::Name),
                  QStringLiteral("%1 of 3: %2").arg(i).arg(session().entry(i).comment));
    }
    const auto mainImageSays = [](int n) {
        return QStringLiteral("Main image, %1 of 3: %2").arg(n).arg(session().entry(n).comment);
    };
    EXPECT_EQ(spokenName(mainWindow()->mainImage()), mainImageSays(1));
    mainWindow()->toggleFollowMode();
    key(Qt::Key_Down);
    ASSERT_EQ(session().currentEntry(), 2);
    EXPECT_EQ(spokenName(mainWindow()->mainImage()), mainImageSays(2));

    // The strip and the picture area take the focus, and show it.
    mainWindow()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(mainWindow()));
    for (QWidget* w : {mainWindow()->stripPanel(), static_cast<QWidget*>(mainWindow()->imageArea())}) {
        EXPECT_TRUE(w->focusPolicy() & Qt::TabFocus) << w->objectName().toStdString();
        mainWindow()->commentLine()->setFocus(); // somewhere else first
        const QImage before = w->grab().toImage();
        w->setFocus(Qt::TabFocusReason);
        EXPECT_TRUE(w->hasFocus()) << w->objectName().toStdString();
        EXPECT_NE(w->grab().toImage(), before) << w->objectName().toStdString();
    }
}
