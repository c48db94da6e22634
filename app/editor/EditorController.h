// Turns the pointer and key input of one document's page view into markup
// edits: it owns the current tool, the selection and the gesture in
// progress, and the clipboard, undo and context-menu behaviour. Every change
// goes through the annotation store as one named undo step on the given
// undo stack. The page view hands its input here first and acts as a plain
// viewer (text selection, scrolling) on what the controller leaves.
#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include <QObject>
#include <QMenu>
#include <QPointer>

#include "app/document/AnnotationStore.h"
#include "app/editor/EditorTool.h"
#include "app/editor/InlineTextEditor.h"
#include "app/view/OverlayView.h"
#include "app/view/PageInputHandler.h"
#include "core/markup/AnnotationItem.h"
#include "core/markup/HitTesting.h"
#include "core/markup/Tool.h"
#include "core/markup/ToolStyle.h"

class QUndoStack;

namespace quillet {

class AppliedChanges;
class PageView;
class ToolSettings;
struct LocalizedString;

// A handle of the selected item, at its position in the viewport.
struct SelectionHandle {
    enum class Kind { corner, left, right, tail, head };
    Kind kind = Kind::corner;
    int corner = 0;  // 0 top-left, 1 top-right, 2 bottom-right, 3 bottom-left, as shown
    QPointF position;

    bool operator==(const SelectionHandle&) const = default;
};

// What the editor shows above the pages while it works.
struct EditorOverlay {
    // The stroke being drawn, page space.
    int strokePage = -1;
    std::vector<Point> stroke;
    bool strokeIsHighlighter = false;
    RGBA strokeColor;
    double strokeWidth = 0;  // page points
    // The item being created (an arrow while it is dragged), page space.
    std::optional<std::pair<AnnotationItem, int>> preview;
    // The eraser's circle, viewport.
    std::optional<QPointF> eraserCentre;
    // A note whose hidden text is peeked while the pointer rests on it, page space.
    std::optional<std::pair<AnnotationItem, int>> peek;
    // The selected item's bounds and outline, and its handles, viewport.
    std::optional<QRectF> selectionBounds;
    std::optional<QRectF> selectionOutline;
    std::vector<SelectionHandle> handles;
};

// The ink of a saved signature: points in units of the signature's height.
struct SignatureInk {
    std::vector<Stroke> strokes;
    double aspect = 1;  // width / height
};

class EditorController : public QObject, public PageInputHandler {
    Q_OBJECT

public:
    using Clock = std::function<std::chrono::system_clock::time_point()>;

    // Pen strokes this close in time on one page join the previous ink item.
    static constexpr std::chrono::milliseconds inkMergeWindow{1500};
    // Lengths in viewport points.
    static constexpr double hitTolerance = 5;
    static constexpr double handleGrabDistance = 7;
    static constexpr double moveThreshold = 3;
    static constexpr double eraserRadius = 8;
    static constexpr double minArrowLength = 10;
    static constexpr double pasteOffset = 14;
    static constexpr double strokeMinDistance = 0.35;
    static constexpr double strokeTolerance = 0.25;
    static constexpr double inkMergeMargin = 60;  // page points

    EditorController(PageView& view, AnnotationStore& store, QUndoStack& undoStack, ToolSettings& settings,
                     QObject* parent = nullptr);
    ~EditorController() override;

    // --- Tools and selection
    Tool tool() const { return tool_; }
    void setTool(Tool tool);
    std::optional<UUID> selectedID() const { return selectedID_; }
    void select(std::optional<UUID> id);
    void setCurrentSignature(std::optional<SignatureInk> signature) { signature_ = std::move(signature); }
    const std::optional<SignatureInk>& currentSignature() const { return signature_; }

    // --- Edit actions (the window's Edit menu and keys)
    // The selected item, else the view's selected text; false when nothing was copied.
    bool copy();
    bool cut();
    bool paste();
    bool duplicate();
    bool deleteSelection();
    void selectAll();
    bool canCopy() const;
    bool canCut() const { return selectedID_.has_value(); }
    bool canDelete() const { return selectedID_.has_value(); }
    bool canDuplicate() const { return selectedID_.has_value(); }
    bool canPaste() const;

    // --- Styles
    // The context menu's colour: one undo step "Style Change".
    void applyColor(const RGBA& color);
    // A change made in the style popover to the item `id`: one undo step for
    // all changes until endStyleSession().
    void applyStyle(const ToolStyle& style, const UUID& id);
    void endStyleSession();
    // A change made in the style popover while text is typed: the box shows
    // it at once, and the typed item keeps it.
    void restyleTypedText(const ToolStyle& style);

