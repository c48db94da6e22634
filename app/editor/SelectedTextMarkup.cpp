#include "app/editor/SelectedTextMarkup.h"

#include <QStringList>

#include "core/markup/Quad.h"

namespace quillet {

namespace {

Rect fromQRectF(const QRectF& r) {
    return {r.x(), r.y(), r.width(), r.height()};
}

}  // namespace

std::vector<StoreChange::Insertion> selectedTextMarkup(TextMarkupKind kind, const ToolStyle& style,
                                                       const SelectedRuns& runs,
                                                       const PageCoordinates& coordinates,
                                                       const std::function<int(int page)>& itemCount,
                                                       std::chrono::sys_seconds now) {
    std::vector<StoreChange::Insertion> out;
    for (const auto& [page, pageRuns] : runs) {
        const std::optional<PDFPageGeometry> geometry = coordinates.pageGeometry(page);
        if (!geometry) continue;
        const AffineTransform toDisplay = geometry->pageBox().pageToDisplay();
        TextMarkupShape shape{kind, {}, {}, {}};
        QStringList texts;
        for (const PageTextSelection::Run& run : pageRuns) {
            std::vector<Rect> boxes;
            boxes.reserve(run.characters.size());
            for (const QRectF& c : run.characters) boxes.push_back(fromQRectF(c));
            if (const std::optional<Quad> quad = Quad::covering(boxes, toDisplay)) {
                // Rounded as the payload stores it, so the item is the same after a reload.
                shape.quads.push_back({roundTo2(quad->upperLeft), roundTo2(quad->upperRight),
                                       roundTo2(quad->lowerLeft), roundTo2(quad->lowerRight)});
                texts.push_back(run.text);
            }
        }
        if (shape.quads.empty()) continue;
        shape.text = texts.join(QLatin1Char('\n')).toStdString();
        AnnotationItem item(UUID::random(), std::move(shape), style.color, 1, geometry->rotation, now);
        out.push_back({std::move(item), page, itemCount(page)});
    }
    return out;
}

}  // namespace quillet
