// All a tool of the editor sees: where the pages are, the store's items,
// how to commit a change as an undo step, the overlay it draws on, the
// style set for it, and the few editor actions a gesture ends in (select,
// type text, switch tools). The editor implements it; a test can too.
#pragma once

#include <QCursor>
#include <QPointF>
#include <QTransform>
#include <chrono>
#include <optional>
#include <utility>
#include <vector>

#include "app/document/AnnotationStore.h"
#include "app/editor/EditorOverlay.h"
#include "app/editor/EditorTool.h"
#include "app/editor/InlineTextSession.h"
#include "app/editor/SignatureInk.h"
#include "core/markup/HitTesting.h"
#include "core/markup/Tool.h"
#include "core/markup/ToolStyle.h"

namespace quillet {

class AppliedChanges;
struct LocalizedString;

class ToolContext {
  public:
    // Pen strokes this close in time on one page join the previous ink item.
    static constexpr std::chrono::milliseconds inkMergeWindow{1500};
    // Lengths in viewport points.
    static constexpr double hitTolerance = 5;
    static constexpr double handleGrabDistance = 7;
    static constexpr double moveThreshold = 3;
    static constexpr double eraserRadius = 8;
    static constexpr double minArrowLength = 10;
    static constexpr double strokeMinDistance = 0.35;
    static constexpr double strokeTolerance = 0.25;
    static constexpr double inkMergeMargin = 60;  // page points

    // --- Where the pages are
    virtual std::optional<EditorLocation> locate(QPointF viewPoint) const = 0;
    virtual Point toPage(int page, QPointF viewPoint) const = 0;
    virtual QPointF toView(int page, Point pagePoint) const = 0;
    virtual QTransform pageToViewport(int page) const = 0;
    // A length in viewport points as page points at the current zoom.
    virtual double toPageLength(double viewPoints) const = 0;
    virtual int pageRotation(int page) const = 0;
    virtual Rect pageBounds(int page) const = 0;

    // --- The items and their changes
    // A page's items in drawing order (read from the file on first use).
    virtual const std::vector<AnnotationItem>& itemsOnPage(int page) = 0;
    virtual std::optional<AnnotationStore::LocatedItem> findItem(const UUID& id) const = 0;
    // The topmost item at a place, with the part that was hit.
    virtual std::optional<std::pair<AnnotationItem, HitPart>> itemAt(const EditorLocation& location) = 0;
    // Whether a note is drawn with its text bubble.
    virtual bool isExpanded(const AnnotationItem& item) const = 0;
    virtual bool showsCommentText() const = 0;
    // Applies a change as one undo step named `name`.
    virtual void commit(const LocalizedString& name, StoreChange change) = 0;
    // Adds a new item on top of its page's others, as one undo step.
    void insertOnTop(const LocalizedString& name, const AnnotationItem& item, int page) {
        commit(name, StoreChange::insert(item, page, static_cast<int>(itemsOnPage(page).size())));
    }
    // Applies a change at once that record() later registers as one step.
    virtual void applyNow(AppliedChanges& into, StoreChange change) = 0;
    virtual void record(const LocalizedString& name, const AppliedChanges& applied) = 0;
    // Hides an item's stored self while the overlay draws it elsewhere.
    virtual void setItemHidden(const UUID& id, bool hidden) = 0;
    virtual std::chrono::system_clock::time_point now() const = 0;
    // Now, to the second, as items store it.
    virtual std::chrono::sys_seconds timestamp() const = 0;

    // --- What the tool shows
    virtual const EditorOverlay& overlay() const = 0;
    virtual void setCursorShape(const QCursor& cursor) = 0;
    virtual void setStroke(int page, std::vector<Point> points, bool highlighter, const ToolStyle& style) = 0;
    virtual void setPreview(std::optional<std::pair<AnnotationItem, int>> preview) = 0;
    virtual void setEraserCentre(std::optional<QPointF> centre) = 0;
    // Shows the text of a note whose text is hidden while the pointer rests on it.
    virtual void setHoveredNote(std::optional<std::pair<AnnotationItem, int>> note) = 0;
    virtual void refreshSelection() = 0;
    // Pointer samples must not be merged while a stroke is drawn.
    virtual void setHighFrequencyInput(bool on) = 0;

    // --- The style set for a tool, and where a gesture leads
    virtual ToolStyle styleFor(Tool tool) const = 0;
    virtual std::optional<UUID> selectedID() const = 0;
    virtual void select(std::optional<UUID> id) = 0;
    virtual void clearTextSelection() = 0;
    // Marks the page view's selected text with `kind` in its tool's style,
    // as one undo step, and ends the selection; false when none is selected.
    virtual bool markSelectedText(TextMarkupKind kind) = 0;
    virtual void setTool(Tool tool) = 0;
    // Opens the inline text box on a session.
    virtual void beginText(InlineTextSession session) = 0;
    // Opens the text of a text box, a note or an arrow for typing.
    virtual void startTextEditing(const UUID& id) = 0;
    virtual const std::optional<SignatureInk>& currentSignature() const = 0;
    // Asks the user for a signature (the window shows its signature menu).
    virtual void askForSignature() = 0;

  protected:
    ~ToolContext() = default;
};

}  // namespace quillet