    // --- Text typed on the page
    // The inline text editor over the page view, created on first use.
    InlineTextEditor& textEditor();
    bool isEditingText() const { return textEditor_ != nullptr && textEditor_->isEditing(); }
    // Opens the text of a text box, a note or an arrow for typing.
    void startTextEditing(const UUID& id);

    // --- Lifecycle (the document: before save, close, revert)
    void commitPendingEdits();
    void cancelInteraction();

    // --- What the window observes
    std::function<void(Tool)> onToolChange;
    std::function<void()> onSelectionChange;
    // Typing on the page began or ended.
    std::function<void()> onTextEditingChange;
    std::function<void()> requestSignature;
    const EditorOverlay& overlay() const { return overlay_; }
    // The context menu on screen, if any (tests pick its entries).
    QMenu* contextMenuShown() const { return contextMenu_; }

    // --- Injected for tests
    void setClock(Clock clock) { clock_ = std::move(clock); }
    // Whether notes show their text bubble (the global comment setting).
    void setShowsCommentText(bool on) { showsCommentText_ = on; }
    bool showsCommentText() const { return showsCommentText_; }

    // --- PageInputHandler
    bool mousePress(QMouseEvent* event) override;
    bool mouseMove(QMouseEvent* event) override;
    bool mouseRelease(QMouseEvent* event) override;
    bool keyPress(QKeyEvent* event) override;
    bool contextMenu(QContextMenuEvent* event) override;
    void pointerLeft() override;

    // --- Services for the tools
    PageView& view() const { return view_; }
    AnnotationStore& store() const { return store_; }
    ToolSettings& settings() const { return settings_; }
    std::chrono::system_clock::time_point now() const { return clock_(); }
    std::chrono::sys_seconds timestamp() const;
    // A length in viewport points as page points at the current zoom.
    double toPageLength(double viewPoints) const;
    std::optional<EditorLocation> locate(QPointF viewPoint) const;
    int pageRotation(int page) const;
    Rect pageBounds(int page) const;
    Point toPage(int page, QPointF viewPoint) const;
    QPointF toView(int page, Point pagePoint) const;
    // The topmost item at a place, with the part that was hit.
    std::optional<std::pair<AnnotationItem, HitPart>> itemAt(const EditorLocation& location);
    bool isExpanded(const AnnotationItem& item) const;
    // Applies a change as one undo step named `name`.
    void commit(const LocalizedString& name, StoreChange change);
    // Registers a change the store already holds.
    void record(const LocalizedString& name, const AppliedChanges& applied);
    // Inserts a copy (new id, now) of `item` on `page`, offset or centred
    // into the visible part, and selects it.
    void insertCopy(AnnotationItem item, int page, const LocalizedString& name);
    void beginText(InlineTextSession session);
    // The end of a typing session: stores the typed text as one step.
    void finishTextSession(const InlineTextSession& session);
    void setCursorShape(const QCursor& cursor);
    void setStroke(int page, std::vector<Point> points, bool highlighter, const ToolStyle& style);
    void setPreview(std::optional<std::pair<AnnotationItem, int>> preview);
    void setEraserCentre(std::optional<QPointF> centre);
    // Shows the text of a note whose text is hidden while the pointer rests on it.
    void setHoveredNote(std::optional<std::pair<AnnotationItem, int>> note);
    void refreshSelection();
    // Pointer samples must not be merged while a stroke is drawn.
    void setHighFrequencyInput(bool on);

    struct LastInk {
        UUID id;
        int page = 0;
        std::chrono::system_clock::time_point time;
    };
    std::optional<LastInk> lastInk;

signals:
    void overlayChanged();

private:
    EditorTool& currentTool() const;
    PointerInput pointerInput(const QMouseEvent& event, int clickCount) const;
    bool nudge(int key, Qt::KeyboardModifiers modifiers);
    void showContextMenu(const AnnotationItem& item, QPoint globalPos);
    std::optional<AnnotationItem> selectedItem() const;

    PageView& view_;
    AnnotationStore& store_;
    QUndoStack& undoStack_;
    ToolSettings& settings_;
    Clock clock_;
    std::map<Tool, std::unique_ptr<EditorTool>> tools_;
    Tool tool_ = Tool::select;
    std::optional<UUID> selectedID_;
    std::optional<SignatureInk> signature_;
    void finishOpenTextSession();
    void showStoredItem(const UUID& id);
    QPointer<InlineTextEditor> textEditor_;
    // The page view's overlay, which draws overlay_ above the pages.
    QPointer<OverlayView> overlayView_;
    void syncOverlayView();
    std::optional<UUID> styleSession_;
    int styleSessionSerial_ = 0;
    EditorOverlay overlay_;
    QPointer<QMenu> contextMenu_;
    bool showsCommentText_ = true;
    std::optional<bool> savedCompression_;
    int storeObserver_ = 0;
};

}  // namespace quillet
