// Every number below assumes Helvetica's metrics; a substitute that is not
// metric-compatible would shift every box in every written file.
#include "core/markup/TextLayout.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>

using namespace quillet;

namespace {

TextSpec spec(std::string text, double fontSize = 12, std::optional<double> fixedWidth = std::nullopt,
              bool boxed = false) {
    return TextSpec{std::move(text), fontSize, fixedWidth, boxed};
}

TextLayoutResult layout(std::string text, double fontSize = 12,
                        std::optional<double> fixedWidth = std::nullopt, bool boxed = false) {
    return TextLayout::layout(spec(std::move(text), fontSize, fixedWidth, boxed));
}

// Text height and width of a result without its padding.
double textHeight(const TextLayoutResult& r) {
    return r.boxSize.height - 2 * r.padding;
}
double textWidth(const TextLayoutResult& r) {
    return r.boxSize.width - 2 * r.padding;
}

void expectGlyphsInsideBox(const TextLayoutResult& r, const std::string& what) {
    const Rect ink = r.glyphs.boundingBox();
    ASSERT_FALSE(ink.isNull()) << what;
    EXPECT_TRUE((Rect{0, 0, r.boxSize.width, r.boxSize.height}.contains(ink)))
        << what << ": ink " << ink.minX() << "," << ink.minY() << " – " << ink.maxX() << "," << ink.maxY();
}

}  // namespace

TEST(TextLayoutFont, HelveticaResolvesToAMetricCompatibleFamily) {
    const std::set<std::string> compatible{"Helvetica",      "Nimbus Sans",     "Nimbus Sans L",
                                           "TeX Gyre Heros", "Liberation Sans", "Arimo"};
    const std::string family = TextLayout::resolvedFamily();
    ASSERT_TRUE(compatible.count(family)) << "\"Helvetica\" resolved to \"" << family
                                          << "\", which is not metric-compatible; install fonts-urw-base35";
}

// Widths from Helvetica's metrics (H 722, e 556, l 222, o 556 per 1000 em:
// "Hello" at 12 pt is 27.336, rounded up 28, plus 1), heights in whole
// lines of ascent, descent and leading; NaN is not checked.
TEST(TextLayoutSize, BoxFollowsTheLongestLineAndTheLinesBrokenOrWrapped) {
    const TextFontMetrics m = TextLayout::fontMetrics(12);
    auto lines = [&](int n) { return std::ceil(n * (m.ascent + m.descent + m.leading)); };
    const double any = std::nan("");
    const std::string longText = "one two three four five six seven eight nine ten eleven twelve thirteen";
    const struct {
        std::string text;
        std::optional<double> fixedWidth;
        double width, height;
    } cases[] = {
        {"", {}, 14.4, lines(1)},  // the minimum width
        {"Hello", {}, 29, lines(1)},
        {"a\n", {}, any, lines(2)},
        {"one\ntwo\r\nthree", {}, any, lines(3)},
        {"Hello\nHe", {}, 29, lines(2)},
        // "aaa bbb" is 43.37 points wide at 12 pt, "aaa bbb ccc" 66.72.
        {"aaa bbb ccc", 50.0, any, lines(2)},
        {"aaa bbb ccc", 67.0, any, lines(1)},
        {longText, {}, 24 * 12, any},  // wraps at 24 font sizes
    };
    for (const auto& c : cases) {
        const TextLayoutResult r = layout(c.text, 12, c.fixedWidth);
        EXPECT_DOUBLE_EQ(r.padding, 1.2) << c.text;
        if (!std::isnan(c.width)) {
            EXPECT_DOUBLE_EQ(textWidth(r), c.width) << c.text;
        }
        if (!std::isnan(c.height)) {
            EXPECT_DOUBLE_EQ(textHeight(r), c.height) << c.text;
        }
        if (c.fixedWidth) {
            EXPECT_LE(r.glyphs.boundingBox().maxX(), r.padding + *c.fixedWidth) << c.text;
        }
    }
    EXPECT_TRUE(layout("").glyphs.isEmpty());
    EXPECT_DOUBLE_EQ(layout("x", 5, std::nullopt, true).padding, 3);
}

