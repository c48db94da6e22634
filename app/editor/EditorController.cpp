#include "app/editor/EditorController.h"

#include <algorithm>
#include <cmath>

#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QUndoStack>

#include "app/editor/ArrowTool.h"
#include "app/editor/EditorStrings.h"
#include "app/editor/EraserTool.h"
#include "app/editor/InkTool.h"
#include "app/editor/InlineTextOutcome.h"
#include "app/editor/ItemClipboard.h"
#include "app/editor/SelectTool.h"
#include "app/editor/SignatureTool.h"
#include "app/document/StoreCommand.h"
#include "app/editor/TextTool.h"
#include "app/editor/ToolKeys.h"
#include "app/platform/QtConversions.h"
#include "app/view/PageView.h"
#include "app/editor/ToolSettings.h"
#include "core/markup/ItemAppearanceBuilder.h"
#include "core/markup/ItemGeometry.h"

namespace quillet {

namespace {

QIcon swatchIcon(const RGBA& color)
{
    QPixmap image(12, 12);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(0, 0, 0, 90), 1));
    painter.setBrush(toQColor(color));
    painter.drawEllipse(QRectF(0.5, 0.5, 11, 11));
    painter.end();
    return QIcon(image);
}

// The text box shows only the text: an arrow being labelled and a note
// being written stay drawn beneath it, without their text.
std::optional<std::pair<AnnotationItem, int>> drawnBeneathTheBox(const InlineTextSession& session)
{
    AnnotationItem shown = session.item;
    const InlineTextTarget& at = session.target;
    if (at.kind == InlineTextTarget::Kind::arrowLabel) {
        shown.shape = ArrowShape{at.first, at.second, std::nullopt};
    } else if (at.kind == InlineTextTarget::Kind::note) {
        TextSpec blank = session.spec;
        blank.text.clear();
        shown.shape = NoteShape{at.first, at.second, blank};
    } else {
        return std::nullopt;
    }
    return std::pair{std::move(shown), session.page};
}

}  // namespace

