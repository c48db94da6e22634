#include "core/markup/TextLayout.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <set>
#include <string>

using namespace quillet;

namespace {

TextSpec spec(std::string text, double fontSize = 12, std::optional<double> fixedWidth = std::nullopt,
              bool boxed = false) {
    return TextSpec{std::move(text), fontSize, fixedWidth, boxed};
}

double oneLine(double fontSize) { return std::ceil(TextLayout::fontMetrics(fontSize).lineHeight()); }

// Text height of a result without its padding.
double textHeight(const TextLayoutResult& r) { return r.boxSize.height - 2 * r.padding; }
double textWidth(const TextLayoutResult& r) { return r.boxSize.width - 2 * r.padding; }

void expectGlyphsInsideBox(const TextLayoutResult& r, const std::string& what) {
    const Rect ink = r.glyphs.boundingBox();
    ASSERT_FALSE(ink.isNull()) << what;
    const Rect box{0, 0, r.boxSize.width, r.boxSize.height};
    EXPECT_TRUE(box.contains(ink)) << what << ": ink " << ink.minX() << "," << ink.minY() << " – " << ink.maxX()
                                   << "," << ink.maxY() << " box " << box.width << "x" << box.height;
}

}  // namespace

// Every number below assumes Helvetica's metrics; a substitute that is not
// metric-compatible would shift every box in every written file.
TEST(TextLayoutFont, HelveticaResolvesToAMetricCompatibleFamily) {
    const std::set<std::string> compatible{"Helvetica", "Nimbus Sans", "Nimbus Sans L", "TeX Gyre Heros",
                                           "Liberation Sans", "Arimo"};
    const std::string family = TextLayout::resolvedFamily();
    ASSERT_TRUE(compatible.count(family))
        << "\"Helvetica\" resolved to \"" << family
        << "\", which is not metric-compatible; install fonts-urw-base35 (Nimbus Sans)";
}

TEST(TextLayoutFont, AdvancesMatchHelveticaWidths) {
    // Helvetica's widths per 1000 em: H 722, e 556, l 222, o 556 → 2278.
    // "Hello" at 12 pt: 27.336 → rounded up 28, plus 1.
    const TextLayoutResult r = TextLayout::layout(spec("Hello"));
    EXPECT_DOUBLE_EQ(textWidth(r), 29);
    // At 100 pt the shaped advance is 227.8 → 228 + 1.
    EXPECT_DOUBLE_EQ(textWidth(TextLayout::layout(spec("Hello", 100))), 229);
}

TEST(TextLayoutSize, EmptyTextIsOneLineAtTheMinimumWidth) {
    const TextLayoutResult r = TextLayout::layout(spec(""));
    EXPECT_DOUBLE_EQ(r.padding, 1.2);
    EXPECT_DOUBLE_EQ(r.boxSize.width, 16.8);
    EXPECT_DOUBLE_EQ(r.boxSize.height, oneLine(12) + 2.4);
    EXPECT_TRUE(r.glyphs.isEmpty());
}

TEST(TextLayoutSize, OneLineIsAscentDescentAndLeadingRoundedUp) {
    const TextFontMetrics m = TextLayout::fontMetrics(12);
    EXPECT_GT(m.ascent, 12 * 0.6);
    EXPECT_GT(m.descent, 12 * 0.1);
    EXPECT_DOUBLE_EQ(textHeight(TextLayout::layout(spec("Hello"))), std::ceil(m.ascent + m.descent + m.leading));
    EXPECT_DOUBLE_EQ(textHeight(TextLayout::layout(spec("Hello", 37))), oneLine(37));
}

TEST(TextLayoutSize, PaddingDependsOnBoxingWithAFloor) {
    EXPECT_DOUBLE_EQ(TextLayout::layout(spec("x", 5, std::nullopt, true)).padding, 3);
    EXPECT_DOUBLE_EQ(TextLayout::layout(spec("x", 20, std::nullopt, true)).padding, 8);
    EXPECT_DOUBLE_EQ(TextLayout::layout(spec("x", 5)).padding, 1);
    EXPECT_DOUBLE_EQ(TextLayout::layout(spec("x", 30)).padding, 3);
}

TEST(TextLayoutSize, FontSizeIsClampedAndNotANumberMeansTwelve) {
    EXPECT_EQ(TextLayout::layout(spec("Ab", 1)), TextLayout::layout(spec("Ab", 2)));
    EXPECT_EQ(TextLayout::layout(spec("Ab", 1000)), TextLayout::layout(spec("Ab", 400)));
    EXPECT_EQ(TextLayout::layout(spec("Ab", -5)), TextLayout::layout(spec("Ab", 2)));
    EXPECT_EQ(TextLayout::layout(spec("Ab", std::nan(""))), TextLayout::layout(spec("Ab", 12)));
}

