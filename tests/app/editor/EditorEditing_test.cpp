// Working on items that exist, through the editor on a real page view.
#include <QClipboard>
#include <QMenu>
#include <QMimeData>

#include "app/editor/ItemClipboard.h"
#include "core/markup/ItemGeometry.h"
#include "support/EditorFixture.h"

namespace quillet {
namespace {

using testing::EditorTest;

Point centre(const AnnotationItem& item) {
    const Rect b = ItemGeometry::bounds(item, true);
    return {b.midX(), b.midY()};
}

// The item payload on the clipboard, under the private type.
std::string clipboardPayload() {
    return QGuiApplication::clipboard()->mimeData()->data("application/x-app.quillet.item").toStdString();
}

TEST_F(EditorTest, AClickSelectsTheTopmostItemAndADragMovesItPastThreeViewPoints) {
    const AnnotationItem below = insert(penItem({{50, 100}, {150, 100}}, 6), 0);
    const AnnotationItem above = insert(penItem({{100, 60}, {100, 140}}, 6), 0);
    int selectionChanges = 0;
    editor->onSelectionChange = [&] { ++selectionChanges; };
    click(0, {100, 100});
    EXPECT_EQ(editor->selectedID(), above.id);
    EXPECT_EQ(selectionChanges, 1);
    EXPECT_EQ(editor->overlay().handles.size(), 4u);

    drag(0, {{100, 100}, {102, 100}});
    EXPECT_EQ(items(0)[1], above) << "2 view points keep the item still";
    EXPECT_EQ(undo.count(), 0);
    // While dragged the stored item stays put and hidden; the overlay shows it moved.
    mouse(QEvent::MouseButtonPress, at(0, {100, 100}), Qt::LeftButton);
    mouse(QEvent::MouseMove, at(0, {104, 97}), Qt::LeftButton);
    EXPECT_EQ(items(0)[1], above);
    EXPECT_TRUE(store->isHidden(above.id));
    ASSERT_TRUE(editor->overlay().preview.has_value());
    EXPECT_EQ(editor->overlay().preview->first.shape, ItemGeometry::translated(above, 4, -3).shape);
    mouse(QEvent::MouseButtonRelease, at(0, {104, 97}), Qt::NoButton);
    EXPECT_FALSE(store->isHidden(above.id));
    EXPECT_FALSE(editor->overlay().preview.has_value());
    EXPECT_EQ(json(items(0)[1]), json([&] {
                  AnnotationItem moved = ItemGeometry::translated(above, 4, -3);
                  moved.modified = stamp();
                  return moved;
              }()));
    EXPECT_EQ(undo.undoText(), "Move");
    undo.undo();
    EXPECT_EQ(items(0)[1], above);

    // A click on nothing drops the selection and is left to the view.
    click(0, {250, 350});
    EXPECT_EQ(editor->selectedID(), std::nullopt);
    EXPECT_TRUE(editor->overlay().handles.empty());
    (void)below;
}

TEST_F(EditorTest, ThePageShowsAMovedItemWhereItIsAtEveryStep) {
    view->setAnnotationStore(store.get());
    insert(penItem({{80, 300}, {160, 300}}, 8), 0);
    const auto blueAt = [&](Point p) {
        return testing::isBlue(view->viewport()->grab().toImage().pixelColor(at(0, p).toPoint()));
    };
    const Point from{120, 300}, to{120, 340};
    EXPECT_TRUE(blueAt(from));
    click(0, from);
    mouse(QEvent::MouseButtonPress, at(0, from), Qt::LeftButton);
    mouse(QEvent::MouseMove, at(0, to), Qt::LeftButton);
    EXPECT_TRUE(blueAt(to) && !blueAt(from)) << "hidden on the page, drawn moved above it";
    mouse(QEvent::MouseButtonRelease, at(0, to), Qt::NoButton);
    EXPECT_TRUE(blueAt(to) && !blueAt(from));
    undo.undo();
    EXPECT_TRUE(blueAt(from) && !blueAt(to));
    view->setAnnotationStore(nullptr);
}

TEST_F(EditorTest, ACornerDragScalesAboutTheOppositeCornerNeverBelowFivePercent) {
    const AnnotationItem ink = insert(penItem({{100, 100}, {200, 200}}), 0);
    click(0, {150, 150});
    ASSERT_EQ(editor->selectedID(), ink.id);
    // Corner 2 is bottom-right on screen: page (201, 99); its anchor top-left (99, 201).
    const SelectionHandle corner = editor->overlay().handles[2];
    ASSERT_EQ(corner.corner, 2);
    const Point grabbed = {corner.position.x() - at(0, {0, 0}).x(), at(0, {0, 0}).y() - corner.position.y()};
    dragView(corner.position, at(0, {99 + (grabbed.x - 99) * 2, 201 - (201 - grabbed.y) * 2}));
    const Rect grown = ItemGeometry::bounds(items(0)[0], false);
    EXPECT_NEAR(grown.minX(), 99, 0.02);
    EXPECT_NEAR(grown.maxY(), 201, 0.02);
    EXPECT_NEAR(grown.maxX() - grown.minX(), 2 * 102, 0.1);
    EXPECT_EQ(undo.undoText(), "Resize");

    undo.undo();
    click(0, {150, 150});
    const SelectionHandle again = editor->overlay().handles[2];
    dragView(again.position, at(0, {60, 250}));  // far past the anchor
    EXPECT_NEAR(items(0)[0].lineWidth, 0.25, 1e-9) << "2 × 0.05 = 0.1 is raised to 0.25";
    const Rect tiny = ItemGeometry::inkBounds(items(0)[0].shape.ink()->strokes);
    EXPECT_NEAR(tiny.maxX() - tiny.minX(), 0.05 * 100, 0.02);
}

TEST_F(EditorTest, ArrowKeysNudgeInTheScreensDirectionOnARotatedPage) {
    view->goToPage(3);
    const AnnotationItem ink = insert(penItem({{60, 60}, {80, 80}}), 3);
    click(3, {70, 70});
    ASSERT_EQ(editor->selectedID(), ink.id);
    const QPointF before = at(3, centre(items(3)[0]));
    EXPECT_TRUE(key(Qt::Key_Right));
    QPointF after = at(3, centre(items(3)[0]));
    EXPECT_NEAR(after.x() - before.x(), 1, 1e-6);
    EXPECT_NEAR(after.y() - before.y(), 0, 1e-6);
    // On this page screen-right is page-up: the item's y grew.
    EXPECT_NEAR(centre(items(3)[0]).y - centre(ink).y, 1, 1e-6);
    EXPECT_EQ(undo.undoText(), "Move");

    EXPECT_TRUE(key(Qt::Key_Up, Qt::ShiftModifier));
    const QPointF shifted = at(3, centre(items(3)[0]));
    EXPECT_NEAR(shifted.y() - after.y(), -10, 1e-6);
    EXPECT_NEAR(shifted.x() - after.x(), 0, 1e-6);

    const AnnotationItem held = items(3)[0];
    EXPECT_FALSE(key(Qt::Key_Left, Qt::ControlModifier) && items(3)[0] != held);
    EXPECT_EQ(items(3)[0], held) << "Ctrl+arrow does not nudge";
    key(Qt::Key_Left, Qt::AltModifier);
    EXPECT_EQ(items(3)[0], held);
    EXPECT_EQ(undo.count(), 2);
}

TEST_F(EditorTest, APasteFromAnotherDocumentStaysWhereItWasWhenSeenAndIsSelected) {
    // Not in this document: copied in another document's window.
    const AnnotationItem elsewhere = penItem({{100, 300}, {150, 320}});
    ItemClipboard::copy(elsewhere);
    ASSERT_TRUE(key(Qt::Key_V, Qt::ControlModifier));
    ASSERT_EQ(items(0).size(), 1u);
    EXPECT_NEAR(centre(items(0)[0]).x, centre(elsewhere).x, 1e-9) << "moved off a place on screen";
    EXPECT_NEAR(centre(items(0)[0]).y, centre(elsewhere).y, 1e-9);
    EXPECT_EQ(editor->selectedID(), items(0)[0].id);

    // Zoomed in on the top of the page, its bottom right is off screen: the
    // copy goes to the middle of what is seen.
    view->setScale(4);
    view->goToPage(0);
    const QRectF visible = view->visiblePageRect(0);
    const AnnotationItem unseen = penItem({{250, 30}, {280, 40}});
    ASSERT_FALSE(visible.contains(QPointF(265, 35)));
    ItemClipboard::copy(unseen);
    ASSERT_TRUE(key(Qt::Key_V, Qt::ControlModifier));
    EXPECT_NEAR(centre(items(0).back()).x, visible.center().x(), 0.01);
    EXPECT_NEAR(centre(items(0).back()).y, visible.center().y(), 0.01);
    EXPECT_EQ(editor->selectedID(), items(0).back().id);

    // It goes on the page in view, the last one too.
    const int last = view->pageCount() - 1;
    view->goToPage(last);
    ASSERT_EQ(view->currentPage(), last);
    const size_t before = items(last).size();
    ASSERT_TRUE(key(Qt::Key_V, Qt::ControlModifier));
    EXPECT_EQ(items(last).size(), before + 1);
}

TEST_F(EditorTest, CopyPasteDuplicateCutAndDeleteByKeyAndCommand) {
    const AnnotationItem ink = insert(penItem({{100, 100}, {150, 120}}), 0);
    click(0, {125, 110});
    ASSERT_TRUE(key(Qt::Key_C, Qt::ControlModifier));
    EXPECT_EQ(clipboardPayload(), ItemCodec::encode(ink));

    ASSERT_TRUE(editor->paste());
    ASSERT_EQ(items(0).size(), 2u);
    AnnotationItem expected = ItemGeometry::translated(ink, 14, -14);  // right and down on screen
    expected.id = items(0)[1].id;
    expected.modified = stamp();
    EXPECT_EQ(json(items(0)[1]), json(expected));
    EXPECT_NE(items(0)[1].id, ink.id);
    EXPECT_EQ(editor->selectedID(), items(0)[1].id);
    EXPECT_EQ(undo.undoText(), "Paste");

    ASSERT_TRUE(key(Qt::Key_D, Qt::ControlModifier));
    ASSERT_EQ(items(0).size(), 3u);
    EXPECT_EQ(centre(items(0)[2]).x - centre(items(0)[1]).x, 14);
    EXPECT_EQ(undo.undoText(), "Duplicate Markup");

    const AnnotationItem last = items(0)[2];
    ASSERT_TRUE(editor->cut());
    EXPECT_EQ(items(0).size(), 2u);
    EXPECT_EQ(ItemCodec::decode(clipboardPayload()), last);
    EXPECT_EQ(editor->selectedID(), std::nullopt);

    click(0, {125, 110});
    ASSERT_TRUE(key(Qt::Key_Delete));
    EXPECT_EQ(items(0).size(), 1u);
    EXPECT_EQ(undo.undoText(), "Delete");
    EXPECT_FALSE(key(Qt::Key_Delete)) << "nothing selected: left to the view";

    // A copy that would fall off the page is centred in its visible part.
    const AnnotationItem corner = insert(penItem({{285, 20}, {295, 25}}), 0);
    ItemClipboard::copy(corner);
    ASSERT_TRUE(editor->paste());
    const QRectF visible = view->visiblePageRect(0);
    EXPECT_NEAR(centre(items(0).back()).x, visible.center().x(), 0.01);
    EXPECT_NEAR(centre(items(0).back()).y, visible.center().y(), 0.01);

    // Something that does not decode pastes nothing.
    QGuiApplication::clipboard()->setText("QLT1:garbage");
    const size_t count = items(0).size();
    EXPECT_FALSE(editor->paste());
    EXPECT_EQ(items(0).size(), count);
}

TEST_F(EditorTest, TheContextMenusColourAndAPopoverVisitAreOneUndoStepEach) {
    const AnnotationItem ink = insert(penItem({{100, 100}, {150, 120}}), 0);
    const auto menuEventAt = [&](Point p) {
        return QContextMenuEvent(QContextMenuEvent::Mouse, at(0, p).toPoint(),
                                 view->viewport()->mapToGlobal(at(0, p).toPoint()));
    };
    QContextMenuEvent event = menuEventAt({125, 110});
    QCoreApplication::sendEvent(view->viewport(), &event);
    QMenu* menu = editor->contextMenuShown();
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(editor->selectedID(), ink.id);
    QStringList titles;
    for (QAction* action : menu->actions()) titles << action->text();
    EXPECT_EQ(titles, QStringList({"Red", "Orange", "Yellow", "Green", "Blue", "Purple", "Black", "", "Copy",
                                   "Duplicate Markup", "Delete"}));
    menu->actions()[3]->trigger();
    EXPECT_EQ(items(0)[0].color, RGBA(0.16, 0.66, 0.28, 1.0));
    EXPECT_EQ(undo.count(), 1);
    EXPECT_EQ(undo.undoText(), "Style Change");
    undo.undo();
    EXPECT_EQ(items(0)[0], ink);
    menu->close();

    // Three changes in one popover visit, then another visit.
    editor->select(ink.id);
    editor->applyStyle(ToolStyle{RGBA(0, 0, 0, 1), 3, 13, true}, ink.id);
    editor->applyStyle(ToolStyle{RGBA(0, 0, 0, 1), 4, 13, true}, ink.id);
    editor->applyStyle(ToolStyle{RGBA(1, 0, 0, 1), 4, 13, true}, ink.id);
    editor->endStyleSession();
    EXPECT_EQ(items(0)[0].lineWidth, 4);
    EXPECT_EQ(items(0)[0].color, RGBA(1, 0, 0, 1));
    editor->applyStyle(ToolStyle{RGBA(1, 0, 0, 1), 5, 13, true}, ink.id);
    editor->endStyleSession();
    EXPECT_EQ(undo.count(), 2);
    undo.undo();
    EXPECT_EQ(items(0)[0].lineWidth, 4);
    undo.undo();
    EXPECT_EQ(items(0)[0], ink) << "one undo takes back the whole first visit";
    undo.redo();
    EXPECT_EQ(items(0)[0].lineWidth, 4);
    EXPECT_EQ(items(0)[0].color, RGBA(1, 0, 0, 1));

    // A right click on no item leaves the view its own menu.
    QContextMenuEvent empty = menuEventAt({250, 350});
    EXPECT_FALSE(editor->contextMenu(&empty));
}

TEST_F(EditorTest, ANoteWithHiddenTextShowsItWhileThePointerRestsOnIt) {
    editor->setShowsCommentText(false);
    const AnnotationItem note =
        insert(AnnotationItem(UUID::random(),
                              NoteShape{{100, 200}, {126, 200}, TextSpec{"Peek", 13, std::nullopt, true}},
                              RGBA(1, 0.83, 0, 1), 1, 0, stamp()),
               0);
    mouse(QEvent::MouseMove, at(0, {110, 190}), Qt::NoButton);
    ASSERT_TRUE(editor->overlay().peek.has_value());
    EXPECT_EQ(editor->overlay().peek->first.id, note.id);
    // Over the peeked bubble it stays; off the note it goes, and when the pointer leaves the view.
    mouse(QEvent::MouseMove, at(0, {135, 195}), Qt::NoButton);
    EXPECT_TRUE(editor->overlay().peek.has_value());
    mouse(QEvent::MouseMove, at(0, {250, 50}), Qt::NoButton);
    EXPECT_FALSE(editor->overlay().peek.has_value());
    mouse(QEvent::MouseMove, at(0, {110, 190}), Qt::NoButton);
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(view->viewport(), &leave);
    EXPECT_FALSE(editor->overlay().peek.has_value());

    editor->setShowsCommentText(true);
    mouse(QEvent::MouseMove, at(0, {110, 190}), Qt::NoButton);
    EXPECT_FALSE(editor->overlay().peek.has_value()) << "shown text needs no peek";
}

TEST_F(EditorTest, ToolKeysWorkByPhysicalKeyOnACyrillicLayout) {
    // X11/Wayland scan codes (evdev + 8) with the letters a Russian layout
    // gives (Qt's key code of a Cyrillic letter is its upper-case code point).
    struct Press {
        quint32 scanCode;
        int key;
        QString text;
        Tool tool;
    };
    const Press presses[] = {
        {43, 0x0420, "р", Tool::highlighter}, {33, 0x0417, "з", Tool::pen},   {28, 0x0415, "е", Tool::text},
        {57, 0x0422, "т", Tool::note},        {38, 0x0424, "ф", Tool::arrow}, {26, 0x0423, "у", Tool::eraser},
        {55, 0x041C, "м", Tool::select},
    };
    for (const Press& press : presses) {
        EXPECT_TRUE(key(press.key, {}, press.scanCode, press.text));
        EXPECT_EQ(editor->tool(), press.tool) << press.text.toStdString();
    }
    // Without scan codes (offscreen) the Latin letters; with Ctrl nothing.
    EXPECT_TRUE(key(Qt::Key_H, {}, 0, "h"));
    EXPECT_EQ(editor->tool(), Tool::highlighter);
    key(Qt::Key_P, Qt::ControlModifier, 0, "p");
    EXPECT_EQ(editor->tool(), Tool::highlighter);
    // Escape: first drops a selection, then returns to select.
    EXPECT_TRUE(key(Qt::Key_Escape));
    EXPECT_EQ(editor->tool(), Tool::select);
}

TEST_F(EditorTest, TheViewSelectsTextWhereNoToolActsAndDrawingToolsClearIt) {
    const QPointF from = at(0, {45, 306});
    const QPointF to = at(0, {200, 306});
    dragView(from, to);
    EXPECT_EQ(view->selectedText(), "Alpha beta");
    ASSERT_TRUE(key(Qt::Key_C, Qt::ControlModifier));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "Alpha beta");
    editor->setTool(Tool::pen);
    EXPECT_FALSE(view->hasTextSelection());
    editor->setTool(Tool::select);
    editor->selectAll();
    EXPECT_TRUE(view->selectedText().contains("beta gamma Beta"));
}

}  // namespace
}  // namespace quillet
