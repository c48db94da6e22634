#include "app/ui/DocumentAttachment.h"

#include <gtest/gtest.h>

#include <QButtonGroup>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QSlider>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

#include "app/editor/ToolSettings.h"
#include "app/ui/AttachedWindowFixture.h"
#include "app/ui/SignatureLibrary.h"
#include "app/ui/SignaturePadDialog.h"
#include "app/ui/StylePopover.h"
#include "app/ui/UiTestSupport.h"
#include "app/view/CommentDisplay.h"
#include "app/view/PageView.h"
#include "core/markup/ItemGeometry.h"

namespace quillet::testing {
namespace {

class DocumentAttachmentTest : public AttachedWindowTest {
  protected:
    // The library holding `count` signatures, the newest first. Each is
    // wider than the one before: saved signatures are normalised to their
    // height, so strokes that differ only in place would be the same one.
    static std::vector<SavedSignature> librarySigned(int count) {
        SignatureLibrary& library = SignatureLibrary::shared();
        for (const SavedSignature& saved : std::vector<SavedSignature>(library.signatures())) {
            library.remove(saved.id);
        }
        for (int i = 0; i < count; ++i) {
            const double width = 40.0 + 30 * i;
            library.add(*SavedSignature::make({Stroke{{0, 0}, {width / 2, 10}, {width, 0}}}));
        }
        return library.signatures();
    }
    // The pointer moved, no button down, to a point of the first page.
    void hover(QPointF pagePoint) {
        QWidget* viewport = window->pageView()->viewport();
        const QPointF at = window->pageView()->toViewport(0, pagePoint);
        QMouseEvent event(QEvent::MouseMove, at, viewport->mapToGlobal(at), Qt::NoButton, Qt::NoButton, {});
        QCoreApplication::sendEvent(viewport, &event);
    }
    // Opens the style popover from the toolbar, makes `changes` and closes it.
    void restyle(const std::function<void(StylePopover&)>& changes) {
        window->findChild<QToolButton*>(QStringLiteral("style"))->click();
        StylePopover* popover = window->findChild<StylePopover*>();
        ASSERT_NE(popover, nullptr);
        changes(*popover);
        popover->hide();
        pumpUntil([&] { return window->findChild<StylePopover*>() == nullptr; });
    }
    bool padShown() const {
        const auto* pad = window->findChild<SignaturePadDialog*>();
        return pad != nullptr && pad->isVisible();
    }
};

TEST_F(DocumentAttachmentTest, TheWindowFollowsTheDocumentAndReachesIt) {
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
    EXPECT_EQ(editor().tool(), Tool::pen);
    EXPECT_TRUE(a.tools[1]->isChecked());
    EXPECT_FALSE(a.tools[0]->isChecked());
}

TEST_F(DocumentAttachmentTest, RevertAsksFirstNamingTheChangesAndCancelKeepsThem) {
    draw(*document, 1);
    draw(*document, 2);
    window->actions().revertToSaved->trigger();
    EXPECT_EQ(items().size(), 2u) << "nothing goes before the answer";
    EXPECT_TRUE(answerQuestion(*window, "Cancel").value_or("").contains("2 markup changes"));
    EXPECT_EQ(items().size(), 2u);
    EXPECT_EQ(document->undoStack()->count(), 2);

    window->actions().revertToSaved->trigger();
    EXPECT_TRUE(answerQuestion(*window, "Revert"));
    EXPECT_TRUE(items().empty());
}

TEST_F(DocumentAttachmentTest, OneVisitOfTheStylePopoverIsOneUndoStepOnTheSelectedItem) {
    draw(*document, 1);
    const AnnotationItem before = items().at(0);
    editor().select(before.id);
    const int steps = document->undoStack()->count();

    restyle([&](StylePopover& popover) {
        ASSERT_EQ(popover.tool(), Tool::pen) << "the popover edits the selected item";
        popover.swatchButton(4)->click();
        popover.widthSlider()->setValue(popover.widthSlider()->value() + 40);
        popover.swatchButton(2)->click();
        // Each change shows on the item at once.
        EXPECT_EQ(items().at(0).color, ToolSettings::palette[2].color);
    });
    EXPECT_EQ(document->undoStack()->count(), steps + 1);
    EXPECT_EQ(document->undoStack()->undoText(), QStringLiteral("Style Change"));
    const AnnotationItem after = items().at(0);
    EXPECT_NE(after.lineWidth, before.lineWidth);
    // The next visit is a step of its own.
    restyle([](StylePopover& popover) { popover.swatchButton(5)->click(); });
    EXPECT_EQ(document->undoStack()->count(), steps + 2);

    window->actions().undo->trigger();
    EXPECT_EQ(items().at(0), after);
    window->actions().undo->trigger();
    EXPECT_EQ(items().at(0), before);
    window->actions().redo->trigger();
    EXPECT_EQ(items().at(0), after);
}

// While a text box is typed into, the style popover styles that text: the
// box shows it at once and the committed item keeps it.
TEST_F(DocumentAttachmentTest, AStyleChangeWhileTypingShowsInTheBoxAndIsKept) {
    activate();
    InlineTextEditor& box = editor().textEditor();
    const auto endTyping = [&] { QTest::keyClick(&box, Qt::Key_Escape); };

    const double before = ToolSettings::shared().styleFor(Tool::text).fontSize;
    const int larger = before == ToolSettings::textSizes[4] ? 3 : 4;
    const double size = ToolSettings::textSizes[static_cast<size_t>(larger)];
    typeNewBox({60, 200}, QStringLiteral("Hi"));
    const int shownHeight = box.height();
    restyle([&](StylePopover& popover) {
        popover.sizeControl()->button(larger)->click();
        popover.swatchButton(4)->click();
    });
    EXPECT_GT(box.height(), shownHeight) << "the box shows the larger text at once";
    endTyping();
    ASSERT_EQ(items().size(), 1u);
    EXPECT_EQ(items().at(0).textSpec()->fontSize, size);
    EXPECT_EQ(items().at(0).color, ToolSettings::palette[4].color);

    // An existing box restyled while typed into keeps the style and the text.
    editor().startTextEditing(items().at(0).id);
    QTest::keyClicks(&box, QStringLiteral("Hey"));
    restyle([&](StylePopover& popover) {
        popover.sizeControl()->button(0)->click();
        popover.swatchButton(2)->click();
    });
    endTyping();
    ASSERT_EQ(items().size(), 1u);
    EXPECT_EQ(items().at(0).textSpec()->text, "Hey");
    EXPECT_EQ(items().at(0).textSpec()->fontSize, ToolSettings::textSizes[0]);
    EXPECT_EQ(items().at(0).color, ToolSettings::palette[2].color);

    // The next box takes the size last chosen.
    typeNewBox({60, 300}, QStringLiteral("Next"));
    endTyping();
    ASSERT_EQ(items().size(), 2u);
    EXPECT_EQ(items().at(1).textSpec()->fontSize, ToolSettings::textSizes[0]);
}

TEST_F(DocumentAttachmentTest, CommentTextIsToggledFromTheMenuAndTheToolbarForEveryWindow) {
    TempDir defaults;
    std::unique_ptr<QSettings> settings = settingsIn(defaults.file("defaults.ini"));
    CommentDisplay::reloadForTesting(settings.get());
    // A second window on the same file follows the first one's toggle.
    DocumentWindowController other(OpenedPDF{qpath(file), document->pdf(), std::nullopt});
    QAction* menuItem = window->actions().commentText;
    auto* button = window->toolbar()->findChild<QAction*>(QStringLiteral("comments"));
    ASSERT_NE(button, nullptr);
    EXPECT_TRUE(menuItem->isEnabled());
    EXPECT_EQ(menuItem->text(), QStringLiteral("Hide Comment Text"));
    EXPECT_TRUE(button->isChecked());
    const auto drawnPixels = [](const QIcon& icon) {
        return pixelsWhere(icon.pixmap(QSize(24, 24)).toImage(),
                           [](const QColor& c) { return c.alpha() > 128; });
    };
    const int filled = drawnPixels(button->icon());

    menuItem->trigger();
    EXPECT_FALSE(CommentDisplay::showsCommentText());
    EXPECT_EQ(settings->value(QLatin1String(CommentDisplay::defaultsKey)), false);
    EXPECT_FALSE(editor().showsCommentText()) << "the editor's notes stop taking clicks on their text";
    EXPECT_EQ(menuItem->text(), QStringLiteral("Show Comment Text"));
    EXPECT_FALSE(button->isChecked());
    EXPECT_EQ(button->toolTip(), QStringLiteral("Show Comment Text"));
    EXPECT_GT(filled, 2 * drawnPixels(button->icon())) << "filled while shown, an outline while hidden";
    EXPECT_EQ(other.actions().commentText->text(), QStringLiteral("Show Comment Text"));

    button->trigger();
    EXPECT_TRUE(CommentDisplay::showsCommentText());
    EXPECT_TRUE(editor().showsCommentText());
    EXPECT_EQ(other.actions().commentText->text(), QStringLiteral("Hide Comment Text"));
    EXPECT_TRUE(button->isChecked());
    CommentDisplay::reloadForTesting(nullptr);
}

TEST_F(DocumentAttachmentTest, TheCurrentSignatureSurvivesARevertAndFollowsDeletionsFromTheLibrary) {
    const std::vector<SavedSignature> saved = librarySigned(2);
    const SavedSignature& newer = saved.front();
    const SavedSignature& older = saved.back();
    editor().setCurrentSignature(SignatureInk{older.strokes, older.aspect});
    window->actions().revertToSaved->trigger();  // nothing to drop: no question
    ASSERT_EQ(reloads, 1);
    ASSERT_TRUE(editor().currentSignature());
    EXPECT_EQ(editor().currentSignature()->strokes, older.strokes) << "the revert keeps the one chosen";

    SignatureLibrary& library = SignatureLibrary::shared();
    library.remove(newer.id);  // not the current one: nothing changes
    ASSERT_TRUE(editor().currentSignature());
    EXPECT_EQ(editor().currentSignature()->strokes, older.strokes);
    library.add(newer);
    library.remove(older.id);  // the current one: the newest takes its place
    ASSERT_TRUE(editor().currentSignature());
    EXPECT_EQ(editor().currentSignature()->strokes, newer.strokes);
    library.remove(newer.id);
    EXPECT_FALSE(editor().currentSignature());
}

TEST_F(DocumentAttachmentTest, TheSignatureToolWithoutASignatureOpensThePad) {
    librarySigned(0);
    window->actions().tools[6]->trigger();
    EXPECT_TRUE(padShown());
}

TEST_F(DocumentAttachmentTest, AfterAnUnlockTheSignatureToolTakesTheSavedSignatureWithoutAsking) {
    librarySigned(1);
    encryptedCopy(file, dir.file("locked.pdf"), "user-pw");
    std::filesystem::rename(dir.file("locked.pdf"), file);
    std::unique_ptr<InkDocument> locked = open();
    ASSERT_TRUE(locked->pdf()->isLocked());
    auto* lockedWindow = new DocumentWindowController(OpenedPDF{qpath(file), locked->pdf(), std::nullopt});
    lockedWindow->show();
    auto* lockedAttachment = new DocumentAttachment(*lockedWindow, *locked);
    ASSERT_TRUE(locked->unlock(QStringLiteral("user-pw")));  // what the password prompt does
    lockedWindow->actions().tools[6]->trigger();
    EXPECT_EQ(lockedWindow->findChild<SignaturePadDialog*>(), nullptr);
    ASSERT_NE(lockedAttachment->editor(), nullptr);
    EXPECT_EQ(lockedAttachment->editor()->tool(), Tool::signature);
    delete lockedWindow;
    locked->close();
}

// After a revert too: the reloaded document's editor keeps the library's signature.
TEST_F(DocumentAttachmentTest, TheSignatureToolPreviewsTheSavedSignatureUnderThePointerAndPlacesIt) {
    const std::vector<SavedSignature> saved = librarySigned(1);
    window->actions().revertToSaved->trigger();  // nothing to drop: no question
    ASSERT_EQ(reloads, 1);
    activate();
    QTest::keyClick(window->pageView(), Qt::Key_S);
    EXPECT_FALSE(padShown());
    ASSERT_EQ(editor().tool(), Tool::signature);
    const OverlayView& overlay = *window->pageView()->overlay();
    const auto previewed = [&] { return editor().overlay().preview; };

    hover({200, 300});
    ASSERT_TRUE(previewed());
    EXPECT_TRUE(overlay.hasPreview());
    const auto [preview, page] = *previewed();
    EXPECT_EQ(page, 0);
    const Rect box = ItemGeometry::bounds(preview, false);
    EXPECT_NEAR((box.minX() + box.maxX()) / 2, 200, 1) << "centred on the pointer";
    EXPECT_NEAR((box.minY() + box.maxY()) / 2, 300, 1);
    EXPECT_LT(preview.color.a, ToolSettings::shared().styleFor(Tool::signature).color.a) << "translucent";
    EXPECT_TRUE(items().empty()) << "only shown, not placed";

    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(window->pageView()->viewport(), &leave);
    EXPECT_FALSE(previewed());
    EXPECT_FALSE(overlay.hasPreview());

    hover({250, 300});
    ASSERT_TRUE(previewed());
    QTest::keyClick(window->pageView(), Qt::Key_Escape);  // back to select
    EXPECT_EQ(editor().tool(), Tool::select);
    EXPECT_FALSE(previewed());
    EXPECT_FALSE(overlay.hasPreview());

    window->actions().tools[6]->trigger();
    EXPECT_FALSE(padShown());
    ASSERT_EQ(editor().tool(), Tool::signature);
    click({200, 300});
    ASSERT_EQ(items().size(), 1u);
    const InkShape* ink = items().at(0).shape.ink();
    ASSERT_NE(ink, nullptr);
    EXPECT_EQ(ink->kind, InkKind::signature);
    EXPECT_EQ(ink->strokes.size(), saved.front().strokes.size());
}

// The signature menu on screen, if any.
QMenu* signatureMenuShown() {
    return qobject_cast<QMenu*>(QApplication::activePopupWidget());
}

TEST_F(DocumentAttachmentTest, TheToolsMenuAndTheKeyChooseTheSignatureToolWithoutAskingWhichSignature) {
    const std::vector<SavedSignature> saved = librarySigned(2);
    activate();
    window->actions().tools[6]->trigger();
    EXPECT_EQ(signatureMenuShown(), nullptr);
    EXPECT_EQ(editor().tool(), Tool::signature);
    EXPECT_TRUE(window->toolbarTools()[6]->isChecked()) << "the toolbar shows the tool";
    // The one the editor already had: the first saved, as the library filled after the window opened.
    ASSERT_TRUE(editor().currentSignature());
    EXPECT_EQ(editor().currentSignature()->strokes, saved.back().strokes);
    QTest::keyClick(window->pageView(), Qt::Key_Escape);
    QTest::keyClick(window->pageView(), Qt::Key_S);
    EXPECT_EQ(signatureMenuShown(), nullptr);
    EXPECT_EQ(editor().tool(), Tool::signature);
    QTest::keyClick(window->pageView(), Qt::Key_S);  // again while on
    EXPECT_EQ(signatureMenuShown(), nullptr);
    EXPECT_EQ(editor().tool(), Tool::signature);

    // The toolbar's button offers the choice.
    window->toolbarTools()[6]->trigger();
    QMenu* menu = signatureMenuShown();
    ASSERT_NE(menu, nullptr);
    menu->close();
}

TEST_F(DocumentAttachmentTest, TheSignatureMenuWithNothingToPickIsThePad) {
    const std::vector<SavedSignature> saved = librarySigned(1);
    window->toolbarTools()[6]->trigger();
    ASSERT_EQ(editor().tool(), Tool::signature);
    SignatureLibrary::shared().remove(saved.front().id);  // in another window, say
    window->toolbarTools()[6]->trigger();                 // on already: the menu, which has nothing to list
    EXPECT_EQ(signatureMenuShown(), nullptr);
    EXPECT_TRUE(padShown());
}

TEST(DocumentAttachmentSignatureTest, TheSignatureToolOpensItsMenuWhenThereIsAChoice) {
    // One saved signature: straight to the tool; two: the menu to pick from.
    EXPECT_FALSE(DocumentAttachment::opensSignatureMenu(Tool::signature, Tool::select, 0));
    EXPECT_FALSE(DocumentAttachment::opensSignatureMenu(Tool::signature, Tool::select, 1));
    EXPECT_TRUE(DocumentAttachment::opensSignatureMenu(Tool::signature, Tool::select, 2));
    // Chosen again while on: the menu, to switch signatures.
    EXPECT_TRUE(DocumentAttachment::opensSignatureMenu(Tool::signature, Tool::signature, 1));
    EXPECT_FALSE(DocumentAttachment::opensSignatureMenu(Tool::pen, Tool::select, 5));
}

TEST_F(DocumentAttachmentTest, MarkupCopiedInOneWindowPastesIntoTheVisiblePartOfAnotherSelected) {
    draw(*document, 1);
    const AnnotationItem copied = items().at(0);
    editor().select(copied.id);
    pressKey(window->pageView(), Qt::Key_C, Qt::ControlModifier);

    file = dir.file("other.pdf");
    writeFile(file, simpleDocument(3));
    std::unique_ptr<InkDocument> other = open();
    auto* otherWindow = new DocumentWindowController(OpenedPDF{qpath(file), other->pdf(), std::nullopt});
    otherWindow->show();
    auto* otherAttachment = new DocumentAttachment(*otherWindow, *other);
    // The window shows the top of the page; the stroke's place, near the
    // bottom, is off screen.
    const QRectF visible = otherWindow->pageView()->visiblePageRect(0);
    ASSERT_FALSE(visible.intersects(QRectF(100, 100, 50, 20)));
    pressKey(otherWindow->pageView(), Qt::Key_V, Qt::ControlModifier);

    ASSERT_EQ(other->store()->itemsOnPage(0).size(), 1u);
    const AnnotationItem pasted = other->store()->itemsOnPage(0).at(0);
    const Rect bounds = ItemGeometry::bounds(pasted, false);
    EXPECT_TRUE(visible.contains(QRectF(bounds.x, bounds.y, bounds.width, bounds.height)))
        << "pasted out of sight";
    EXPECT_EQ(otherAttachment->editor()->selectedID(), pasted.id);
    delete otherWindow;
    finishWrites();
    other->close();
}

}  // namespace
}  // namespace quillet::testing
