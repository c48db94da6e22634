#include "core/markup/ShapedText.h"

#include <hb.h>
#include <unicode/brkiter.h>
#include <unicode/ubidi.h>
#include <unicode/uchar.h>
#include <unicode/uscript.h>
#include <unicode/utf16.h>

#include <algorithm>
#include <memory>

namespace quillet {

namespace {

bool isSeparator(char16_t c) {
    return c == 0x0A || c == 0x0B || c == 0x0C || c == 0x0D || c == 0x85 || c == 0x2028 || c == 0x2029;
}

bool isWhiteSpace(char16_t c) {
    return u_isUWhiteSpace(c) || c == 0x200B;
}

// Characters that never choose a font of their own: marks, joiners,
// variation selectors and other invisible format characters stay with the
// font of what they attach to.
bool followsPrevious(UChar32 cp) {
    const int8_t type = u_charType(cp);
    return type == U_NON_SPACING_MARK || type == U_ENCLOSING_MARK || type == U_COMBINING_SPACING_MARK ||
           u_hasBinaryProperty(cp, UCHAR_DEFAULT_IGNORABLE_CODE_POINT);
}

bool isNeutralScript(UScriptCode s) {
    return s == USCRIPT_COMMON || s == USCRIPT_INHERITED;
}

hb_script_t hbScript(int script) {
    const auto code = static_cast<UScriptCode>(script);
    if (isNeutralScript(code)) return HB_SCRIPT_INVALID;
    const char* name = uscript_getShortName(code);
    return name ? hb_script_from_string(name, -1) : HB_SCRIPT_INVALID;
}

std::unique_ptr<icu::BreakIterator> makeBreaker(bool lines, const icu::UnicodeString& text) {
    UErrorCode err = U_ZERO_ERROR;
    std::unique_ptr<icu::BreakIterator> it(
        lines ? icu::BreakIterator::createLineInstance(icu::Locale::getRoot(), err)
              : icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), err));
    if (U_FAILURE(err) || !it) return nullptr;
    it->setText(text);
    return it;
}

}  // namespace

ShapedText::ShapedText(std::u16string text, double fontSize, const FontResolver& fonts)
    : text_(std::move(text)), fontSize_(fontSize), fonts_(fonts) {
    for (char16_t& c : text_) {
        if (c == u'\t')
            c = u' ';
        else if (u_charType(c) == U_CONTROL_CHAR && !isSeparator(c))
            c = 0x200B;
    }
    prefix_.assign(text_.size() + 1, 0);
    splitParagraphs();
    std::vector<double> advance(text_.size(), 0);
    for (Paragraph& p : paragraphs_) {
        itemize(p);
        for (Run& run : p.runs) {
            shape(run);
            for (const Glyph& g : run.glyphs) advance[static_cast<size_t>(g.cluster)] += g.advance;
        }
    }
    // Widths must grow with the index for the line search; a cluster with a
    // negative net advance (odd kerning) counts as zero there.
    for (size_t i = 0; i < advance.size(); ++i) prefix_[i + 1] = prefix_[i] + std::max(0.0, advance[i]);
}

ShapedText::~ShapedText() = default;

void ShapedText::splitParagraphs() {
    const int n = static_cast<int>(text_.size());
    int start = 0;
    for (int i = 0; i < n; ++i) {
        if (!isSeparator(text_[static_cast<size_t>(i)])) continue;
        paragraphs_.push_back({start, i, {}});
        if (text_[static_cast<size_t>(i)] == u'\r' && i + 1 < n && text_[static_cast<size_t>(i) + 1] == u'\n')
            ++i;
        start = i + 1;
    }
    paragraphs_.push_back({start, n, {}});
}

