// The side of the editor its tools see (ToolContext): page coordinates,
// the store, undo steps and the overlay.
#include <QCoreApplication>
#include <algorithm>

#include "app/document/StoreCommand.h"
#include "app/editor/EditorController.h"
#include "app/editor/EditorStrings.h"
#include "app/editor/SelectedTextMarkup.h"
#include "app/editor/ToolSettings.h"
#include "app/view/PageView.h"
#include "core/markup/ItemGeometry.h"

namespace quillet {

std::chrono::sys_seconds EditorController::timestamp() const {
    return std::chrono::floor<std::chrono::seconds>(clock_());
}

double EditorController::toPageLength(double viewPoints) const {
    return viewPoints / std::max(view_.scale(), 0.01);
}

std::optional<EditorLocation> EditorController::locate(QPointF viewPoint) const {
    const std::optional<int> page = view_.pageAt(viewPoint);
    if (!page) {
        return std::nullopt;
    }
    const Point point = toPage(*page, viewPoint);
    const Rect bounds = pageBounds(*page).insetBy(-1, -1);
    if (point.x < bounds.minX() || point.x > bounds.maxX() || point.y < bounds.minY() ||
        point.y > bounds.maxY()) {
        return std::nullopt;
    }
    return EditorLocation{*page, point, viewPoint};
}

int EditorController::pageRotation(int page) const {
    const std::optional<PDFPageGeometry> geometry = view_.pageGeometry(page);
    return geometry ? geometry->rotation : 0;
}

Rect EditorController::pageBounds(int page) const {
    const std::optional<PDFPageGeometry> geometry = view_.pageGeometry(page);
    if (!geometry) {
        return {};
    }
    const QRectF b = geometry->bounds.normalized();
    return Rect{b.left(), b.top(), b.width(), b.height()};
}

QTransform EditorController::pageToViewport(int page) const {
    return view_.pageToViewport(page);
}

Point EditorController::toPage(int page, QPointF viewPoint) const {
    const QPointF p = view_.toPage(page, viewPoint);
    return {p.x(), p.y()};
}

QPointF EditorController::toView(int page, Point pagePoint) const {
    return view_.toViewport(page, QPointF(pagePoint.x, pagePoint.y));
}

std::optional<std::pair<AnnotationItem, HitPart>> EditorController::itemAt(const EditorLocation& location) {
    store_.loadPage(location.page);
    const double tolerance = toPageLength(hitTolerance);
    const std::vector<AnnotationItem>& items = store_.itemsOnPage(location.page);
    for (auto it = items.rbegin(); it != items.rend(); ++it) {
        if (const std::optional<HitPart> part =
                ItemGeometry::hitTest(*it, location.point, tolerance, isExpanded(*it))) {
            return std::pair{*it, *part};
        }
    }
    return std::nullopt;
}

bool EditorController::isExpanded(const AnnotationItem& item) const {
    return item.isNote() && (showsCommentText_ || (overlay_.peek && overlay_.peek->first.id == item.id));
}

void EditorController::setHoveredNote(std::optional<std::pair<AnnotationItem, int>> note) {
    if (!note && !overlay_.peek) {
        return;
    }
    if (note && overlay_.peek && overlay_.peek->first == note->first) {
        return;
    }
    overlay_.peek = std::move(note);
    emit overlayChanged();
}

void EditorController::commit(const LocalizedString& name, StoreChange change) {
    StoreCommand::push(undoStack_, store_, name.text(), std::move(change));
}

void EditorController::applyNow(AppliedChanges& into, StoreChange change) {
    into.apply(store_, change);
}

void EditorController::record(const LocalizedString& name, const AppliedChanges& applied) {
    StoreCommand::record(undoStack_, store_, name.text(), applied);
}

void EditorController::setItemHidden(const UUID& id, bool hidden) {
    if (store_.isHidden(id) != hidden) {
        store_.setHidden(id, hidden);
    }
}

ToolStyle EditorController::styleFor(Tool tool) const {
    return settings_.styleFor(tool);
}

void EditorController::clearTextSelection() {
    view_.clearTextSelection();
}

bool EditorController::hasTextSelection() const {
    return view_.hasTextSelection();
}

bool EditorController::markSelectedText(TextMarkupKind kind) {
    if (!view_.hasTextSelection()) {
        return false;
    }
    std::vector<StoreChange::Insertion> made = selectedTextMarkup(
        kind, styleFor(toolFor(kind)), view_.selectedTextRuns(), view_,
        [this](int page) { return static_cast<int>(itemsOnPage(page).size()); }, timestamp());
    view_.clearTextSelection();
    if (made.empty()) {
        return false;
    }
    commit(EditorStrings::markText(kind), StoreChange::insert(std::move(made)));
    return true;
}

void EditorController::askForSignature() {
    if (requestSignature) {
        requestSignature();
    }
}

void EditorController::setCursorShape(const QCursor& cursor) {
    view_.viewport()->setCursor(cursor);
}

void EditorController::setStroke(int page, std::vector<Point> points, bool highlighter,
                                 const ToolStyle& style) {
    overlay_.strokePage = page;
    overlay_.stroke = std::move(points);
    overlay_.strokeIsHighlighter = highlighter;
    overlay_.strokeColor = style.color;
    overlay_.strokeWidth = style.lineWidth;
    emit overlayChanged();
}

void EditorController::setPreview(std::optional<std::pair<AnnotationItem, int>> preview) {
    if (!preview && !overlay_.preview) {
        return;
    }
    overlay_.preview = std::move(preview);
    emit overlayChanged();
}

void EditorController::setEraserCentre(std::optional<QPointF> centre) {
    if (centre == overlay_.eraserCentre) {
        return;
    }
    overlay_.eraserCentre = centre;
    emit overlayChanged();
}

void EditorController::setHighFrequencyInput(bool on) {
    if (on && !savedCompression_) {
        savedCompression_ = QCoreApplication::testAttribute(Qt::AA_CompressHighFrequencyEvents);
        QCoreApplication::setAttribute(Qt::AA_CompressHighFrequencyEvents, false);
    } else if (!on && savedCompression_) {
        QCoreApplication::setAttribute(Qt::AA_CompressHighFrequencyEvents, *savedCompression_);
        savedCompression_.reset();
    }
}

}  // namespace quillet
