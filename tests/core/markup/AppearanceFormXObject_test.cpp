// The appearance stream bytes every viewer reads: content operators, graphics
// states, compression and the Form XObject's dictionary.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "core/markup/ItemAppearanceBuilder.h"
#include "core/markup/StrokePath.h"
#include "core/pdf/Flate.h"
#include "core/pdf/PDFWriter.h"

using namespace quillet;

namespace {

AnnotationItem ink(InkKind kind, std::vector<Stroke> strokes, RGBA color, double width) {
    return AnnotationItem(UUID(), InkShape{kind, std::move(strokes)}, color, width, 0,
                          std::chrono::sys_seconds{});
}

std::string written(const PDFValue& value) {
    Bytes out;
    PDFWriter::write(value, out);
    return out;
}

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

TEST(AppearanceContent, InkWritesItsColourWidthAndSmoothedPathAndAGraphicsStateOnlyBelowFullAlpha) {
    const std::vector<Stroke> pen{{{10, 20}, {20, 30}, {30, 20}}}, line{{{0, 0}, {5, 5}}};
    const std::tuple<const char*, AnnotationItem, const char*> cases[] = {
        // The quadratic to (25, 25) with control (20, 30) becomes a cubic with
        // controls two thirds of the way to (20, 30) from either end.
        {"red pen", ink(InkKind::pen, pen, RGBA(1, 0, 0, 1), 2),
         "q\n1 0 0 RG 2 w 1 J 1 j\n10 20 m\n16.6667 26.6667 21.6667 28.3333 25 25 c\n30 20 l\nS\nQ\n"},
        {"dot", ink(InkKind::pen, {{{100, 50.5}}}, RGBA(0, 0, 1, 1), 0.75),
         "q\n0 0 1 RG 0.75 w 1 J 1 j\n100 50.5 m\n100 50.5 l\nS\nQ\n"},
        {"three decimals", ink(InkKind::pen, line, RGBA(0.12345, 0.0005, 0.99949, 1), 1),
         "q\n0.123 0.001 0.999 RG 1 w 1 J 1 j\n0 0 m\n5 5 l\nS\nQ\n"},
        {"highlighter", ink(InkKind::highlighter, line, RGBA(1, 1, 0, 1), 12),
         "q\n/GS400m gs\n1 1 0 RG 12 w 1 J 1 j\n0 0 m\n5 5 l\nS\nQ\n"},
        {"alpha 0.9996 rounds to opaque", ink(InkKind::pen, line, RGBA(0, 0, 0, 0.9996), 1),
         "q\n0 0 0 RG 1 w 1 J 1 j\n0 0 m\n5 5 l\nS\nQ\n"},
        {"half", ink(InkKind::pen, line, RGBA(0, 0, 0, 0.5), 1),
         "q\n/GS500 gs\n0 0 0 RG 1 w 1 J 1 j\n0 0 m\n5 5 l\nS\nQ\n"}};
    for (const auto& [what, item, content] : cases) EXPECT_EQ(contentOf(item), content) << what;
    EXPECT_EQ(resourcesOf(ItemAppearanceBuilder::build(std::get<1>(cases[0]), false)), "<<>>");
    EXPECT_EQ(resourcesOf(ItemAppearanceBuilder::build(std::get<1>(cases[3]), false)),
              "<</ExtGState <</GS400m <</Type /ExtGState /CA 0.4 /ca 0.4 /BM /Multiply >> >> >>");
}

TEST(AppearanceContent, FillsAndClosedSubpathsUseFillOperators) {
    PathBuilder b;
    b.moveTo({0, 0});
    b.lineTo({4, 0});
    b.lineTo({4, 4});
    b.close();
    // After the close the quadratic starts from the subpath's start again.
    b.moveTo({0, 0});
    b.quadTo({3, 0}, {3, 3});
    const ItemAppearance a =
        ItemAppearance::fromCommands({{b.build(), Paint::fill(), RGBA(0, 0.5, 0, 1), false}});
    EXPECT_EQ(ItemAppearanceBuilder::contentStream(a),
              "q\n0 0.5 0 rg\n0 0 m\n4 0 l\n4 4 l\nh\n0 0 m\n2 0 3 1 3 3 c\nf\nQ\n");
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

TEST(AppearanceGraphicsState, OpaqueMultiplyNamesAStateAndColoursAreWrittenClamped) {
    EXPECT_EQ(resourcesOf(ItemAppearance::fromCommands({fillOfAlpha(1, true)})),
              "<</ExtGState <</GS1000m <</Type /ExtGState /CA 1 /ca 1 /BM /Multiply >> >> >>");
    // Stored tool colours may carry components out of range; PDF operands must not.
    DrawCommand c = fillOfAlpha(1, false);
    c.color = RGBA::unclamped(1.7, -0.2, 0.5, -0.3);
    EXPECT_EQ(ItemAppearanceBuilder::contentStream(ItemAppearance::fromCommands({c})).substr(0, 23),
              "q\n/GS0 gs\n1 0 0.5 rg\n0 ");
}

TEST(AppearanceFormXObject, DictionaryEntriesComeInTheirFixedOrder) {
    const auto pen = ink(InkKind::pen, {{{10, 20}, {20, 30}, {30, 20}}}, RGBA(1, 0, 0, 1), 2);
    const auto appearance = ItemAppearanceBuilder::build(pen, false);
    const auto form = ItemAppearanceBuilder::formXObject(appearance);
    EXPECT_EQ(written(PDFValue::dict(form.dict)),
              "<</Type /XObject /Subtype /Form /FormType 1 /BBox [8 18 32 29] /Matrix [1 0 0 1 0 0] "
              "/Resources <<>> /Filter /FlateDecode >>");
    EXPECT_EQ(form.data, Flate::deflate(ItemAppearanceBuilder::contentStream(appearance), 6));
    EXPECT_EQ(Flate::inflate(form.data, Flate::kStreamDataLimit),
              ItemAppearanceBuilder::contentStream(appearance));
}

TEST(AppearanceFormXObject, BBoxOverrideReplacesTheBoundsOnly) {
    const auto appearance =
        ItemAppearanceBuilder::build(ink(InkKind::pen, {{{10, 20}, {12, 22}}}, RGBA(1, 0, 0, 1), 2), false);
    const auto widened = ItemAppearanceBuilder::formXObject(appearance, Rect{32, 44, -24, -24});
    EXPECT_EQ(written(*widened.dict.find("BBox")), "[8 20 32 44]");
    EXPECT_EQ(written(*widened.dict.find("Matrix")), "[1 0 0 1 0 0]");
    EXPECT_EQ(widened.data, ItemAppearanceBuilder::formXObject(appearance).data);
}

TEST(AppearanceFormXObject, EmptyAppearanceHasAZeroBBoxAndNoResources) {
    const auto form = ItemAppearanceBuilder::formXObject(ItemAppearance::fromCommands({}));
    EXPECT_EQ(written(*form.dict.find("BBox")), "[0 0 0 0]");
    EXPECT_EQ(written(*form.dict.find("Resources")), "<<>>");
    EXPECT_EQ(Flate::inflate(form.data, Flate::kStreamDataLimit), "");
}
