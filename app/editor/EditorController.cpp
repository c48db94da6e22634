#include "app/editor/EditorController.h"

#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QUndoStack>
#include <algorithm>
#include <cmath>

#include "app/document/StoreCommand.h"
#include "app/editor/ArrowTool.h"
#include "app/editor/CopyPlacement.h"
#include "app/editor/EditorStrings.h"
#include "app/editor/EraserTool.h"
#include "app/editor/InkTool.h"
#include "app/editor/ItemClipboard.h"
#include "app/editor/ItemContextMenu.h"
#include "app/editor/SelectTool.h"
#include "app/editor/SignatureTool.h"
#include "app/editor/TextMarkupTool.h"
#include "app/editor/TextTool.h"
#include "app/editor/ToolKeys.h"
#include "app/editor/ToolSettings.h"
#include "app/view/PageView.h"
#include "core/markup/ItemGeometry.h"

namespace quillet {

EditorController::EditorController(PageView& view, AnnotationStore& store, QUndoStack& undoStack,
                                   ToolSettings& settings, QObject* parent)
    : QObject(parent),
      view_(view),
      store_(store),
      undoStack_(undoStack),
      settings_(settings),
      clock_([] { return std::chrono::system_clock::now(); }),
      text_(*view.viewport(), *this, store),
      styles_(undoStack, store) {
    text_.onChange = [this] {
        if (onTextEditingChange) {
            onTextEditingChange();
        }
    };
    tools_[Tool::select] = std::make_unique<SelectTool>(*this);
    tools_[Tool::pen] = std::make_unique<InkTool>(*this, false);
    tools_[Tool::highlighter] = std::make_unique<InkTool>(*this, true);
    tools_[Tool::text] = std::make_unique<TextTool>(*this, false);
    tools_[Tool::note] = std::make_unique<TextTool>(*this, true);
    tools_[Tool::arrow] = std::make_unique<ArrowTool>(*this);
    tools_[Tool::signature] = std::make_unique<SignatureTool>(*this);
    tools_[Tool::eraser] = std::make_unique<EraserTool>(*this);
    for (TextMarkupKind kind : allTextMarkupKinds) {
        tools_[toolFor(kind)] = std::make_unique<TextMarkupTool>(*this, kind);
    }
    view_.setInputHandler(this);
    overlayView_ = view_.overlay();
    // The overlay repaints only what changed on it, and the pages only under
    // that: a pointer move during a stroke must not repaint the whole view.
    connect(this, &EditorController::overlayChanged, this, &EditorController::syncOverlayView);
    // Undo, redo and other windows' edits may take the selected item away.
    storeObserver_ = store_.observeChanges([this](const std::set<int>&) {
        if (selectedID_ && !store_.locate(*selectedID_)) {
            select(std::nullopt);
        } else {
            refreshSelection();
        }
    });
    connect(&view_, &PageView::visibleAreaChanged, this, &EditorController::refreshSelection);
}

EditorController::~EditorController() {
    setHighFrequencyInput(false);
    delete contextMenu_.data();
    store_.removeObserver(storeObserver_);
    view_.setInputHandler(nullptr);
}

EditorTool& EditorController::currentTool() const {
    return *tools_.at(tool_);
}

// --- Tools and selection

void EditorController::setTool(Tool tool) {
    text_.finish();
    currentTool().deactivate();
    if (tool != Tool::select) {
        select(std::nullopt);
    }
    if (tool == Tool::signature && !signature_) {
        askForSignature();
        return;
    }
    tool_ = tool;
    setHoveredNote(std::nullopt);
    setPreview(std::nullopt);
    setEraserCentre(std::nullopt);
    if (tool != Tool::select) {
        view_.clearTextSelection();
    }
    view_.viewport()->unsetCursor();
    currentTool().activate();
    if (onToolChange) {
        onToolChange(tool);
    }
}

void EditorController::select(std::optional<UUID> id) {
    const bool changed = id != selectedID_;
    selectedID_ = id;
    refreshSelection();
    if (changed && onSelectionChange) {
        onSelectionChange();
    }
}

std::optional<AnnotationItem> EditorController::selectedItem() const {
    if (!selectedID_) {
        return std::nullopt;
    }
    std::optional<AnnotationStore::LocatedItem> located = store_.locate(*selectedID_);
    return located ? std::optional(std::move(located->item)) : std::nullopt;
}

void EditorController::refreshSelection() {
    overlay_.clearSelection();
    std::optional<AnnotationStore::LocatedItem> located =
        selectedID_ ? store_.locate(*selectedID_) : std::nullopt;
    if (located) {
        // While an item is dragged the overlay shows where it goes.
        if (overlay_.preview && overlay_.preview->first.id == located->item.id) {
            located->item = overlay_.preview->first;
        }
        overlay_.setSelection(located->item, view_.pageToViewport(located->page), isExpanded(located->item));
    }
    text_.relayout();
    emit overlayChanged();
}

void EditorController::syncOverlayView() {
    if (overlayView_) {
        overlay_.showOn(*overlayView_, view_,
                        [this](const AnnotationItem& item) { return isExpanded(item); });
    }
}

// --- Pointer and keys

PointerInput EditorController::pointerInput(const QMouseEvent& event, int clickCount) const {
    return PointerInput{event.position(),  event.button(), event.buttons(),
                        event.modifiers(), clickCount,     locate(event.position())};
}

bool EditorController::mousePress(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return false;
    }
    if (isEditingText()) {
        text_.finish();
        if (tool_ == Tool::text || tool_ == Tool::note || tool_ == Tool::arrow) {
            return true;  // the click only ends the typing
        }
    }
    const int clicks = event->type() == QEvent::MouseButtonDblClick ? 2 : 1;
    return currentTool().press(pointerInput(*event, clicks));
}