TEST(TextLayoutGlyphs, LatinCyrillicAndCJKHaveOutlinesInsideThePaddedBox) {
    const TextLayoutResult latin = layout("Hallo Welt\nxyz", 12, std::nullopt, true);
    // The tallest letters reach the ascent exactly: allow rounding only.
    const Rect inner =
        Rect{latin.padding, latin.padding, textWidth(latin), textHeight(latin)}.insetBy(-1e-9, -1e-9);
    EXPECT_TRUE(inner.contains(latin.glyphs.boundingBox()));
    for (const char* text : {"Hello", "Привет, мир", "你好世界", "Mixed Ёж 中文 text"}) {
        const TextLayoutResult r = layout(text, 14, std::nullopt, true);
        EXPECT_FALSE(r.glyphs.isEmpty()) << text;
        expectGlyphsInsideBox(r, text);
    }
    // From a fallback font: a blank .notdef would be tiny, an ideograph fills most of the em.
    const Rect cjk = layout("中").glyphs.boundingBox();
    EXPECT_GT(cjk.height, 12 * 0.6);
    EXPECT_GT(cjk.width, 12 * 0.6);
}

TEST(TextLayoutCache, EqualSpecsShareTheCachedResultWithinItsCapacity) {
    const TextSpec s = spec("cached text", 13, 80.0, true);
    const TextLayoutResult first = TextLayout::layout(s);
    EXPECT_TRUE(first.glyphs.sharesStorageWith(TextLayout::layout(TextSpec(s)).glyphs));
    EXPECT_EQ(first, TextLayout::layoutUncached(s));
    EXPECT_FALSE(layout("cached text", 13, 80.0, false).glyphs.sharesStorageWith(first.glyphs));
}

TEST(TextLayoutInput, AnyUnicodeTextLaysOut) {
    const char* texts[] = {
        "x\x80y\xE2\x82",                                                // stray continuation, cut sequence
        "\xF0\x9F\x98\x80\xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9",  // emoji and a ZWJ sequence
        "שלום עולם abc 123",                       // right to left mixed with left to right
        "مرحبا بالعالم",                           // joined Arabic
        "e\xCC\x81\xCC\x81\xCC\x81",               // stacked combining marks
        "tab\there\x01\x1B",                       // control characters
        "\xE2\x80\xAE reversed \xE2\x80\xAC",      // bidi overrides
        "\xED\xA0\x80",                            // encoded surrogate
        "\r\r\n\xE2\x80\xA8\xE2\x80\xA9\x0B\x0C",  // every kind of line break
    };
    for (const char* text : texts) {
        for (std::optional<double> width : {std::optional<double>(), std::optional<double>(1.0)}) {
            const TextLayoutResult r = TextLayout::layoutUncached(spec(text, 12, width));
            EXPECT_TRUE(std::isfinite(r.boxSize.width) && std::isfinite(r.boxSize.height)) << text;
            if (!r.glyphs.isEmpty()) expectGlyphsInsideBox(r, text);
        }
    }
}

namespace {

TEST(TextLayoutEditing, LinesCarryTheirTextBaselinesAndCaretsInsideTheBox) {
    const TextSpec s = spec("Lorem ipsum dolor sit amet\n\nЖук", 12, 60.0, true);
    const TextLayoutResult box = TextLayout::layout(s);
    const std::vector<TextLayoutLine> lines = TextLayout::lines(s);
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines.front().start, 0);
    EXPECT_EQ(lines.back().end, 31) << "UTF-16 indices: three Cyrillic letters after 28 units";
    for (size_t i = 0; i < lines.size(); ++i) {
        const TextLayoutLine& line = lines[i];
        ASSERT_EQ(line.carets.size(), static_cast<size_t>(line.end - line.start) + 1);
        EXPECT_EQ(line.carets.front(), box.padding);
        EXPECT_TRUE(std::is_sorted(line.carets.begin(), line.carets.end()));
        if (i > 0) {
            EXPECT_LT(line.baseline, lines[i - 1].baseline) << "each line lower";
            EXPECT_GE(line.start, lines[i - 1].end);
        }
        EXPECT_GT(line.baseline - line.descent, 0);
        EXPECT_LT(line.baseline + line.ascent, box.boxSize.height);
    }
    // The glyphs lie where the lines say: between the first line's top and the last one's bottom.
    const Rect glyphs = box.glyphs.boundingBox();
    EXPECT_LE(glyphs.maxY(), lines.front().baseline + lines.front().ascent + 1e-9);
    EXPECT_GE(glyphs.minY(), lines.back().baseline - lines.back().descent - 1e-9);
}

}  // namespace