void ShapedText::itemize(Paragraph& p) const {
    const int length = p.end - p.start;
    if (length == 0) return;
    std::vector<uint8_t> levels(static_cast<size_t>(length), 0);
    UErrorCode err = U_ZERO_ERROR;
    UBiDi* bidi = ubidi_open();
    ubidi_setPara(bidi, text_.data() + p.start, length, UBIDI_DEFAULT_LTR, nullptr, &err);
    if (U_SUCCESS(err)) {
        const UBiDiLevel* got = ubidi_getLevels(bidi, &err);
        if (U_SUCCESS(err) && got) std::copy(got, got + length, levels.begin());
    }
    ubidi_close(bidi);

    const char16_t* s = text_.data();
    int i = p.start;
    while (i < p.end) {
        const int at = i;
        UChar32 cp;
        U16_NEXT(s, i, p.end, cp);
        const uint8_t level = levels[static_cast<size_t>(at - p.start)];
        UErrorCode scriptErr = U_ZERO_ERROR;
        UScriptCode script = uscript_getScript(cp, &scriptErr);
        Run* current = p.runs.empty() ? nullptr : &p.runs.back();
        const Font* font = nullptr;
        if (current && (followsPrevious(cp) || (isNeutralScript(script) && current->font &&
                                                current->font->hasCodePoint(static_cast<char32_t>(cp)))))
            font = current->font;
        else if (followsPrevious(cp))
            font = fonts_.primary();
        else
            font = fonts_.fontFor(static_cast<char32_t>(cp));
        if (current && isNeutralScript(script)) script = static_cast<UScriptCode>(current->script);
        const bool sameRun =
            current && current->font == font && current->level == level &&
            (current->script == script || isNeutralScript(static_cast<UScriptCode>(current->script)));
        if (sameRun) {
            current->end = i;
            if (!isNeutralScript(script)) current->script = script;
        } else {
            p.runs.push_back({font, at, i, level, script, {}});
        }
    }
}

void ShapedText::shape(Run& run) const {
    if (!run.font) {
        // Without any font every cluster is blank and half an em wide.
        for (int i = run.start; i < run.end; ++i)
            if (!U16_IS_TRAIL(text_[static_cast<size_t>(i)]))
                run.glyphs.push_back({0, i, fontSize_ / 2, 0, 0});
        return;
    }
    hb_buffer_t* buffer = hb_buffer_create();
    hb_buffer_add_utf16(buffer, reinterpret_cast<const uint16_t*>(text_.data()),
                        static_cast<int>(text_.size()), static_cast<unsigned>(run.start),
                        run.end - run.start);
    hb_buffer_set_direction(buffer, run.level % 2 ? HB_DIRECTION_RTL : HB_DIRECTION_LTR);
    if (hb_script_t script = hbScript(run.script); script != HB_SCRIPT_INVALID)
        hb_buffer_set_script(buffer, script);
    hb_buffer_guess_segment_properties(buffer);
    hb_shape(run.font->shapingFont(), buffer, nullptr, 0);

    unsigned count = 0;
    const hb_glyph_info_t* infos = hb_buffer_get_glyph_infos(buffer, &count);
    const hb_glyph_position_t* positions = hb_buffer_get_glyph_positions(buffer, &count);
    const double scale = fontSize_ / run.font->unitsPerEm();
    run.glyphs.reserve(count);
    for (unsigned g = 0; g < count; ++g) {
        run.glyphs.push_back({infos[g].codepoint, static_cast<int>(infos[g].cluster),
                              positions[g].x_advance * scale, positions[g].x_offset * scale,
                              positions[g].y_offset * scale});
    }
    hb_buffer_destroy(buffer);
}

double ShapedText::trimmedWidth(int start, int end) const {
    while (end > start && isWhiteSpace(text_[static_cast<size_t>(end) - 1])) --end;
    return prefix_[static_cast<size_t>(end)] - prefix_[static_cast<size_t>(start)];
}

double ShapedText::naturalWidth() const {
    double widest = 0;
    for (const Paragraph& p : paragraphs_) widest = std::max(widest, trimmedWidth(p.start, p.end));
    return widest;
}

std::vector<TextLine> ShapedText::lines(double width) const {
    std::vector<TextLine> out;
    for (size_t i = 0; i < paragraphs_.size(); ++i) breakParagraph(static_cast<int>(i), width, out);
    for (TextLine& line : out) setMetrics(line);
    return out;
}

