#include "app/ui/EditCommands.h"

#include <gtest/gtest.h>

#include <QClipboard>
#include <QLineEdit>
#include <QTest>

#include "app/ui/AttachedWindowFixture.h"

namespace quillet::testing {
namespace {

// A document in an active window, driven by its keys, menus and popover.
class EditCommandsTest : public AttachedWindowTest {
  protected:
    void SetUp() override {
        AttachedWindowTest::SetUp();
        activate();
    }

    const WindowActions& actions() const { return window->actions(); }
    void keys(int key, Qt::KeyboardModifiers modifiers = {}) const {
        QWidget* focus = QApplication::focusWidget();
        QTest::keyClick(focus ? focus : window->pageView(), static_cast<Qt::Key>(key), modifiers);
    }
};

TEST_F(EditCommandsTest, TheEditCommandsAndTheirKeysFollowTheSelectionTheClipboardAndTheUndoStack) {
    draw(*document, 1);
    EXPECT_EQ(actions().undo->text(), QStringLiteral("Undo")) << "a step without a name";
    EXPECT_FALSE(actions().duplicateMarkup->isEnabled());
    keys(Qt::Key_D, Qt::ControlModifier);
    EXPECT_EQ(items().size(), 1u) << "nothing selected, nothing duplicated";

    click({125, 110});
    ASSERT_EQ(editor().selectedID(), items().at(0).id);
    for (QAction* action :
         {actions().duplicateMarkup, actions().cut, actions().copy, actions().deleteMarkup}) {
        EXPECT_TRUE(action->isEnabled()) << action->text().toStdString();
    }
    keys(Qt::Key_D, Qt::ControlModifier);
    ASSERT_EQ(items().size(), 2u);
    EXPECT_EQ(editor().selectedID(), items().at(1).id) << "the copy is selected";
    EXPECT_EQ(actions().undo->text(), QStringLiteral("Undo Duplicate Markup"));
    EXPECT_EQ(actions().redo->text(), QStringLiteral("Redo"));

    // A copied item can be pasted; something else copied in another program cannot.
    keys(Qt::Key_C, Qt::ControlModifier);
    EXPECT_TRUE(actions().paste->isEnabled());
    QGuiApplication::clipboard()->setText(QStringLiteral("plain words"));
    EXPECT_FALSE(actions().paste->isEnabled());

    // Delete in the search field edits the field, not the markup.
    window->searchField()->setText(QStringLiteral("ab"));
    window->searchField()->setFocus();
    window->searchField()->setCursorPosition(0);
    ASSERT_TRUE(actions().deleteMarkup->isEnabled());
    QTest::keyClick(window->searchField(), Qt::Key_Delete);
    EXPECT_EQ(window->searchField()->text(), QStringLiteral("b"));
    EXPECT_EQ(items().size(), 2u);
    window->pageView()->setFocus();

    keys(Qt::Key_Escape);
    EXPECT_FALSE(editor().selectedID());
    for (QAction* action : {actions().duplicateMarkup, actions().cut, actions().deleteMarkup}) {
        EXPECT_FALSE(action->isEnabled()) << action->text().toStdString();
    }

    // Copy takes the page's text once some is selected.
    EXPECT_FALSE(actions().copy->isEnabled());
    actions().selectAll->trigger();
    ASSERT_TRUE(window->pageView()->hasTextSelection());
    EXPECT_TRUE(actions().copy->isEnabled());

    // Undo and Redo follow the stack both ways and name the step.
    keys(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(actions().redo->text(), QStringLiteral("Redo Duplicate Markup"));
    EXPECT_EQ(actions().undo->text(), QStringLiteral("Undo"));
    keys(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_TRUE(items().empty());
    EXPECT_FALSE(actions().undo->isEnabled());
    EXPECT_TRUE(actions().redo->isEnabled());
    actions().redo->trigger();
    EXPECT_TRUE(actions().undo->isEnabled());
    EXPECT_EQ(EditCommands::undoTitle(QStringLiteral("Перемещение"), Language::ru),
              QStringLiteral("Отменить: Перемещение"));
}

TEST_F(EditCommandsTest, MenuUndoWhileTypingEndsTheTypingAndTakesItBack) {
    typeNewBox({60, 200}, QStringLiteral("Hello"));
    EXPECT_TRUE(actions().undo->isEnabled()) << "the typing is a step to take back";
    actions().undo->trigger();
    EXPECT_FALSE(editor().isEditingText());
    EXPECT_TRUE(items().empty());
    EXPECT_EQ(actions().redo->text(), QStringLiteral("Redo Text"));
    actions().redo->trigger();
    ASSERT_EQ(items().size(), 1u);
    const AnnotationItem typed = items().at(0);

    // Typing more into the box: Undo gives back the text as it was, not
    // the box before it.
    editor().startTextEditing(typed.id);
    QTest::keyClick(&editor().textEditor(), Qt::Key_End);
    QTest::keyClicks(&editor().textEditor(), QStringLiteral(" world"));
    actions().undo->trigger();
    EXPECT_FALSE(editor().isEditingText());
    ASSERT_EQ(items().size(), 1u);
    EXPECT_EQ(items().at(0), typed);
    actions().redo->trigger();
    EXPECT_EQ(items().at(0).textSpec()->text, "Hello world");
}

}  // namespace
}  // namespace quillet::testing
