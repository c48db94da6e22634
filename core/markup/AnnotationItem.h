// One markup object on one page: a plain value identified by its UUID.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string_view>

#include "core/markup/RGBA.h"
#include "core/markup/Shape.h"
#include "core/markup/TextSpec.h"
#include "core/markup/UUID.h"

namespace quillet {

struct AnnotationItem {
    // Stays the same across every edit, move, save and reload.
    UUID id;
    Shape shape;
    RGBA color;
    double lineWidth = 1;  // points
    // Degrees, one of 0, 90, 180, 270: the page's display rotation when the
    // item was made; text is laid out turned by it.
    int64_t rotation = 0;
    // The last change, in whole seconds.
    std::chrono::sys_seconds modified{};

    // The rotation is normalized (normalizedRotation); nothing else changes.
    AnnotationItem(UUID id, Shape shape, RGBA color, double lineWidth, int64_t rotation,
                   std::chrono::sys_seconds modified);

    // Reduced modulo 360 into 0...359, then down to a multiple of 90:
    // 450 → 90, -90 → 270, 100 → 90, 359 → 270.
    static int64_t normalizedRotation(int64_t degrees);
    // Now, rounded down to a whole second.
    static std::chrono::sys_seconds currentModificationTime();

    // "pen", "highlighter", "signature" for ink; "text", "arrow", "note";
    // "highlight", "underline", "strikeOut", "squiggly" for text markup.
    std::string_view kindName() const;
    bool isText() const { return shape.text() != nullptr; }
    bool isNote() const { return shape.note() != nullptr; }
    bool isTextMarkup() const { return shape.markup() != nullptr; }
    // The text of a text box or note, an arrow's label; absent for ink and
    // for an arrow without label.
    std::optional<TextSpec> textSpec() const;

    bool operator==(const AnnotationItem&) const = default;
};

}  // namespace quillet