void ShapedText::breakParagraph(int index, double width, std::vector<TextLine>& out) const {
    const Paragraph& p = paragraphs_[static_cast<size_t>(index)];
    if (p.start == p.end) {
        out.push_back({p.start, p.end, index});
        return;
    }
    // Both iterators see the paragraph alone: their offsets are relative to p.start.
    const icu::UnicodeString alias(false, text_.data() + p.start, p.end - p.start);
    const auto lineBreaks = makeBreaker(true, alias);
    const auto clusters = makeBreaker(false, alias);
    constexpr double slack = 1e-9;
    int s = p.start;
    while (s < p.end) {
        // The furthest index whose text from s still fits, then past any
        // white space, which may overhang the line's end.
        const auto first = prefix_.begin() + s;
        const auto last = prefix_.begin() + p.end + 1;
        int fit =
            static_cast<int>(std::upper_bound(first, last, prefix_[static_cast<size_t>(s)] + width + slack) -
                             prefix_.begin()) -
            1;
        int reach = fit;
        while (reach < p.end && isWhiteSpace(text_[static_cast<size_t>(reach)])) ++reach;
        int end = p.end;
        if (reach < p.end) {
            end = p.start;
            if (lineBreaks) {
                const int rel = reach - p.start;
                end = p.start + (lineBreaks->isBoundary(rel) ? rel : lineBreaks->preceding(rel));
            }
            if (end <= s) {
                // A word wider than the line: break it between grapheme clusters.
                end = clusters ? p.start + clusters->preceding(fit - p.start + 1) : fit;
                if (end <= s) end = clusters ? p.start + clusters->following(s - p.start) : s + 1;
                if (end <= s || end > p.end) end = std::min(p.end, s + 1);
            }
        }
        out.push_back({s, end, index});
        s = end;
    }
}

void ShapedText::setMetrics(TextLine& line) const {
    const Font* primary = fonts_.primary();
    auto take = [&](const Font* font) {
        if (!font) return;
        const double scale = fontSize_ / font->unitsPerEm();
        line.ascent = std::max(line.ascent, font->ascent() * scale);
        line.descent = std::max(line.descent, font->descent() * scale);
        line.leading = std::max(line.leading, font->leading() * scale);
    };
    take(primary);
    for (const Run& run : paragraphs_[static_cast<size_t>(line.paragraph)].runs)
        if (run.end > line.start && run.start < line.end) take(run.font);
}

void ShapedText::forEachGlyph(const TextLine& line, const GlyphVisitor& f) const {
    struct Segment {
        const Run* run;
        int start;
        int end;
    };
    std::vector<Segment> segments;
    std::vector<UBiDiLevel> levels;
    for (const Run& run : paragraphs_[static_cast<size_t>(line.paragraph)].runs) {
        if (run.end <= line.start || run.start >= line.end) continue;
        segments.push_back({&run, std::max(run.start, line.start), std::min(run.end, line.end)});
        levels.push_back(run.level);
    }
    if (segments.empty()) return;
    std::vector<int32_t> visual(segments.size());
    ubidi_reorderVisual(levels.data(), static_cast<int32_t>(levels.size()), visual.data());

    double x = 0;
    for (int32_t index : visual) {
        const Segment& seg = segments[static_cast<size_t>(index)];
        const Run& run = *seg.run;
        const bool rtl = run.level % 2;
        // Clusters run up (left to right) or down (right to left) the glyph list.
        auto before = [rtl](const Glyph& g, int cluster) {
            return rtl ? g.cluster >= cluster : g.cluster < cluster;
        };
        auto from = std::partition_point(run.glyphs.begin(), run.glyphs.end(), [&](const Glyph& g) {
            return before(g, rtl ? seg.end : seg.start);
        });
        auto to = std::partition_point(from, run.glyphs.end(),
                                       [&](const Glyph& g) { return before(g, rtl ? seg.start : seg.end); });
        const double scale = run.font ? fontSize_ / run.font->unitsPerEm() : 0;
        for (auto g = from; g != to; ++g) {
            if (run.font) f(*run.font, g->id, {x + g->xOffset, g->yOffset}, scale);
            x += g->advance;
        }
    }
}

}  // namespace quillet