EditorController::EditorController(PageView& view, AnnotationStore& store, QUndoStack& undoStack,
                                   ToolSettings& settings, QObject* parent)
    : QObject(parent), view_(view), store_(store), undoStack_(undoStack), settings_(settings),
      clock_([] { return std::chrono::system_clock::now(); })
{
    tools_[Tool::select] = std::make_unique<SelectTool>(*this);
    tools_[Tool::pen] = std::make_unique<InkTool>(*this, false);
    tools_[Tool::highlighter] = std::make_unique<InkTool>(*this, true);
    tools_[Tool::text] = std::make_unique<TextTool>(*this, false);
    tools_[Tool::note] = std::make_unique<TextTool>(*this, true);
    tools_[Tool::arrow] = std::make_unique<ArrowTool>(*this);
    tools_[Tool::signature] = std::make_unique<SignatureTool>(*this);
    tools_[Tool::eraser] = std::make_unique<EraserTool>(*this);
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

EditorController::~EditorController()
{
    setHighFrequencyInput(false);
    delete textEditor_.data();
    store_.removeObserver(storeObserver_);
    view_.setInputHandler(nullptr);
}

EditorTool& EditorController::currentTool() const
{
    return *tools_.at(tool_);
}

// --- Tools and selection

void EditorController::setTool(Tool tool)
{
    finishOpenTextSession();
    currentTool().deactivate();
    if (tool != Tool::select) {
        select(std::nullopt);
    }
    if (tool == Tool::signature && !signature_) {
        if (requestSignature) {
            requestSignature();
        }
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

void EditorController::select(std::optional<UUID> id)
{
    const bool changed = id != selectedID_;
    selectedID_ = id;
    refreshSelection();
    if (changed && onSelectionChange) {
        onSelectionChange();
    }
}

std::optional<AnnotationItem> EditorController::selectedItem() const
{
    if (!selectedID_) {
        return std::nullopt;
    }
    std::optional<AnnotationStore::LocatedItem> located = store_.locate(*selectedID_);
    return located ? std::optional(std::move(located->item)) : std::nullopt;
}

void EditorController::refreshSelection()
{
    overlay_.selectionBounds.reset();
    overlay_.selectionOutline.reset();
    overlay_.handles.clear();
    std::optional<AnnotationStore::LocatedItem> located =
        selectedID_ ? store_.locate(*selectedID_) : std::nullopt;
    if (located) {
        // While an item is dragged the overlay shows where it goes.
        if (overlay_.preview && overlay_.preview->first.id == located->item.id) {
            located->item = overlay_.preview->first;
        }
        const AnnotationItem& item = located->item;
        const QTransform toView = view_.pageToViewport(located->page);
        const QRectF box = toView.mapRect(toQRectF(ItemGeometry::bounds(item, isExpanded(item))));
        overlay_.selectionBounds = box;
        const QRectF grown = box.adjusted(-3, -3, 3, 3);
        overlay_.selectionOutline = QRectF(QPointF(std::floor(grown.left()), std::floor(grown.top())),
                                           QPointF(std::ceil(grown.right()), std::ceil(grown.bottom())))
                                        .adjusted(0.5, 0.5, -0.5, -0.5);
        using Kind = SelectionHandle::Kind;
        if (item.shape.ink()) {
            overlay_.handles = {{Kind::corner, 0, box.topLeft()},
                                {Kind::corner, 1, box.topRight()},
                                {Kind::corner, 2, box.bottomRight()},
                                {Kind::corner, 3, box.bottomLeft()}};
        } else if (item.isText()) {
            overlay_.handles = {{Kind::left, 0, QPointF(box.left(), box.center().y())},
                                {Kind::right, 0, QPointF(box.right(), box.center().y())}};
        } else if (const ArrowShape* arrow = item.shape.arrow()) {
            overlay_.handles = {{Kind::tail, 0, toView.map(QPointF(arrow->from.x, arrow->from.y))},
                                {Kind::head, 0, toView.map(QPointF(arrow->to.x, arrow->to.y))}};
        }
    }
    if (isEditingText()) {
        textEditor_->relayout();
    }
    emit overlayChanged();
}

void EditorController::syncOverlayView()
{
    if (!overlayView_) {
        return;
    }
    OverlayView& shown = *overlayView_;
    if (overlay_.strokePage >= 0 && !overlay_.stroke.empty()) {
        shown.showLiveStroke(overlay_.stroke, view_.pageToViewport(overlay_.strokePage), overlay_.strokeColor,
                             overlay_.strokeWidth, overlay_.strokeIsHighlighter);
    } else if (shown.hasLiveStroke()) {
        shown.clearLiveStroke();
    }
    if (overlay_.preview) {
        const auto& [item, page] = *overlay_.preview;
        shown.showPreview({ItemAppearanceBuilder::build(item, isExpanded(item))}, view_.pageToViewport(page));
    } else if (shown.hasPreview()) {
        shown.clearPreview();
    }
    if (overlay_.peek) {
        const auto& [item, page] = *overlay_.peek;
        shown.showPeek(item.id, ItemAppearanceBuilder::build(item, true), view_.pageToViewport(page));
    } else {
        shown.hidePeek();
    }
    std::vector<OverlayView::PlacedHandle> handles;
    for (const SelectionHandle& handle : overlay_.handles) {
        handles.push_back({{static_cast<OverlayView::Handle::Kind>(handle.kind), handle.corner}, handle.position});
    }
    shown.setSelection(overlay_.selectionBounds, std::move(handles));
    shown.setEraserCircle(overlay_.eraserCentre);
}

// --- Pointer and keys

PointerInput EditorController::pointerInput(const QMouseEvent& event, int clickCount) const
{
    return PointerInput{event.position(), event.button(), event.buttons(), event.modifiers(), clickCount,
                        locate(event.position())};
}

bool EditorController::mousePress(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        return false;
    }
    if (isEditingText()) {
        finishOpenTextSession();
        if (tool_ == Tool::text || tool_ == Tool::note || tool_ == Tool::arrow) {
            return true;  // the click only ends the typing
        }
    }
    const int clicks = event->type() == QEvent::MouseButtonDblClick ? 2 : 1;
    return currentTool().press(pointerInput(*event, clicks));
}

bool EditorController::mouseMove(QMouseEvent* event)
{
    const PointerInput input = pointerInput(*event, 0);
    if (currentTool().isGestureRunning()) {
        return currentTool().drag(input);
    }
    if (event->buttons() == Qt::NoButton) {
        return currentTool().hover(input);
    }
    return false;
}

bool EditorController::mouseRelease(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        return false;
    }
    return currentTool().release(pointerInput(*event, 0));
}

void EditorController::pointerLeft()
{
    setHoveredNote(std::nullopt);
    if (tool_ == Tool::eraser && !currentTool().isGestureRunning()) {
        setEraserCentre(std::nullopt);
    }
    if (tool_ == Tool::signature) {
        setPreview(std::nullopt);  // the signature's placement preview
    }
}

bool EditorController::keyPress(QKeyEvent* event)
{
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
        setTool(*tool);
        return true;
    }
    return false;
}

