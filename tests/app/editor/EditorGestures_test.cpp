// Each tool's gesture on the real page view makes the item it should, with
// the stored payload checked.
#include "app/editor/ToolKeys.h"
#include "core/markup/ItemGeometry.h"
#include "core/markup/TextLayout.h"
#include "support/EditorFixture.h"

namespace quillet {
namespace {

using namespace std::chrono_literals;
using testing::EditorTest;

const RGBA penRed(0.89, 0.16, 0.16, 1.0);
const RGBA highlighterYellow(1.0, 0.83, 0.0, 1.0);

TEST_F(EditorTest, APenDragMakesOneInkItemWithTheSimplifiedStroke) {
    editor->setTool(Tool::pen);
    drag(0, {{50, 50}, {60, 62}, {70, 50.004}, {80, 70}});
    ASSERT_EQ(items(0).size(), 1u);
    const AnnotationItem& made = items(0)[0];
    const AnnotationItem expected(made.id, InkShape{InkKind::pen, {{{50, 50}, {60, 62}, {70, 50}, {80, 70}}}},
                                  penRed, 2, 0, stamp());
    EXPECT_EQ(json(made), json(expected));
    EXPECT_EQ(undo.undoText(), "Drawing");
    undo.undo();
    EXPECT_TRUE(items(0).empty());
    undo.redo();
    ASSERT_EQ(items(0).size(), 1u);
    EXPECT_EQ(json(items(0)[0]), json(expected));
}

TEST_F(EditorTest, ShiftMakesStraightStrokesAndHighlightsTakeThePageRotation) {
    editor->setTool(Tool::highlighter);
    view->goToPage(3);
    drag(3, {{50, 50}, {60, 80}, {40, 120}, {55, 150}}, Qt::ShiftModifier);
    ASSERT_EQ(items(3).size(), 1u);
    const AnnotationItem expected(items(3)[0].id, InkShape{InkKind::highlighter, {{{50, 50}, {55, 150}}}},
                                  highlighterYellow, 14, 90, stamp());
    EXPECT_EQ(json(items(3)[0]), json(expected));
    EXPECT_EQ(undo.undoText(), "Highlight");
}

TEST_F(EditorTest, PenStrokesMergeWithinOneAndAHalfSecondsHighlightsNever) {
    editor->setTool(Tool::pen);
    drag(0, {{50, 50}, {70, 60}});
    now += 1s;
    drag(0, {{80, 50}, {90, 60}});
    ASSERT_EQ(items(0).size(), 1u);
    EXPECT_EQ(items(0)[0].shape.ink()->strokes.size(), 2u);
    EXPECT_EQ(undo.count(), 2) << "the merge is a step of its own";
    now += 2s;
    drag(0, {{100, 50}, {110, 60}});
    EXPECT_EQ(items(0).size(), 2u) << "2 s later the stroke starts a new item";
    // Undoing the merge gives back the one-stroke item exactly.
    undo.undo();
    undo.undo();
    ASSERT_EQ(items(0).size(), 1u);
    EXPECT_EQ(items(0)[0].shape.ink()->strokes.size(), 1u);

    // Far away (beyond 60 points of the item) or in another style: no merge.
    undo.clear();
    drag(0, {{200, 300}, {210, 310}});
    EXPECT_EQ(items(0).size(), 2u);
    now += 500ms;
    settings->setStyle(ToolStyle{RGBA(0, 0, 0, 1), 3, 13, true}, Tool::pen);
    drag(0, {{205, 300}, {215, 310}});
    EXPECT_EQ(items(0).size(), 3u);

    editor->setTool(Tool::highlighter);
    drag(1, {{50, 50}, {70, 60}});
    now += 200ms;
    drag(1, {{52, 50}, {72, 60}});
    EXPECT_EQ(items(1).size(), 2u);
}

TEST_F(EditorTest, MergingStopsAtTheCodecsStrokeLimit) {
    editor->setTool(Tool::pen);
    drag(0, {{52, 52}, {60, 60}});  // the item the next stroke would join
    ASSERT_EQ(items(0).size(), 1u);
    AnnotationItem full = items(0)[0];
    full.shape.ink()->strokes.assign(ItemCodec::kMaxStrokes, Stroke{{50, 50}});
    store->apply(StoreChange::replace({full}));
    now += 200ms;
    drag(0, {{52, 52}, {60, 60}});
    ASSERT_EQ(items(0).size(), 2u);
    EXPECT_EQ(items(0)[0].shape.ink()->strokes.size(), ItemCodec::kMaxStrokes);
}

TEST_F(EditorTest, ArrowsShorterThanTenViewPointsAreDropped) {
    editor->setTool(Tool::arrow);
    drag(0, {{50, 50}, {55, 55}});  // 7.07 view points at scale 1
    EXPECT_TRUE(items(0).empty());
    EXPECT_EQ(undo.count(), 0);
    EXPECT_FALSE(editor->overlay().preview.has_value());

    drag(0, {{50, 50}, {80, 90.456}});
    EXPECT_TRUE(editor->isEditingText()) << "its label opens for typing";
    editor->textEditor().finish();
    ASSERT_EQ(items(0).size(), 1u);
    const AnnotationItem expected(items(0)[0].id, ArrowShape{{50, 50}, {80, 90.46}, std::nullopt}, penRed, 2,
                                  0, stamp());
    EXPECT_EQ(json(items(0)[0]), json(expected));
    EXPECT_EQ(undo.undoText(), "Arrow");

    // Zoomed in 4×, the same 7 page points are 28 view points: kept.
    view->setScale(4);
    view->goToPage(0);
    drag(0, {{100, 300}, {105, 305}});
    editor->textEditor().finish();
    EXPECT_EQ(items(0).size(), 2u);
}

TEST_F(EditorTest, TypedTextBecomesTextBoxesNotesAndArrowLabels) {
    InlineTextEditor& typing = editor->textEditor();
    auto type = [&](const QString& text) {
        EXPECT_TRUE(editor->isEditingText());
        typing.selectAll();
        if (text.isEmpty()) {
            typing.deleteBackward();
        } else {
            typing.insertText(text);
        }
    };
    editor->setTool(Tool::text);
    click(0, {100, 200});
    EXPECT_TRUE(items(0).empty()) << "the box enters the store when typing ends";
    type("Hello");
    typing.insertText("\n");
    typing.insertText("\n");
    ASSERT_TRUE(store->draft().has_value()) << "the text being typed is the store's draft";
    click(0, {250, 50});  // a click elsewhere ends the typing, and only that
    EXPECT_FALSE(editor->isEditingText());
    EXPECT_FALSE(store->draft().has_value());
    ASSERT_EQ(items(0).size(), 1u);
    const TextShape* text = items(0)[0].shape.text();
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->spec.text, "Hello");
    const TextLayoutResult empty = TextLayout::layout(TextSpec{"", 13, std::nullopt, true});
    EXPECT_EQ(text->origin, roundTo2(Point{100 - empty.padding, 200 + empty.boxSize.height / 2}));
    EXPECT_EQ(undo.undoText(), "Text");
    EXPECT_EQ(undo.count(), 1);