bool EditorController::mouseMove(QMouseEvent* event) {
    const PointerInput input = pointerInput(*event, 0);
    if (currentTool().isGestureRunning()) {
        return currentTool().drag(input);
    }
    if (event->buttons() == Qt::NoButton) {
        return currentTool().hover(input);
    }
    return false;
}

bool EditorController::mouseRelease(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return false;
    }
    return currentTool().release(pointerInput(*event, 0));
}

void EditorController::pointerLeft() {
    setHoveredNote(std::nullopt);
    if (tool_ == Tool::eraser && !currentTool().isGestureRunning()) {
        setEraserCentre(std::nullopt);
    }
    if (tool_ == Tool::signature) {
        setPreview(std::nullopt);  // the signature's placement preview
    }
}

bool EditorController::keyPress(QKeyEvent* event) {
    // The Edit menu's shortcuts reach us only where no window action has them.
    if (event == QKeySequence::Copy) {
        return copy();
    }
    if (event == QKeySequence::Cut) {
        return cut();
    }
    if (event == QKeySequence::Paste) {
        return paste();
    }
    if (event == QKeySequence::SelectAll) {
        selectAll();
        return true;
    }
    if (event->keyCombination() == QKeyCombination(Qt::ControlModifier, Qt::Key_D)) {
        return duplicate();
    }
    const Qt::KeyboardModifiers commandKeys = Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    switch (event->key()) {
        case Qt::Key_Left:
        case Qt::Key_Right:
        case Qt::Key_Up:
        case Qt::Key_Down:
            return !(modifiers & commandKeys) && nudge(event->key(), modifiers);
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (const std::optional<AnnotationItem> item = selectedItem(); item && item->textSpec()) {
                startTextEditing(item->id);
                return true;
            }
            return false;
        case Qt::Key_Delete:
        case Qt::Key_Backspace:
            return deleteSelection();
        case Qt::Key_Escape:
            if (selectedID_) {
                select(std::nullopt);
            } else if (tool_ != Tool::select) {
                setTool(Tool::select);
            }
            return true;
        default:
            break;
    }
    if (modifiers != Qt::NoModifier || event->isAutoRepeat()) {
        return false;
    }
    if (const std::optional<Tool> tool = ToolKeys::toolForKey(*event)) {
        // With text selected, the highlighter's key highlights that text.
        if (*tool == Tool::highlighter && view_.hasTextSelection()) {
            return markSelectedText(TextMarkupKind::highlight);
        }
        setTool(*tool);
        return true;
    }
    return false;
}

// Arrow keys move the selected item by one page point (ten with Shift) the
// way the arrow points on screen, whatever the page's rotation.
bool EditorController::nudge(int key, Qt::KeyboardModifiers modifiers) {
    const std::optional<AnnotationItem> item = selectedItem();
    const std::optional<int> page = item ? store_.pageOf(item->id) : std::nullopt;
    if (!page || item->isTextMarkup()) {
        return false;
    }
    const QPointF direction = key == Qt::Key_Left    ? QPointF(-1, 0)
                              : key == Qt::Key_Right ? QPointF(1, 0)
                              : key == Qt::Key_Up    ? QPointF(0, -1)
                                                     : QPointF(0, 1);
    const QTransform toPageSpace = view_.pageToViewport(*page).inverted();
    const QPointF v = toPageSpace.map(direction) - toPageSpace.map(QPointF(0, 0));
    const double len = std::hypot(v.x(), v.y());
    if (len <= 0) {
        return false;
    }
    const double step = modifiers & Qt::ShiftModifier ? 10 : 1;
    AnnotationItem moved = ItemGeometry::translated(*item, v.x() / len * step, v.y() / len * step);
    moved.modified = timestamp();
    commit(EditorStrings::move, StoreChange::replace({moved}));
    return true;
}

// --- Context menu and styles

bool EditorController::contextMenu(QContextMenuEvent* event) {
    const std::optional<EditorLocation> location = locate(event->pos());
    const std::optional<std::pair<AnnotationItem, HitPart>> hit = location ? itemAt(*location) : std::nullopt;
    if (!hit) {
        if (!view_.hasTextSelection()) {
            return false;
        }
        if (contextMenu_) {
            contextMenu_->close();
        }
        contextMenu_ = showTextSelectionMenu(
            &view_, [this] { view_.copySelectedText(); },
            [this](TextMarkupKind kind) { markSelectedText(kind); }, event->globalPos());
        return true;
    }
    text_.finish();
    select(hit->first.id);
    showContextMenu(hit->first, event->globalPos());
    return true;
}