TEST(TextLayoutSize, FixedWidthIsWidenedToTheMinimumAndInfiniteMeansNone) {
    EXPECT_DOUBLE_EQ(textWidth(TextLayout::layout(spec("abc", 12, 5.0))), 14.4);
    EXPECT_DOUBLE_EQ(textWidth(TextLayout::layout(spec("abc", 12, 100.0))), 100);
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(TextLayout::layout(spec("abc", 12, inf)), TextLayout::layout(spec("abc")));
}

TEST(TextLayoutLines, ExplicitLineBreaksAlwaysStartNewLines) {
    EXPECT_DOUBLE_EQ(textHeight(TextLayout::layout(spec("a\n"))),
                     std::ceil(2 * TextLayout::fontMetrics(12).lineHeight()));
    EXPECT_DOUBLE_EQ(textHeight(TextLayout::layout(spec("one\ntwo\r\nthree"))),
                     std::ceil(3 * TextLayout::fontMetrics(12).lineHeight()));
    EXPECT_DOUBLE_EQ(textHeight(TextLayout::layout(spec("\n\n"))),
                     std::ceil(3 * TextLayout::fontMetrics(12).lineHeight()));
    // The width is that of the longest line, not of the whole text.
    EXPECT_DOUBLE_EQ(textWidth(TextLayout::layout(spec("Hello\nHe"))), 29);
}

TEST(TextLayoutLines, LinesFollowEachOtherOneLineHeightApart) {
    const TextFontMetrics m = TextLayout::fontMetrics(12);
    const Rect one = TextLayout::layout(spec("H")).glyphs.boundingBox();
    const TextLayoutResult three = TextLayout::layout(spec("H\nH\nH"));
    const Rect ink = three.glyphs.boundingBox();
    // The top line hangs from the top of the text area in both boxes.
    EXPECT_NEAR(three.boxSize.height - ink.maxY(),
                TextLayout::layout(spec("H")).boxSize.height - one.maxY(), 1e-9);
    EXPECT_NEAR(ink.height, one.height + 2 * m.lineHeight(), 1e-9);
}

TEST(TextLayoutLines, FixedWidthWrapsAtWordsAndEveryLineFits) {
    // "aaa bbb" is 43.37 points wide at 12 pt, "aaa bbb ccc" 66.72.
    const TextLayoutResult r = TextLayout::layout(spec("aaa bbb ccc", 12, 50.0));
    EXPECT_DOUBLE_EQ(textHeight(r), std::ceil(2 * TextLayout::fontMetrics(12).lineHeight()));
    EXPECT_LE(r.glyphs.boundingBox().maxX(), r.padding + 50);
    const TextLayoutResult wide = TextLayout::layout(spec("aaa bbb ccc", 12, 67.0));
    EXPECT_DOUBLE_EQ(textHeight(wide), oneLine(12));
}

TEST(TextLayoutLines, WithoutFixedWidthTextWrapsAtTwentyFourFontSizes) {
    const std::string words = "one two three four five six seven eight nine ten eleven twelve thirteen fourteen";
    const TextLayoutResult r = TextLayout::layout(spec(words));
    EXPECT_DOUBLE_EQ(textWidth(r), 24 * 12);
    EXPECT_GT(textHeight(r), oneLine(12));
    EXPECT_LE(r.glyphs.boundingBox().maxX(), r.padding + 24 * 12);
}

TEST(TextLayoutLines, AWordWiderThanTheLineIsBrokenBetweenCharacters) {
    const TextLayoutResult r = TextLayout::layout(spec(std::string(200, 'm')));
    EXPECT_DOUBLE_EQ(textWidth(r), 24 * 12);
    const double lines = textHeight(r) / TextLayout::fontMetrics(12).lineHeight();
    // 200 × 10 pt of "m" (833/1000 em) need 6 lines of 288 points.
    EXPECT_GE(lines, 5.9);
    EXPECT_LE(r.glyphs.boundingBox().maxX(), r.padding + 24 * 12);
    const TextLayoutResult narrow = TextLayout::layout(spec("abcdefghij", 12, 1.0));
    EXPECT_LE(narrow.glyphs.boundingBox().maxX(), narrow.padding + 14.4 + 1e-9);
    expectGlyphsInsideBox(narrow, "narrow");
}

TEST(TextLayoutGlyphs, LatinInkStaysInsideThePadding) {
    const TextLayoutResult r = TextLayout::layout(spec("Hallo Welt\nxyz", 12, std::nullopt, true));
    const Rect ink = r.glyphs.boundingBox();
    // The tallest letters reach the ascent exactly: allow rounding only.
    const Rect inner = Rect{r.padding, r.padding, textWidth(r), textHeight(r)}.insetBy(-1e-9, -1e-9);
    EXPECT_TRUE(inner.contains(ink)) << ink.minX() << "," << ink.minY() << " " << ink.maxX() << "," << ink.maxY();
}

