// The bounds and the bytes of the appearance stream every viewer reads.
#include "core/markup/ItemAppearanceBuilder.h"

#include <gtest/gtest.h>

#include <string>

#include "MarkupTestSupport.h"
#include "core/pdf/Flate.h"

using namespace quillet;
using namespace quillet::testing;

namespace {

std::string contentOf(const AnnotationItem& item) {
    return ItemAppearanceBuilder::contentStream(ItemAppearanceBuilder::build(item, false));
}

std::string resourcesOf(const ItemAppearance& a) {
    return written(*ItemAppearanceBuilder::formXObject(a).dict.find("Resources"));
}

DrawCommand fillOfAlpha(double alpha, bool multiply) {
    PathBuilder b;
    b.addRect({0, 0, 10, 10});
    return {b.build(), Paint::fill(), RGBA(0, 0, 0, alpha), multiply};
}

}  // namespace

TEST(AppearanceBounds, AreWholeNumbersAroundWhatIsDrawnAndZeroForNothing) {
    // A one-point stroke covers line width + 2 around the point, then whole numbers outward.
    EXPECT_EQ(ItemAppearanceBuilder::build(makeInk(InkKind::pen, {{{10.5, 20}}}, RGBA(0, 0, 0, 1), 4), false)
                  .bounds,
              (Rect{7, 17, 7, 6}));
    // Nothing painted gives the zero rectangle, and a form of nothing.
    const auto bare =
        ItemAppearanceBuilder::build(makeItem(ArrowShape{{40, 40}, {40, 40}, std::nullopt}), false);
    EXPECT_TRUE(bare.commands.empty());
    EXPECT_EQ(bare.bounds, Rect{});
    const auto form = ItemAppearanceBuilder::formXObject(bare);
    EXPECT_EQ(written(*form.dict.find("BBox")), "[0 0 0 0]");
    EXPECT_EQ(written(*form.dict.find("Resources")), "<<>>");
    EXPECT_EQ(Flate::inflate(form.data, Flate::kStreamDataLimit), "");
}

TEST(AppearanceContent, InkWritesItsColourWidthAndSmoothedPathAndAGraphicsStateOnlyBelowFullAlpha) {
    const std::vector<Stroke> pen{{{10, 20}, {20, 30}, {30, 20}}}, line{{{0, 0}, {5, 5}}};
    const std::tuple<const char*, AnnotationItem, const char*> cases[] = {
        // The quadratic to (25, 25) with control (20, 30) becomes a cubic with
        // controls two thirds of the way to (20, 30) from either end.
        {"red pen", makeInk(InkKind::pen, pen, RGBA(1, 0, 0, 1), 2),
         "q\n1 0 0 RG 2 w 1 J 1 j\n10 20 m\n16.6667 26.6667 21.6667 28.3333 25 25 c\n30 20 l\nS\nQ\n"},
        {"three decimals", makeInk(InkKind::pen, line, RGBA(0.12345, 0.0005, 0.99949, 1), 1),
         "q\n0.123 0.001 0.999 RG 1 w 1 J 1 j\n0 0 m\n5 5 l\nS\nQ\n"},
        {"highlighter", makeInk(InkKind::highlighter, line, RGBA(1, 1, 0, 1), 12),
         "q\n/GS400m gs\n1 1 0 RG 12 w 1 J 1 j\n0 0 m\n5 5 l\nS\nQ\n"},
        {"alpha 0.9996 rounds to opaque", makeInk(InkKind::pen, line, RGBA(0, 0, 0, 0.9996), 1),
         "q\n0 0 0 RG 1 w 1 J 1 j\n0 0 m\n5 5 l\nS\nQ\n"}};
    for (const auto& [what, item, content] : cases) EXPECT_EQ(contentOf(item), content) << what;
    EXPECT_EQ(resourcesOf(ItemAppearanceBuilder::build(std::get<1>(cases[0]), false)), "<<>>");
    EXPECT_EQ(resourcesOf(ItemAppearanceBuilder::build(std::get<1>(cases[2]), false)),
              "<</ExtGState <</GS400m <</Type /ExtGState /CA 0.4 /ca 0.4 /BM /Multiply >> >> >>");
}

TEST(AppearanceGraphicsState, NeighbouringAlphasGetTheirOwnStatesInNameOrder) {
    // Alphas a thousandth apart must not share a name, or one of them would
    // be drawn with the other's opacity; a repeated state is listed once.
    const auto a = ItemAppearance::fromCommands({fillOfAlpha(0.289, false), fillOfAlpha(0.288, false),
                                                 fillOfAlpha(0.4, true), fillOfAlpha(0.289, false)});
    EXPECT_EQ(resourcesOf(a),
              "<</ExtGState <<"
              "/GS288 <</Type /ExtGState /CA 0.288 /ca 0.288 >> "
              "/GS289 <</Type /ExtGState /CA 0.289 /ca 0.289 >> "
              "/GS400m <</Type /ExtGState /CA 0.4 /ca 0.4 /BM /Multiply >> >> >>");
    const std::string content = ItemAppearanceBuilder::contentStream(a);
    EXPECT_NE(content.find("/GS289 gs\n"), std::string::npos);
    EXPECT_NE(content.find("/GS288 gs\n"), std::string::npos);
}