    // A new box left blank leaves nothing; emptying an existing one deletes it.
    click(0, {100, 50});
    type(" ");
    typing.finish();
    EXPECT_EQ(items(0).size(), 1u);
    EXPECT_EQ(undo.count(), 1);
    click(0, {100 + empty.padding + 1, 200});
    ASSERT_TRUE(typing.session().has_value());
    EXPECT_FALSE(typing.session()->isNew) << "a click on a text box edits it";
    EXPECT_TRUE(store->isHidden(items(0)[0].id)) << "the box shows it while it is typed into";
    type("");
    typing.finish();
    EXPECT_TRUE(items(0).empty());
    EXPECT_EQ(undo.undoText(), "Delete");

    // A note on the page rotated by 90°: anchor offset turned with the page.
    editor->setTool(Tool::note);
    view->goToPage(3);
    click(3, {100, 100});
    ASSERT_TRUE(editor->overlay().preview.has_value()) << "the note's icon shows while it is written";
    type("Look");
    typing.finish();
    ASSERT_EQ(items(3).size(), 1u);
    const NoteShape* note = items(3)[0].shape.note();
    ASSERT_NE(note, nullptr);
    EXPECT_EQ(note->anchor, (Point{90, 90}));
    EXPECT_EQ(note->spec.text, "Look");
    EXPECT_EQ(items(3)[0].rotation, 90);
    EXPECT_EQ(undo.undoText(), "Comment");

