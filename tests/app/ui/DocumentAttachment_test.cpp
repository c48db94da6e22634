#include "app/ui/DocumentAttachment.h"

#include <QAction>
#include <QLineEdit>
#include <gtest/gtest.h>

#include "app/document/InkDocumentSupport.h"
#include "app/editor/EditorController.h"
#include "app/ui/DocumentWindowController.h"
#include "app/ui/PageView.h"
#include "app/ui/SignatureLibrary.h"

namespace quillet::testing {
namespace {

class DocumentAttachmentTest : public DocumentTest {
protected:
    void SetUp() override
    {
        DocumentTest::SetUp();
        document = open();
        window = new DocumentWindowController(OpenedPDF{qpath(file), document->pdf(), std::nullopt});
        window->show();
        attachment = new DocumentAttachment(*window, *document);
    }

    void TearDown() override
    {
        delete window.data();
        finishWrites();
        document->close();
    }

    std::unique_ptr<InkDocument> document;
    QPointer<DocumentWindowController> window;
    DocumentAttachment* attachment = nullptr;
};

TEST_F(DocumentAttachmentTest, TheWindowFollowsTheDocumentAndReachesIt)
{
    const WindowActions& a = window->actions();
    EXPECT_FALSE(a.undo->isEnabled());
    draw(*document, 1);
    EXPECT_TRUE(a.undo->isEnabled());
    EXPECT_TRUE(window->isWindowModified());

    // Save runs on the (held) write thread: the status line says so until it completes.
    a.save->trigger();
    EXPECT_EQ(window->subtitle(), QStringLiteral("Page 1 of 3 · Saving…"));
    finishWrites();
    EXPECT_EQ(window->subtitle(), QStringLiteral("Page 1 of 3"));

    a.undo->trigger();
    EXPECT_EQ(document->undoStack()->index(), 0);
    EXPECT_TRUE(a.redo->isEnabled());

    // The Tools items reach the editor and carry the check mark; they rest
    // while the search field has the keyboard.
    QApplication::setActiveWindow(window);
    window->searchField()->setFocus();
    ASSERT_TRUE(pumpUntil([&] { return window->searchField()->hasFocus(); }));
    EXPECT_FALSE(a.tools[1]->isEnabled());
    window->pageView()->setFocus();
    ASSERT_TRUE(pumpUntil([&] { return a.tools[1]->isEnabled(); }));
    a.tools[1]->trigger();
    ASSERT_NE(attachment->editor(), nullptr);
    EXPECT_EQ(attachment->editor()->tool(), Tool::pen);
    EXPECT_TRUE(a.tools[1]->isChecked());
    EXPECT_FALSE(a.tools[0]->isChecked());
}

TEST_F(DocumentAttachmentTest, ADeletedSignatureIsNoLongerTheCurrentOne)
{
    SignatureLibrary& library = SignatureLibrary::shared();
    const std::vector<SavedSignature> before = library.signatures();
    for (const SavedSignature& saved : before) {
        library.remove(saved.id);
    }
    const auto stroke = [](double x) { return Stroke{{x, 0}, {x + 20, 10}, {x + 40, 0}}; };
    SavedSignature older = *SavedSignature::make({stroke(0)});
    SavedSignature newer = *SavedSignature::make({stroke(100)});
    library.add(older);
    library.add(newer);
    EditorController& editor = *attachment->editor();
    editor.setCurrentSignature(SignatureInk{older.strokes, older.aspect});

    library.remove(newer.id);  // not the current one: nothing changes
    ASSERT_TRUE(editor.currentSignature());
    EXPECT_EQ(editor.currentSignature()->strokes, older.strokes);
    library.add(newer);
    library.remove(older.id);  // the current one: the newest takes its place
    ASSERT_TRUE(editor.currentSignature());
    EXPECT_EQ(editor.currentSignature()->strokes, newer.strokes);
    library.remove(newer.id);
    EXPECT_FALSE(editor.currentSignature());
}

TEST(DocumentAttachmentSignatureTest, TheSignatureToolOpensItsMenuWhenThereIsAChoice)
{
    // One saved signature: straight to the tool; two: the menu to pick from.
    EXPECT_FALSE(DocumentAttachment::opensSignatureMenu(Tool::signature, Tool::select, 0));
    EXPECT_FALSE(DocumentAttachment::opensSignatureMenu(Tool::signature, Tool::select, 1));
    EXPECT_TRUE(DocumentAttachment::opensSignatureMenu(Tool::signature, Tool::select, 2));
    // Chosen again while on: the menu, to switch signatures.
    EXPECT_TRUE(DocumentAttachment::opensSignatureMenu(Tool::signature, Tool::signature, 1));
    EXPECT_FALSE(DocumentAttachment::opensSignatureMenu(Tool::pen, Tool::select, 5));
}

}  // namespace
}  // namespace quillet::testing
