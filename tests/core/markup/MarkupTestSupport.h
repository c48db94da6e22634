// Items, text specs and near-comparisons shared by the markup tests.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>

#include "core/markup/AnnotationItem.h"
#include "core/pdf/PDFWriter.h"

namespace quillet::testing {

inline AnnotationItem makeItem(Shape shape, RGBA color = RGBA::defaultInk(), double lineWidth = 2,
                               int64_t rotation = 0, UUID id = UUID::random()) {
    return AnnotationItem(id, std::move(shape), color, lineWidth, rotation,
                          std::chrono::sys_seconds{std::chrono::seconds{1700000000}});
}

inline AnnotationItem makeInk(InkKind kind, std::vector<Stroke> strokes, RGBA color = RGBA::defaultInk(),
                              double lineWidth = 2) {
    return makeItem(InkShape{kind, std::move(strokes)}, color, lineWidth);
}

inline TextSpec textSpec(std::string text, double fontSize = 12, bool boxed = false) {
    return TextSpec{std::move(text), fontSize, std::nullopt, boxed};
}

inline std::string written(const PDFValue& value) {
    Bytes out;
    PDFWriter::write(value, out);
    return out;
}

inline void expectNear(Point actual, Point expected, double tolerance = 1e-9) {
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
}

}  // namespace quillet::testing
