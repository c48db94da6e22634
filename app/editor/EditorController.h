// Turns the pointer and key input of one document's page view into markup
// edits: it owns the current tool, the selection and the gesture in
// progress, and the clipboard, undo and context-menu behaviour. The tools
// see it only as their ToolContext; typing (TextEditing), the style
// popover's steps (StyleSession), the context menu and the overlay
// (EditorOverlay) are parts of their own. Every change
// goes through the annotation store as one named undo step on the given
// undo stack. The page view hands its input here first and acts as a plain
// viewer (text selection, scrolling) on what the controller leaves.
#pragma once

#include <QMenu>
#include <QObject>
#include <QPointer>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "app/document/AnnotationStore.h"
#include "app/editor/EditorOverlay.h"
#include "app/editor/EditorTool.h"
#include "app/editor/InlineTextEditor.h"
#include "app/editor/SignatureInk.h"
#include "app/editor/StyleSession.h"
#include "app/editor/TextEditing.h"
#include "app/editor/ToolContext.h"
#include "app/view/OverlayView.h"
#include "app/view/PageInputHandler.h"
#include "core/markup/AnnotationItem.h"
#include "core/markup/Tool.h"
#include "core/markup/ToolStyle.h"

class QUndoStack;

namespace quillet {

class AppliedChanges;
class PageView;
class ToolSettings;
struct LocalizedString;

class EditorController : public QObject, public PageInputHandler, public ToolContext {
    Q_OBJECT

  public:
    using Clock = std::function<std::chrono::system_clock::time_point()>;

    EditorController(PageView& view, AnnotationStore& store, QUndoStack& undoStack, ToolSettings& settings,
                     QObject* parent = nullptr);
    ~EditorController() override;

    // --- Tools and selection
    Tool tool() const { return tool_; }
    void setTool(Tool tool) override;
    std::optional<UUID> selectedID() const override { return selectedID_; }
    void select(std::optional<UUID> id) override;
    void setCurrentSignature(std::optional<SignatureInk> signature) { signature_ = std::move(signature); }
    const std::optional<SignatureInk>& currentSignature() const override { return signature_; }

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
    // The context menu's other kind for markup over text: one undo step.
    void changeMarkupKind(const UUID& id, TextMarkupKind kind);
    // A change made in the style popover to the item `id`: one undo step for
    // all changes until endStyleSession().
    void applyStyle(const ToolStyle& style, const UUID& id);
    void endStyleSession();
    // A change made in the style popover while text is typed: the box shows
    // it at once, and the typed item keeps it.
    void restyleTypedText(const ToolStyle& style);

    // --- Text typed on the page
    // The inline text editor over the page view, created on first use.
    InlineTextEditor& textEditor() { return text_.editor(); }
    bool isEditingText() const { return text_.isEditing(); }
    void startTextEditing(const UUID& id) override;

    // --- Lifecycle (the document: before save, close, revert)
    void commitPendingEdits();
    void cancelInteraction();

    // --- What the window observes
    std::function<void(Tool)> onToolChange;
    std::function<void()> onSelectionChange;
    // Typing on the page began or ended.
    std::function<void()> onTextEditingChange;
    std::function<void()> requestSignature;
    const EditorOverlay& overlay() const override { return overlay_; }
    // The context menu on screen, if any (tests pick its entries).
    QMenu* contextMenuShown() const { return contextMenu_; }

    // --- Injected for tests
    void setClock(Clock clock) { clock_ = std::move(clock); }
    // Whether notes show their text bubble (the global comment setting).
    void setShowsCommentText(bool on) { showsCommentText_ = on; }
    bool showsCommentText() const override { return showsCommentText_; }

    // --- PageInputHandler
    bool mousePress(QMouseEvent* event) override;
    bool mouseMove(QMouseEvent* event) override;
    bool mouseRelease(QMouseEvent* event) override;
    bool keyPress(QKeyEvent* event) override;
    bool contextMenu(QContextMenuEvent* event) override;
    void pointerLeft() override;

    // --- ToolContext
    std::optional<EditorLocation> locate(QPointF viewPoint) const override;
    Point toPage(int page, QPointF viewPoint) const override;
    QPointF toView(int page, Point pagePoint) const override;
    QTransform pageToViewport(int page) const override;
    double toPageLength(double viewPoints) const override;
    int pageRotation(int page) const override;
    Rect pageBounds(int page) const override;
    const std::vector<AnnotationItem>& itemsOnPage(int page) override { return store_.itemsOnPage(page); }
    std::optional<AnnotationStore::LocatedItem> findItem(const UUID& id) const override {
        return store_.locate(id);
    }
    std::optional<std::pair<AnnotationItem, HitPart>> itemAt(const EditorLocation& location) override;
    bool isExpanded(const AnnotationItem& item) const override;
    void commit(const LocalizedString& name, StoreChange change) override;
    void applyNow(AppliedChanges& into, StoreChange change) override;
    void record(const LocalizedString& name, const AppliedChanges& applied) override;
    void setItemHidden(const UUID& id, bool hidden) override;
    std::chrono::system_clock::time_point now() const override { return clock_(); }
    std::chrono::sys_seconds timestamp() const override;
    void setCursorShape(const QCursor& cursor) override;
    void setStroke(int page, std::vector<Point> points, bool highlighter, const ToolStyle& style) override;
    void setPreview(std::optional<std::pair<AnnotationItem, int>> preview) override;
    void setEraserCentre(std::optional<QPointF> centre) override;
    void setHoveredNote(std::optional<std::pair<AnnotationItem, int>> note) override;
    void refreshSelection() override;
    void setHighFrequencyInput(bool on) override;
    ToolStyle styleFor(Tool tool) const override;
    void clearTextSelection() override;
    bool markSelectedText(TextMarkupKind kind) override;
    bool hasTextSelection() const;
    void beginText(InlineTextSession session) override { text_.begin(std::move(session)); }
    void askForSignature() override;

  signals:
    void overlayChanged();

  private:
    EditorTool& currentTool() const;
    PointerInput pointerInput(const QMouseEvent& event, int clickCount) const;
    bool nudge(int key, Qt::KeyboardModifiers modifiers);
    void showContextMenu(const AnnotationItem& item, QPoint globalPos);
    std::optional<AnnotationItem> selectedItem() const;
    // Inserts a copy (new id, now) of `item` on `page` and selects it.
    void insertCopy(AnnotationItem item, int page, const LocalizedString& name);
    void syncOverlayView();

    PageView& view_;
    AnnotationStore& store_;
    QUndoStack& undoStack_;
    ToolSettings& settings_;
    Clock clock_;
    std::map<Tool, std::unique_ptr<EditorTool>> tools_;
    Tool tool_ = Tool::select;
    std::optional<UUID> selectedID_;
    std::optional<SignatureInk> signature_;
    TextEditing text_;
    StyleSession styles_;
    // The page view's overlay, which draws overlay_ above the pages.
    QPointer<OverlayView> overlayView_;
    EditorOverlay overlay_;
    QPointer<QMenu> contextMenu_;
    bool showsCommentText_ = true;
    std::optional<bool> savedCompression_;
    int storeObserver_ = 0;
};

}  // namespace quillet