// Arrow keys move the selected item by one page point (ten with Shift) the
// way the arrow points on screen, whatever the page's rotation.
bool EditorController::nudge(int key, Qt::KeyboardModifiers modifiers)
{
    const std::optional<AnnotationItem> item = selectedItem();
    const std::optional<int> page = item ? store_.pageOf(item->id) : std::nullopt;
    if (!page) {
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

bool EditorController::contextMenu(QContextMenuEvent* event)
{
    const std::optional<EditorLocation> location = locate(event->pos());
    const std::optional<std::pair<AnnotationItem, HitPart>> hit = location ? itemAt(*location) : std::nullopt;
    if (!hit) {
        return false;
    }
    finishOpenTextSession();
    select(hit->first.id);
    showContextMenu(hit->first, event->globalPos());
    return true;
}

void EditorController::showContextMenu(const AnnotationItem& item, QPoint globalPos)
{
    if (contextMenu_) {
        contextMenu_->close();
    }
    auto* menu = new QMenu(&view_);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    const UUID id = item.id;
    if (item.textSpec()) {
        menu->addAction(EditorStrings::editTextItem.text(), this, [this, id] { startTextEditing(id); });
        menu->addSeparator();
    }
    for (const ToolSettings::Swatch& swatch : ToolSettings::palette) {
        const RGBA color = swatch.color;
        menu->addAction(swatchIcon(color), swatch.name.text(), this, [this, id, color] {
            select(id);
            applyColor(color);
        });
    }
    menu->addSeparator();
    menu->addAction(EditorStrings::copyItem.text(), this, [this, id] {
        select(id);
        copy();
    });
    menu->addAction(EditorStrings::duplicateItem.text(), this, [this, id] {
        select(id);
        duplicate();
    });
    menu->addAction(EditorStrings::deleteItem.text(), this, [this, id] {
        select(id);
        deleteSelection();
    });
    contextMenu_ = menu;
    menu->popup(globalPos);
}

void EditorController::applyColor(const RGBA& color)
{
    std::optional<AnnotationItem> item = selectedItem();
    if (!item || item->color == color) {
        return;
    }
    item->color = color;
    item->modified = timestamp();
    commit(EditorStrings::styleChange, StoreChange::replace({*item}));
}

void EditorController::applyStyle(const ToolStyle& style, const UUID& id)
{
    const std::optional<AnnotationStore::LocatedItem> located = store_.locate(id);
    if (!located) {
        return;
    }
    AnnotationItem item = located->item;
    item.color = style.color;
    item.lineWidth = style.lineWidth;
    auto restyle = [&](TextSpec& spec) {
        spec.fontSize = style.fontSize;
        spec.boxed = style.boxed;
    };
    if (TextShape* text = item.shape.text()) {
        restyle(text->spec);
    } else if (NoteShape* note = item.shape.note()) {
        restyle(note->spec);
    } else if (ArrowShape* arrow = item.shape.arrow(); arrow && arrow->label) {
        restyle(*arrow->label);
    }
    if (item == located->item) {
        return;
    }
    item.modified = timestamp();
    if (styleSession_ != id) {
        styleSession_ = id;
        ++styleSessionSerial_;
    }
    StoreCommand::push(undoStack_, store_, EditorStrings::styleChange.text(), StoreChange::replace({item}),
                       styleSessionSerial_);
}

void EditorController::restyleTypedText(const ToolStyle& style)
{
    if (!isEditingText()) {
        return;
    }
    const InlineTextSession session = *textEditor_->session();
    AnnotationItem item = session.item;
    if (session.isNew) {
        item.color = style.color;
        item.lineWidth = style.lineWidth;
    } else {
        // The stored item takes the style as a step of the popover's visit;
        // the typed text is then committed against the restyled item.
        applyStyle(style, item.id);
        if (const std::optional<AnnotationStore::LocatedItem> located = store_.locate(item.id)) {
            item = located->item;
        }
    }
    textEditor_->setTextStyle(style.fontSize, session.spec.fixedWidth, style.boxed);
    textEditor_->setItem(item);
}

void EditorController::endStyleSession()
{
    styleSession_.reset();
    ++styleSessionSerial_;
}

// --- Clipboard

bool EditorController::copy()
{
    if (const std::optional<AnnotationItem> item = selectedItem()) {
        return ItemClipboard::copy(*item);
    }
    return view_.copySelectedText();
}

bool EditorController::cut()
{
    const std::optional<AnnotationItem> item = selectedItem();
    return item && ItemClipboard::copy(*item) && deleteSelection();
}

bool EditorController::paste()
{
    const std::optional<AnnotationItem> item = ItemClipboard::paste();
    if (!item || view_.pageCount() == 0) {
        return false;
    }
    insertCopy(*item, std::clamp(view_.currentPage(), 0, view_.pageCount() - 1), EditorStrings::paste);
    return true;
}

bool EditorController::duplicate()
{
    const std::optional<AnnotationItem> item = selectedItem();
    const std::optional<int> page = item ? store_.pageOf(item->id) : std::nullopt;
    if (!page) {
        return false;
    }
    insertCopy(*item, *page, EditorStrings::duplicate);
    return true;
}

bool EditorController::deleteSelection()
{
    const std::optional<AnnotationItem> item = selectedItem();
    if (!item) {
        return false;
    }
    commit(EditorStrings::remove, StoreChange::remove({item->id}));
    select(std::nullopt);
    return true;
}

void EditorController::selectAll()
{
    select(std::nullopt);
    view_.selectAllText();
}

bool EditorController::canCopy() const
{
    return selectedID_.has_value() || view_.hasTextSelection();
}

bool EditorController::canPaste() const
{
    return ItemClipboard::holdsItem();
}

void EditorController::insertCopy(AnnotationItem item, int page, const LocalizedString& name)
{
    // A copy beside its original stands off it; one from another document
    // (or a cut one) has nothing to cover and keeps its place.
    const bool originalHere = store_.locate(item.id).has_value();
    item.id = UUID::random();
    item.modified = timestamp();
    // 14 viewport points to the right and down, whatever the page's rotation.
    const QTransform toPageSpace = view_.pageToViewport(page).inverted();
    const QPointF offset = toPageSpace.map(QPointF(pasteOffset, pasteOffset)) - toPageSpace.map(QPointF(0, 0));
    AnnotationItem placed = originalHere ? ItemGeometry::translated(item, offset.x(), offset.y()) : item;
    // The reader sees what was pasted: where that place is off screen (or
    // off the page), the copy goes to the middle of the page's visible part.
    const QRectF visible = view_.visiblePageRect(page);
    const Rect target = visible.isEmpty() ? pageBounds(page)
                                          : Rect{visible.left(), visible.top(), visible.width(), visible.height()};
    if (!target.contains(ItemGeometry::bounds(placed, isExpanded(placed)))) {
        const Rect source = ItemGeometry::bounds(item, isExpanded(item));
        placed = ItemGeometry::translated(item, target.midX() - source.midX(), target.midY() - source.midY());
    }
    const int index = static_cast<int>(store_.itemsOnPage(page).size());
    commit(name, StoreChange::insert(placed, page, index));
    select(placed.id);
}

// --- Text sessions

void EditorController::startTextEditing(const UUID& id)
{
    const std::optional<AnnotationStore::LocatedItem> located = store_.locate(id);
    if (!located || located->item.shape.ink()) {
        return;
    }
    const AnnotationItem& item = located->item;
    const ToolStyle arrowStyle = settings_.styleFor(Tool::arrow);
    const TextSpec spec =
        item.textSpec().value_or(TextSpec{"", arrowStyle.fontSize, std::nullopt, arrowStyle.boxed});
    beginText({item, located->page, false, InlineTextTarget::of(item), spec});
}

InlineTextEditor& EditorController::textEditor()
{
    if (!textEditor_) {
        textEditor_ = new InlineTextEditor(view_.viewport(), [this](int page) { return view_.pageToViewport(page); });
        textEditor_->onFinish = [this](const InlineTextSession& session) { finishTextSession(session); };
        textEditor_->draftSink = [this](const std::optional<AnnotationItem>& item, int page) {
            store_.setDraft(item, page);
        };
        // A new note's bubble is placed again as its text grows: one left of
        // its icon keeps its right edge there instead of growing over the icon.
        textEditor_->onTextChange = [this](const InlineTextSession& session) {
            if (!session.isNew || session.target.kind != InlineTextTarget::Kind::note) {
                return;
            }
            const Point bubble = roundTo2(ItemGeometry::defaultBubblePoint(
                session.spec, session.target.first, session.item.rotation, pageBounds(session.page)));
            if (bubble != session.target.second) {
                textEditor_->setTarget({InlineTextTarget::Kind::note, session.target.first, bubble});
                setPreview(drawnBeneathTheBox(*textEditor_->session()));
            }
        };
    }
    return *textEditor_;
}

void EditorController::beginText(InlineTextSession session)
{
    finishOpenTextSession();
    // The box shows the item while it is typed into; its stored self is hidden.
    if (!session.isNew && !store_.isHidden(session.item.id)) {
        store_.setHidden(session.item.id, true);
    }
    setPreview(drawnBeneathTheBox(session));
    textEditor().begin(std::move(session));
    if (onTextEditingChange) {
        onTextEditingChange();
    }
}

void EditorController::finishOpenTextSession()
{
    if (isEditingText()) {
        textEditor_->finish();  // calls finishTextSession
    }
}

void EditorController::showStoredItem(const UUID& id)
{
    if (store_.isHidden(id)) {
        store_.setHidden(id, false);
    }
}

void EditorController::finishTextSession(const InlineTextSession& session)
{
    showStoredItem(session.item.id);
    store_.setDraft(std::nullopt, session.page);
    setPreview(std::nullopt);
    if (onTextEditingChange) {
        onTextEditingChange();
    }
    const InlineTextOutcome outcome = InlineTextOutcome::of(session, timestamp());
    if (!outcome.item) {
        return;
    }
    switch (outcome.action) {
    case InlineTextOutcome::Action::none:
        return;
    case InlineTextOutcome::Action::insert:
        commit(outcome.undoName,
               StoreChange::insert(*outcome.item, session.page, static_cast<int>(store_.itemsOnPage(session.page).size())));
        return;
    case InlineTextOutcome::Action::remove:
        if (store_.locate(outcome.item->id)) {
            commit(outcome.undoName, StoreChange::remove({outcome.item->id}));
        }
        return;
    case InlineTextOutcome::Action::replace:
        if (store_.locate(outcome.item->id)) {
            commit(outcome.undoName, StoreChange::replace({*outcome.item}));
        }
        return;
    }
}

// --- Lifecycle

void EditorController::commitPendingEdits()
{
    endStyleSession();
    finishOpenTextSession();
    if (tool_ == Tool::eraser) {
        static_cast<EraserTool&>(currentTool()).complete();
    }
}

void EditorController::cancelInteraction()
{
    if (isEditingText()) {
        const UUID id = textEditor_->session()->item.id;
        textEditor_->cancel();
        showStoredItem(id);
        if (onTextEditingChange) {
            onTextEditingChange();
        }
    }
    currentTool().cancel();
    setHoveredNote(std::nullopt);
    setPreview(std::nullopt);
    setEraserCentre(std::nullopt);
}

// --- Services for the tools

std::chrono::sys_seconds EditorController::timestamp() const
{
    return std::chrono::floor<std::chrono::seconds>(clock_());
}

double EditorController::toPageLength(double viewPoints) const
{
    return viewPoints / std::max(view_.scale(), 0.01);
}

std::optional<EditorLocation> EditorController::locate(QPointF viewPoint) const
{
    const std::optional<int> page = view_.pageAt(viewPoint);
    if (!page) {
        return std::nullopt;
    }
    const Point point = toPage(*page, viewPoint);
    const Rect bounds = pageBounds(*page).insetBy(-1, -1);
    if (point.x < bounds.minX() || point.x > bounds.maxX() || point.y < bounds.minY() || point.y > bounds.maxY()) {
        return std::nullopt;
    }
    return EditorLocation{*page, point, viewPoint};
}

int EditorController::pageRotation(int page) const
{
    const std::optional<PDFPageGeometry> geometry = view_.pageGeometry(page);
    return geometry ? geometry->rotation : 0;
}

Rect EditorController::pageBounds(int page) const
{
    const std::optional<PDFPageGeometry> geometry = view_.pageGeometry(page);
    if (!geometry) {
        return {};
    }
    const QRectF b = geometry->bounds.normalized();
    return Rect{b.left(), b.top(), b.width(), b.height()};
}

Point EditorController::toPage(int page, QPointF viewPoint) const
{
    const QPointF p = view_.toPage(page, viewPoint);
    return {p.x(), p.y()};
}

QPointF EditorController::toView(int page, Point pagePoint) const
{
    return view_.toViewport(page, QPointF(pagePoint.x, pagePoint.y));
}

std::optional<std::pair<AnnotationItem, HitPart>> EditorController::itemAt(const EditorLocation& location)
{
    store_.loadPage(location.page);
    const double tolerance = toPageLength(hitTolerance);
    const std::vector<AnnotationItem>& items = store_.itemsOnPage(location.page);
    for (auto it = items.rbegin(); it != items.rend(); ++it) {
        if (const std::optional<HitPart> part = ItemGeometry::hitTest(*it, location.point, tolerance, isExpanded(*it))) {
            return std::pair{*it, *part};
        }
    }
    return std::nullopt;
}

bool EditorController::isExpanded(const AnnotationItem& item) const
{
    return item.isNote() && (showsCommentText_ || (overlay_.peek && overlay_.peek->first.id == item.id));
}

void EditorController::setHoveredNote(std::optional<std::pair<AnnotationItem, int>> note)
{
    if (!note && !overlay_.peek) {
        return;
    }
    if (note && overlay_.peek && overlay_.peek->first == note->first) {
        return;
    }
    overlay_.peek = std::move(note);
    emit overlayChanged();
}

void EditorController::commit(const LocalizedString& name, StoreChange change)
{
    StoreCommand::push(undoStack_, store_, name.text(), std::move(change));
}

void EditorController::record(const LocalizedString& name, const AppliedChanges& applied)
{
    StoreCommand::record(undoStack_, store_, name.text(), applied);
}

void EditorController::setCursorShape(const QCursor& cursor)
{
    view_.viewport()->setCursor(cursor);
}

void EditorController::setStroke(int page, std::vector<Point> points, bool highlighter, const ToolStyle& style)
{
    overlay_.strokePage = page;
    overlay_.stroke = std::move(points);
    overlay_.strokeIsHighlighter = highlighter;
    overlay_.strokeColor = style.color;
    overlay_.strokeWidth = style.lineWidth;
    emit overlayChanged();
}

void EditorController::setPreview(std::optional<std::pair<AnnotationItem, int>> preview)
{
    if (!preview && !overlay_.preview) {
        return;
    }
    overlay_.preview = std::move(preview);
    emit overlayChanged();
}

void EditorController::setEraserCentre(std::optional<QPointF> centre)
{
    if (centre == overlay_.eraserCentre) {
        return;
    }
    overlay_.eraserCentre = centre;
    emit overlayChanged();
}

void EditorController::setHighFrequencyInput(bool on)
{
    if (on && !savedCompression_) {
        savedCompression_ = QCoreApplication::testAttribute(Qt::AA_CompressHighFrequencyEvents);
        QCoreApplication::setAttribute(Qt::AA_CompressHighFrequencyEvents, false);
    } else if (!on && savedCompression_) {
        QCoreApplication::setAttribute(Qt::AA_CompressHighFrequencyEvents, *savedCompression_);
        savedCompression_.reset();
    }
}

}  // namespace quillet
