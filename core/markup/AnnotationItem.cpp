#include "core/markup/AnnotationItem.h"

#include <utility>

namespace quillet {

AnnotationItem::AnnotationItem(UUID id_, Shape shape_, RGBA color_, double lineWidth_, int64_t rotation_,
                               std::chrono::sys_seconds modified_)
    : id(id_),
      shape(std::move(shape_)),
      color(color_),
      lineWidth(lineWidth_),
      rotation(normalizedRotation(rotation_)),
      modified(modified_) {}

int64_t AnnotationItem::normalizedRotation(int64_t degrees) {
    int64_t r = degrees % 360;
    if (r < 0) r += 360;
    return r - r % 90;
}

std::chrono::sys_seconds AnnotationItem::currentModificationTime() {
    return std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
}

std::string_view AnnotationItem::kindName() const {
    if (const InkShape* ink = shape.ink()) return rawValue(ink->kind);
    if (const TextMarkupShape* markup = shape.markup()) return rawValue(markup->kind);
    return shape.caseName();
}

std::optional<TextSpec> AnnotationItem::textSpec() const {
    if (const TextShape* t = shape.text()) return t->spec;
    if (const ArrowShape* a = shape.arrow()) return a->label;
    if (const NoteShape* n = shape.note()) return n->spec;
    return std::nullopt;
}

}  // namespace quillet