void EditorController::showContextMenu(const AnnotationItem& item, QPoint globalPos) {
    if (contextMenu_) {
        contextMenu_->close();
    }
    const UUID id = item.id;
    // Each entry acts on the item the menu was opened on.
    const auto onItem = [this, id](auto action) {
        return [this, id, action] {
            select(id);
            action();
        };
    };
    ItemMenuActions actions;
    if (item.textSpec()) {
        actions.editText = [this, id] { startTextEditing(id); };
    }
    actions.recolor = [this, id](const RGBA& color) {
        select(id);
        applyColor(color);
    };
    actions.copy = onItem([this] { copy(); });
    if (const TextMarkupShape* markup = item.shape.markup()) {
        actions.currentKind = markup->kind;
        actions.changeKind = [this, id](TextMarkupKind kind) { changeMarkupKind(id, kind); };
    } else {
        actions.duplicate = onItem([this] { duplicate(); });
    }
    actions.remove = onItem([this] { deleteSelection(); });
    contextMenu_ = showItemContextMenu(&view_, actions, globalPos);
}

void EditorController::changeMarkupKind(const UUID& id, TextMarkupKind kind) {
    std::optional<AnnotationStore::LocatedItem> located = store_.locate(id);
    TextMarkupShape* markup = located ? located->item.shape.markup() : nullptr;
    if (markup == nullptr || markup->kind == kind) {
        return;
    }
    markup->kind = kind;
    located->item.modified = timestamp();
    commit(EditorStrings::changeKind, StoreChange::replace({located->item}));
}

void EditorController::applyColor(const RGBA& color) {
    std::optional<AnnotationItem> item = selectedItem();
    if (!item || item->color == color) {
        return;
    }
    item->color = color;
    item->modified = timestamp();
    commit(EditorStrings::styleChange, StoreChange::replace({*item}));
}

void EditorController::applyStyle(const ToolStyle& style, const UUID& id) {
    styles_.apply(style, id, timestamp());
}

void EditorController::restyleTypedText(const ToolStyle& style) {
    text_.restyle(style, styles_);
}

void EditorController::endStyleSession() {
    styles_.end();
}

// --- Clipboard

bool EditorController::copy() {
    if (const std::optional<AnnotationItem> item = selectedItem()) {
        return ItemClipboard::copy(*item);
    }
    return view_.copySelectedText();
}

bool EditorController::cut() {
    const std::optional<AnnotationItem> item = selectedItem();
    return item && ItemClipboard::copy(*item) && deleteSelection();
}

bool EditorController::paste() {
    const std::optional<AnnotationItem> item = ItemClipboard::paste();
    if (!item || view_.pageCount() == 0) {
        return false;
    }
    insertCopy(*item, std::clamp(view_.currentPage(), 0, view_.pageCount() - 1), EditorStrings::paste);
    return true;
}

bool EditorController::duplicate() {
    const std::optional<AnnotationItem> item = selectedItem();
    const std::optional<int> page = item ? store_.pageOf(item->id) : std::nullopt;
    if (!page) {
        return false;
    }
    insertCopy(*item, *page, EditorStrings::duplicate);
    return true;
}

bool EditorController::deleteSelection() {
    const std::optional<AnnotationItem> item = selectedItem();
    if (!item) {
        return false;
    }
    commit(EditorStrings::remove, StoreChange::remove({item->id}));
    select(std::nullopt);
    return true;
}

void EditorController::selectAll() {
    select(std::nullopt);
    view_.selectAllText();
}

bool EditorController::canCopy() const {
    return selectedID_.has_value() || view_.hasTextSelection();
}

bool EditorController::canPaste() const {
    return ItemClipboard::holdsItem();
}

void EditorController::insertCopy(AnnotationItem item, int page, const LocalizedString& name) {
    // A copy beside its original stands off it; one from another document
    // (or a cut one) has nothing to cover and keeps its place.
    const CopyPlacement placement{store_.locate(item.id).has_value(), view_.pageToViewport(page),
                                  view_.visiblePageRect(page), pageBounds(page), showsCommentText_};
    item.id = UUID::random();
    item.modified = timestamp();
    const AnnotationItem placed = placement.place(item);
    insertOnTop(name, placed, page);
    select(placed.id);
}

// --- Text sessions

void EditorController::startTextEditing(const UUID& id) {
    text_.start(id, settings_.styleFor(Tool::arrow));
}

// --- Lifecycle

void EditorController::commitPendingEdits() {
    endStyleSession();
    text_.finish();
    if (tool_ == Tool::eraser) {
        static_cast<EraserTool&>(currentTool()).complete();
    }
}

void EditorController::cancelInteraction() {
    text_.cancel();
    currentTool().cancel();
    setHoveredNote(std::nullopt);
    setPreview(std::nullopt);
    setEraserCentre(std::nullopt);
}

}  // namespace quillet
