#include "app/editor/InlineTextSession.h"

namespace quillet {

InlineTextTarget InlineTextTarget::of(const AnnotationItem& item) {
    if (const TextShape* t = item.shape.text()) return {Kind::text, t->origin, {}};
    if (const ArrowShape* a = item.shape.arrow()) return {Kind::arrowLabel, a->from, a->to};
    if (const NoteShape* n = item.shape.note()) return {Kind::note, n->anchor, n->bubble};
    return {};
}

AnnotationItem InlineTextSession::itemWithText() const {
    AnnotationItem out = item;
    switch (target.kind) {
        case InlineTextTarget::Kind::text:
            out.shape = TextShape{target.first, spec};
            break;
        case InlineTextTarget::Kind::arrowLabel:
            out.shape = ArrowShape{target.first, target.second, spec};
            break;
        case InlineTextTarget::Kind::note:
            out.shape = NoteShape{target.first, target.second, spec};
            break;
    }
    return out;
}

PlacedBox InlineTextSession::placedBox() const {
    switch (target.kind) {
        case InlineTextTarget::Kind::arrowLabel:
            return ItemGeometry::placeLabel(spec, target.first, target.second, item.rotation);
        case InlineTextTarget::Kind::note:
            return ItemGeometry::placeBubble(spec, target.second, item.rotation);
        case InlineTextTarget::Kind::text:
            break;
    }
    return ItemGeometry::placeText(spec, target.first, item.rotation);
}

}  // namespace quillet
