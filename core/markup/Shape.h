// What a markup item draws: freehand ink, a text box, an arrow, a note or
// markup over the page's text, each with its own values. The case order ink,
// text, arrow, note, markup is the order used wherever a shape is tested by
// case.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "core/markup/InkKind.h"
#include "core/markup/Quad.h"
#include "core/markup/TextMarkupKind.h"
#include "core/markup/TextSpec.h"
#include "core/pdf/Geometry.h"

namespace quillet {

using Stroke = std::vector<Point>;

struct InkShape {
    InkKind kind = InkKind::pen;
    std::vector<Stroke> strokes;  // each drawn as one smoothed line

    bool operator==(const InkShape&) const = default;
};

struct TextShape {
    Point origin;  // top-left corner of the unrotated box
    TextSpec spec;

    bool operator==(const TextShape&) const = default;
};

struct ArrowShape {
    Point from;  // tail
    Point to;    // head
    std::optional<TextSpec> label;

    bool operator==(const ArrowShape&) const = default;
};

struct NoteShape {
    Point anchor;  // where the icon sits
    Point bubble;  // where the bubble with the text sits
    TextSpec spec;

    bool operator==(const NoteShape&) const = default;
};

// Markup over a run of the page's text: one quad per line fragment. It
// belongs where its text is, so the editor never moves it.
struct TextMarkupShape {
    TextMarkupKind kind = TextMarkupKind::highlight;
    std::vector<Quad> quads;  // page space
    std::string text;         // the marked text, as the page gives it
    std::string comment;      // the user's comment on it; empty for none

    bool operator==(const TextMarkupShape&) const = default;
};

class Shape {
  public:
    enum class Case { ink, text, arrow, note, markup };

    Shape() = default;  // a pen without strokes
    Shape(InkShape s) : value_(std::move(s)) {}
    Shape(TextShape s) : value_(std::move(s)) {}
    Shape(ArrowShape s) : value_(std::move(s)) {}
    Shape(NoteShape s) : value_(std::move(s)) {}
    Shape(TextMarkupShape s) : value_(std::move(s)) {}

    Case shapeCase() const { return static_cast<Case>(value_.index()); }
    // "ink", "text", "arrow", "note" or "markup".
    std::string_view caseName() const;

    // The case's values, or nullptr for any other case.
    const InkShape* ink() const { return std::get_if<InkShape>(&value_); }
    const TextShape* text() const { return std::get_if<TextShape>(&value_); }
    const ArrowShape* arrow() const { return std::get_if<ArrowShape>(&value_); }
    const NoteShape* note() const { return std::get_if<NoteShape>(&value_); }
    const TextMarkupShape* markup() const { return std::get_if<TextMarkupShape>(&value_); }
    InkShape* ink() { return std::get_if<InkShape>(&value_); }
    TextShape* text() { return std::get_if<TextShape>(&value_); }
    ArrowShape* arrow() { return std::get_if<ArrowShape>(&value_); }
    NoteShape* note() { return std::get_if<NoteShape>(&value_); }
    TextMarkupShape* markup() { return std::get_if<TextMarkupShape>(&value_); }

    const std::variant<InkShape, TextShape, ArrowShape, NoteShape, TextMarkupShape>& value() const {
        return value_;
    }

    bool operator==(const Shape&) const = default;

  private:
    // The alternatives are in Case order.
    std::variant<InkShape, TextShape, ArrowShape, NoteShape, TextMarkupShape> value_;
};

}  // namespace quillet