    // Near the right edge the bubble sits left of the icon and grows leftwards.
    view->goToPage(0);
    click(0, {editor->pageBounds(0).maxX() - 30, 300});
    type("A short note");
    ASSERT_TRUE(editor->overlay().preview.has_value());
    EXPECT_EQ(editor->overlay().preview->first.shape.note()->bubble, typing.session()->target.second)
        << "the bubble drawn beneath the box moves with it";
    typing.finish();
    const AnnotationItem& left = items(0).back();
    const Rect icon = ItemGeometry::noteIconFrame(left.shape.note()->anchor, 0);
    EXPECT_LE(ItemGeometry::placeBubble(left.shape.note()->spec, left.shape.note()->bubble, 0).frame().maxX(),
              icon.minX());
    undo.undo();

    // An arrow's label; an empty label leaves an arrow without one.
    editor->setTool(Tool::arrow);
    view->goToPage(0);
    drag(0, {{50, 50}, {150, 50}});
    ASSERT_TRUE(editor->overlay().preview.has_value()) << "the arrow stays drawn while its label is typed";
    EXPECT_NE(editor->overlay().preview->first.shape.arrow(), nullptr);
    type("here");
    typing.finish();
    EXPECT_FALSE(editor->overlay().preview.has_value());
    ASSERT_EQ(items(0).size(), 1u);
    ASSERT_TRUE(items(0)[0].shape.arrow()->label.has_value());
    EXPECT_EQ(items(0)[0].shape.arrow()->label->text, "here");
    EXPECT_EQ(undo.undoText(), "Arrow");
    drag(0, {{50, 150}, {150, 150}});
    typing.finish();
    ASSERT_EQ(items(0).size(), 2u);
    EXPECT_FALSE(items(0)[1].shape.arrow()->label.has_value());
}

TEST_F(EditorTest, ASignatureIsPlacedCentredSelectedAndTheToolReturnsToSelect) {
    int requests = 0;
    editor->requestSignature = [&] { ++requests; };
    editor->setTool(Tool::signature);
    EXPECT_EQ(requests, 1);
    EXPECT_EQ(editor->tool(), Tool::select) << "no signature: the tool stays";

    editor->setCurrentSignature(SignatureInk{{{{0, 0}, {2, 1}}}, 2});
    editor->setTool(Tool::signature);
    click(0, {150, 200});
    ASSERT_EQ(items(0).size(), 1u);
    // Width min(0.6 × 300, 150) = 150, height 75: (0,0) → (-75,-37.5), (2,1) → (75, 37.5).
    const AnnotationItem expected(items(0)[0].id, InkShape{InkKind::signature, {{{75, 162.5}, {225, 237.5}}}},
                                  RGBA(0.05, 0.15, 0.45, 1.0), 1.6, 0, stamp());
    EXPECT_EQ(json(items(0)[0]), json(expected));
    EXPECT_EQ(editor->selectedID(), items(0)[0].id);
    EXPECT_EQ(editor->tool(), Tool::select);
    EXPECT_EQ(undo.undoText(), "Signature");
}

TEST_F(EditorTest, OneEraserDragRemovesEveryItemItCrossesAsOneUndoStep) {
    const AnnotationItem a = insert(penItem({{50, 100}, {50, 200}}), 0);
    const AnnotationItem b = insert(penItem({{100, 100}, {100, 200}}), 0);
    const AnnotationItem keep = insert(penItem({{120, 300}, {140, 300}}), 0);
    const AnnotationItem c = insert(penItem({{150, 100}, {150, 200}}), 0);
    const std::vector<AnnotationItem> before = items(0);
    editor->setTool(Tool::eraser);
    // Fast: only two samples, the sweep between them still hits b.
    drag(0, {{30, 150}, {90, 150}, {170, 150}});
    ASSERT_EQ(items(0).size(), 1u);
    EXPECT_EQ(items(0)[0], keep);
    EXPECT_EQ(undo.count(), 1);
    EXPECT_EQ(undo.undoText(), "Erase");
    undo.undo();
    EXPECT_EQ(items(0), before) << "one undo brings all three back in their places";
    undo.redo();
    EXPECT_EQ(items(0), std::vector<AnnotationItem>{keep});
    (void)a, (void)b, (void)c;
}

TEST_F(EditorTest, TheCursorsOfTheTools) {
    editor->setTool(Tool::eraser);
    mouse(QEvent::MouseMove, at(0, {100, 100}), Qt::NoButton);
    const QCursor eraser = view->viewport()->cursor();
    EXPECT_EQ(eraser.pixmap().size(), QSize(18, 18));
    EXPECT_EQ(eraser.hotSpot(), QPoint(9, 9));
    ASSERT_TRUE(editor->overlay().eraserCentre.has_value());
    EXPECT_EQ(*editor->overlay().eraserCentre, at(0, {100, 100}));
    editor->setTool(Tool::text);
    mouse(QEvent::MouseMove, at(0, {100, 100}), Qt::NoButton);
    EXPECT_EQ(view->viewport()->cursor().shape(), Qt::IBeamCursor);
    EXPECT_FALSE(editor->overlay().eraserCentre.has_value());
    editor->setTool(Tool::pen);
    mouse(QEvent::MouseMove, at(0, {100, 100}), Qt::NoButton);
    EXPECT_EQ(view->viewport()->cursor().shape(), Qt::CrossCursor);
}

TEST_F(EditorTest, PointerMovesRepaintThePageOnlyWhereTheOverlayChanged) {
    ASSERT_TRUE(testing::pumpUntil([&] { return view->renderer()->pendingCount() == 0; }));
    testing::PaintedAreas areas;
    view->viewport()->installEventFilter(&areas);
    const QPointF from = at(0, {100, 100}), to = at(0, {110, 104});
    const QRectF near = QRectF(from, to).normalized().adjusted(-12, -12, 12, 12);
    const auto movedTo = [&](Qt::MouseButtons buttons) {
        return areas.after([&] { mouse(QEvent::MouseMove, to, buttons); }).boundingRect();
    };
    editor->setTool(Tool::pen);
    mouse(QEvent::MouseButtonPress, at(0, {90, 96}), Qt::LeftButton);
    mouse(QEvent::MouseMove, from, Qt::LeftButton);
    const QRect drawn = movedTo(Qt::LeftButton);
    EXPECT_FALSE(drawn.isEmpty());
    EXPECT_TRUE(near.contains(drawn)) << "the new segment, not the whole view";
    mouse(QEvent::MouseButtonRelease, to, Qt::NoButton);
    editor->setTool(Tool::eraser);
    mouse(QEvent::MouseMove, from, Qt::NoButton);
    const QRect erased = movedTo(Qt::NoButton);
    EXPECT_FALSE(erased.isEmpty());
    EXPECT_TRUE(near.contains(erased)) << "where the eraser circle was and is";
}

TEST_F(EditorTest, NoPointerSampleIsMergedAwayWhileDrawing) {
    QCoreApplication::setAttribute(Qt::AA_CompressHighFrequencyEvents, true);
    editor->setTool(Tool::pen);
    mouse(QEvent::MouseButtonPress, at(0, {50, 50}), Qt::LeftButton);
    EXPECT_FALSE(QCoreApplication::testAttribute(Qt::AA_CompressHighFrequencyEvents));
    mouse(QEvent::MouseButtonRelease, at(0, {60, 60}), Qt::NoButton);
    EXPECT_TRUE(QCoreApplication::testAttribute(Qt::AA_CompressHighFrequencyEvents))
        << "scrolling stays smooth";
}

}  // namespace
}  // namespace quillet
