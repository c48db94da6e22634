#include "app/platform/PopplerPages.h"

#include <poppler-qt6.h>

#include <QTransform>
#include <cmath>

namespace quillet {
namespace {

int rotationOf(const Poppler::Page& page) {
    switch (page.orientation()) {
        case Poppler::Page::Landscape:
            return 90;
        case Poppler::Page::UpsideDown:
            return 180;
        case Poppler::Page::Seascape:
            return 270;
        case Poppler::Page::Portrait:
            break;
    }
    return 0;
}

}  // namespace

// Poppler knows the crop box only through its display transform: the crop box
// is where the shown page maps back to in page space.
PDFPageGeometry geometryOf(Poppler::Page& page) {
    double ctm[6] = {1, 0, 0, -1, 0, 0};
    page.defaultCTM(ctm, 72.0, 72.0, 0, true);
    const QTransform pageToDisplay(ctm[0], ctm[1], ctm[2], ctm[3], ctm[4], ctm[5]);
    const QRectF shown(QPointF(0, 0), page.pageSizeF());
    PDFPageGeometry geometry;
    geometry.rotation = rotationOf(page);
    geometry.bounds = pageToDisplay.inverted().mapRect(shown);
    return geometry;
}

namespace {

// The subtype as the file names it, for the kinds the application writes.
QString subtypeName(const Poppler::Annotation& annotation) {
    switch (annotation.subType()) {
        case Poppler::Annotation::AText: {
            const auto* text = static_cast<const Poppler::TextAnnotation*>(&annotation);
            return text->textType() == Poppler::TextAnnotation::InPlace ? QStringLiteral("FreeText")
                                                                        : QStringLiteral("Text");
        }
        case Poppler::Annotation::ALine:
            return QStringLiteral("Line");
        case Poppler::Annotation::AInk:
            return QStringLiteral("Ink");
        case Poppler::Annotation::AStamp:
            return QStringLiteral("Stamp");
        case Poppler::Annotation::AHighlight:
            switch (static_cast<const Poppler::HighlightAnnotation&>(annotation).highlightType()) {
                case Poppler::HighlightAnnotation::Highlight:
                    return QStringLiteral("Highlight");
                case Poppler::HighlightAnnotation::Underline:
                    return QStringLiteral("Underline");
                case Poppler::HighlightAnnotation::StrikeOut:
                    return QStringLiteral("StrikeOut");
                case Poppler::HighlightAnnotation::Squiggly:
                    return QStringLiteral("Squiggly");
            }
            return {};
        default:
            return {};
    }
}

// Poppler gives an annotation's boundary in display space normalized to the
// shown page (0...1, origin top left); the places are in page space.
bool matchesPlace(const Poppler::Annotation& annotation, const PDFPageGeometry& geometry,
                  const std::vector<HiddenAnnotations::Place>& places) {
    if (places.empty()) {
        return false;
    }
    const QString subtype = subtypeName(annotation);
    const QSizeF size = geometry.displaySize();
    if (subtype.isEmpty() || size.isEmpty()) {
        return false;
    }
    const QRectF boundary = annotation.boundary();
    const QRectF shown(boundary.x() * size.width(), boundary.y() * size.height(),
                       boundary.width() * size.width(), boundary.height() * size.height());
    constexpr double tolerance = 0.5;  // points
    for (const HiddenAnnotations::Place& place : places) {
        if (place.subtype != subtype) {
            continue;
        }
        const QRectF expected = geometry.toDisplay(place.rect.normalized());
        if (std::abs(expected.left() - shown.left()) <= tolerance &&
            std::abs(expected.top() - shown.top()) <= tolerance &&
            std::abs(expected.right() - shown.right()) <= tolerance &&
            std::abs(expected.bottom() - shown.bottom()) <= tolerance) {
            return true;
        }
    }
    return false;
}

}  // namespace

void applyHidden(HiddenFlags& hiddenByUs, int pageIndex, Poppler::Page& page,
                 const HiddenAnnotations& hidden) {
    const auto first = hiddenByUs.lower_bound({pageIndex, 0});
    const bool hidesNone = first == hiddenByUs.end() || first->first.first != pageIndex;
    if (hidden.isEmpty() && hidesNone) {
        return;
    }
    const PDFPageGeometry geometry = geometryOf(page);
    const std::vector<std::unique_ptr<Poppler::Annotation>> annotations = page.annotations();
    for (int i = 0; i < static_cast<int>(annotations.size()); ++i) {
        Poppler::Annotation& annotation = *annotations[static_cast<size_t>(i)];
        const QString name = annotation.uniqueName();
        const bool hide = (!name.isEmpty() && hidden.names.contains(name)) ||
                          matchesPlace(annotation, geometry, hidden.places);
        const auto wasHidden = hiddenByUs.find({pageIndex, i});
        if (hide && wasHidden == hiddenByUs.end()) {
            hiddenByUs.emplace(std::make_pair(pageIndex, i), annotation.flags());
            // Only the flag in memory: removing the annotation would hand its
            // ownership to Poppler and lose it for the next render.
            annotation.setFlags(annotation.flags() | Poppler::Annotation::Hidden);
        } else if (!hide && wasHidden != hiddenByUs.end()) {
            annotation.setFlags(wasHidden->second);
            hiddenByUs.erase(wasHidden);
        }
    }
}

}  // namespace quillet