TEST(TextLayoutGlyphs, LatinCyrillicAndCJKAllHaveOutlinesInsideTheBox) {
    for (const char* text : {"Hello", "Привет, мир", "你好世界", "Mixed Ёж 中文 text"}) {
        const TextLayoutResult r = TextLayout::layout(spec(text, 14, std::nullopt, true));
        EXPECT_FALSE(r.glyphs.isEmpty()) << text;
        expectGlyphsInsideBox(r, text);
    }
    // The CJK glyphs come from a fallback font: a blank .notdef would be
    // tiny or empty, a real ideograph fills most of the em.
    const Rect cjk = TextLayout::layout(spec("中")).glyphs.boundingBox();
    EXPECT_GT(cjk.height, 12 * 0.6);
    EXPECT_GT(cjk.width, 12 * 0.6);
}

TEST(TextLayoutCache, EqualSpecsShareTheCachedResult) {
    const TextSpec s = spec("cached text", 13, 80.0, true);
    const TextLayoutResult first = TextLayout::layout(s);
    const TextLayoutResult second = TextLayout::layout(TextSpec(s));
    EXPECT_TRUE(first.glyphs.sharesStorageWith(second.glyphs));
    EXPECT_EQ(first, TextLayout::layoutUncached(s));
    EXPECT_FALSE(TextLayout::layout(spec("cached text", 13, 80.0, false)).glyphs.sharesStorageWith(first.glyphs));
}

TEST(TextLayoutCache, HoldsAtMostItsCapacity) {
    for (int i = 0; i < 600; ++i) TextLayout::layout(spec("n" + std::to_string(i)));
    EXPECT_LE(TextLayout::cachedEntryCount(), TextLayout::cacheCapacity);
    EXPECT_GE(TextLayout::cachedEntryCount(), 500u);
}

TEST(TextLayoutInput, InvalidUTF8LaysOutAsReplacementCharacters) {
    // A lone surrogate encoded in UTF-8, a stray continuation byte, a cut sequence.
    EXPECT_EQ(TextLayout::layout(spec("a\xED\xA0\x80z")).boxSize,
              TextLayout::layout(spec("a\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBDz")).boxSize);
    const TextLayoutResult r = TextLayout::layout(spec("x\x80y\xE2\x82"));
    EXPECT_FALSE(r.glyphs.isEmpty());
    expectGlyphsInsideBox(r, "cut sequence");
}

TEST(TextLayoutInput, AnyUnicodeTextLaysOut) {
    const char* texts[] = {
        "\xF0\x9F\x98\x80\xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9",  // emoji and a ZWJ sequence
        "שלום עולם abc 123",                                              // right to left mixed with left to right
        "مرحبا بالعالم",                                                  // joined Arabic
        "e\xCC\x81\xCC\x81\xCC\x81",                                       // stacked combining marks
        "tab\there\x01\x1B",                                               // control characters
        "\xE2\x80\xAE reversed \xE2\x80\xAC",                              // bidi overrides
        "\xF4\x8F\xBF\xBF \xEF\xBF\xBF",                                    // noncharacters
        "\r\r\n\xE2\x80\xA8\xE2\x80\xA9\x0B\x0C",                          // every kind of line break
    };
    for (const char* text : texts) {
        for (std::optional<double> width : {std::optional<double>(), std::optional<double>(1.0)}) {
            const TextLayoutResult r = TextLayout::layoutUncached(spec(text, 12, width));
            EXPECT_TRUE(std::isfinite(r.boxSize.width) && std::isfinite(r.boxSize.height)) << text;
            if (!r.glyphs.isEmpty()) expectGlyphsInsideBox(r, text);
        }
    }
}

TEST(TextLayoutInput, AHundredThousandCharactersLayOut) {
    std::string text;
    for (int i = 0; i < 10000; ++i) text += i % 7 == 0 ? "Wörter\n  " : "abcd efg ";
    text.resize(100000);
    const TextLayoutResult r = TextLayout::layoutUncached(spec(text));
    EXPECT_DOUBLE_EQ(textWidth(r), 24 * 12);
    EXPECT_GT(textHeight(r), 1000 * TextLayout::fontMetrics(12).lineHeight());
    expectGlyphsInsideBox(r, "long text");
    // One unbroken word of the same length, at a narrow fixed width.
    const TextLayoutResult word = TextLayout::layoutUncached(spec(std::string(100000, 'i'), 12, 30.0));
    expectGlyphsInsideBox(word, "long word");
}
