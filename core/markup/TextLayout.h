// Lays out the text of a text box, an arrow label or a note bubble: the size
// of its box and the outlines of its glyphs. Markup text is always drawn as
// filled outlines, so written files need no font resources.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "core/markup/Path.h"
#include "core/markup/TextSpec.h"
#include "core/pdf/Geometry.h"

namespace quillet {

struct TextLayoutResult {
    // The whole box, padding included.
    Size boxSize;
    // Every glyph outline in box space (origin at the box's bottom-left
    // corner, y up), already inside the padding. May be empty.
    Path glyphs;
    // The margin between the box edge and the text on every side.
    double padding = 0;

    bool operator==(const TextLayoutResult&) const = default;
};

// The resolved font's vertical metrics at one size, in points.
struct TextFontMetrics {
    double ascent = 0;
    double descent = 0;  // below the baseline, ≥ 0
    double leading = 0;
    double lineHeight() const { return ascent + descent + leading; }
};

// One laid-out line as an editor needs it: the text it holds and where.
struct TextLayoutLine {
    // UTF-16 index range of the line's text (of the text as given, invalid
    // UTF-8 read as U+FFFD), line separators excluded.
    int start = 0;
    int end = 0;
    // In box space (origin at the box's bottom-left corner, y up, padding
    // included), like the glyphs of TextLayoutResult.
    double baseline = 0;
    double ascent = 0;
    double descent = 0;
    // carets[i]: the x of a caret before index start + i, for i from 0 to
    // end - start. Logical order: exact for left-to-right text.
    std::vector<double> carets;

    bool operator==(const TextLayoutLine&) const = default;
};

class TextLayout {
  public:
    static constexpr const char* fontName = "Helvetica";
    static constexpr double minFontSize = 2;
    static constexpr double maxFontSize = 400;
    static constexpr size_t cacheCapacity = 512;

    // A pure function of the TextSpec, memoized; callable from any thread.
    static TextLayoutResult layout(const TextSpec& spec);
    // The same computation, bypassing the memo.
    static TextLayoutResult layoutUncached(const TextSpec& spec);

    // The lines of the same layout, top to bottom (not memoized).
    static std::vector<TextLayoutLine> lines(const TextSpec& spec);

    // The font size a spec is laid out at: clamped into [2, 400]; a size
    // that is not a number lays out at 12.
    static double effectiveFontSize(double fontSize);
    static double padding(double fontSize, bool boxed);
    // Metrics of the resolved "Helvetica" at the given (clamped) size.
    static TextFontMetrics fontMetrics(double fontSize);
    // The family fontconfig resolved "Helvetica" to (empty without fonts).
    static std::string resolvedFamily();

    // How many results the memo holds now (at most cacheCapacity).
    static size_t cachedEntryCount();
};

}  // namespace quillet
