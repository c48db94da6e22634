// Text shaped once and then broken into lines at any width: paragraphs,
// bidirectional levels, script and font runs (with fallback fonts for
// characters the primary font lacks), glyph advances, and the placement of
// the glyphs of each line. Used by TextLayout; one instance per layout.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/markup/FontResolver.h"

namespace quillet {

struct TextLine {
    int start = 0;  // UTF-16 index range of the line, separators excluded
    int end = 0;
    int paragraph = 0;
    // The tallest metrics of the fonts on the line (the primary font's at
    // least), in points.
    double ascent = 0;
    double descent = 0;
    double leading = 0;
};

class ShapedText {
  public:
    // text: UTF-16 without unpaired surrogates. Control characters other
    // than line separators are treated as invisible; a tab as a space.
    ShapedText(std::u16string text, double fontSize, const FontResolver& fonts);
    ~ShapedText();

    // The widest paragraph on one line, trailing white space left out.
    double naturalWidth() const;
    // Lines no wider than width (trailing white space may overhang): breaks
    // at line-break opportunities, inside a word only when the word alone is
    // wider, and then between grapheme clusters; every line holds at least
    // one cluster. Every paragraph gives at least one line.
    std::vector<TextLine> lines(double width) const;
    // The advance of text [start, end) in logical order, in points: where a
    // caret stands relative to the line's start in left-to-right text.
    double advance(int start, int end) const {
        return prefix_[static_cast<size_t>(end)] - prefix_[static_cast<size_t>(start)];
    }

    // Calls f for every glyph of the line in visual order with its position
    // in points relative to the line's left end on the baseline, and the
    // factor from the font's units to points.
    using GlyphVisitor = std::function<void(const Font& font, uint32_t glyph, Point position, double scale)>;
    void forEachGlyph(const TextLine& line, const GlyphVisitor& f) const;

  private:
    struct Glyph {
        uint32_t id = 0;
        int cluster = 0;
        double advance = 0;  // points
        double xOffset = 0;
        double yOffset = 0;
    };
    struct Run {
        const Font* font = nullptr;
        int start = 0;
        int end = 0;
        uint8_t level = 0;          // bidi embedding level; odd is right-to-left
        int script = 0;             // ICU script code
        std::vector<Glyph> glyphs;  // visual order
    };
    struct Paragraph {
        int start = 0;
        int end = 0;
        std::vector<Run> runs;
    };

    void splitParagraphs();
    void itemize(Paragraph& p) const;
    void shape(Run& run) const;
    void breakParagraph(int index, double width, std::vector<TextLine>& out) const;
    void setMetrics(TextLine& line) const;
    double trimmedWidth(int start, int end) const;

    std::u16string text_;
    double fontSize_;
    const FontResolver& fonts_;
    std::vector<Paragraph> paragraphs_;
    std::vector<double> prefix_;  // prefix_[i]: advance of text_[0, i), points
};

}  // namespace quillet
