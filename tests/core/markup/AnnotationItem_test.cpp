#include "core/markup/AnnotationItem.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <unordered_set>

namespace quillet {
namespace {

using std::chrono::seconds;
using std::chrono::sys_seconds;

AnnotationItem item(Shape shape, int64_t rotation = 0, sys_seconds modified = sys_seconds{seconds{1000}}) {
    UUID id = *UUID::parse("5E6A1D2C-0000-4000-8000-00000000002A");
    return AnnotationItem(id, std::move(shape), RGBA::defaultInk(), 2, rotation, modified);
}

TEST(RGBA, ConstructionClampsEveryComponentIntoTheUnitRange) {
    RGBA c(1.5, -0.2, 0.5, 2);
    EXPECT_EQ(c, RGBA::unclamped(1, 0, 0.5, 1));
    RGBA nan(std::nan(""), -0.0, std::numeric_limits<double>::infinity(), 0.25);
    EXPECT_EQ(nan, RGBA::unclamped(0, 0, 1, 0.25));
    EXPECT_FALSE(std::signbit(nan.g));
}

TEST(RGBA, WithAlphaKeepsTheColourAndClampsTheAlpha) {
    EXPECT_EQ(RGBA(0.2, 0.3, 0.4, 1).withAlpha(0.5), RGBA(0.2, 0.3, 0.4, 0.5));
    EXPECT_EQ(RGBA(0.2, 0.3, 0.4, 1).withAlpha(7), RGBA(0.2, 0.3, 0.4, 1));
}

TEST(RGBA, UnclampedKeepsStoredValuesAsTheyAre) {
    RGBA c = RGBA::unclamped(1.5, -0.2, 0.5, 2);
    EXPECT_EQ(c.r, 1.5);
    EXPECT_EQ(c.g, -0.2);
    EXPECT_EQ(c.a, 2);
}

TEST(RGBA, ZeroOfEitherSignHashesAlike) {
    std::hash<RGBA> h;
    EXPECT_EQ(h(RGBA::unclamped(0.0, 0.5, 0.5, 1)), h(RGBA::unclamped(-0.0, 0.5, 0.5, 1)));
    std::unordered_set<RGBA> set{RGBA::defaultInk(), RGBA::white(), RGBA::defaultInk()};
    EXPECT_EQ(set.size(), 2u);
}

TEST(InkKind, RawValuesRoundTripAndOtherTextsFail) {
    for (InkKind k : {InkKind::pen, InkKind::highlighter, InkKind::signature}) {
        EXPECT_EQ(inkKindFromRawValue(rawValue(k)), k);
    }
    EXPECT_EQ(rawValue(InkKind::highlighter), "highlighter");
    EXPECT_FALSE(inkKindFromRawValue("Pen"));
    EXPECT_FALSE(inkKindFromRawValue(""));
    EXPECT_FALSE(inkKindFromRawValue("marker"));
}

TEST(AnnotationItem, RotationIsNormalizedToAQuarterTurnInZeroTo270) {
    const std::pair<int64_t, int64_t> cases[] = {
        {0, 0},     {90, 90},   {450, 90},  {-90, 270}, {100, 90},
        {359, 270}, {720, 0},   {-1, 270},  {89, 0},    {-360, 0},
        {std::numeric_limits<int64_t>::min(), AnnotationItem::normalizedRotation(std::numeric_limits<int64_t>::min() % 360 + 360)},
    };
    for (auto [given, held] : cases) {
        EXPECT_EQ(item(InkShape{}, given).rotation, held) << given;
    }
}

TEST(AnnotationItem, KindNameAndTextSpecFollowTheShape) {
    TextSpec spec{"Hi", 14, 120.0, true};
    EXPECT_EQ(item(InkShape{InkKind::signature, {}}).kindName(), "signature");
    EXPECT_EQ(item(TextShape{{1, 2}, spec}).kindName(), "text");
    EXPECT_EQ(item(ArrowShape{{0, 0}, {5, 5}, std::nullopt}).kindName(), "arrow");
    EXPECT_EQ(item(NoteShape{{0, 0}, {5, 5}, spec}).kindName(), "note");

    EXPECT_FALSE(item(InkShape{}).textSpec());
    EXPECT_EQ(item(TextShape{{1, 2}, spec}).textSpec(), spec);
    EXPECT_EQ(item(NoteShape{{0, 0}, {5, 5}, spec}).textSpec(), spec);
    EXPECT_FALSE(item(ArrowShape{{0, 0}, {5, 5}, std::nullopt}).textSpec());
    EXPECT_EQ(item(ArrowShape{{0, 0}, {5, 5}, spec}).textSpec(), spec);

    EXPECT_TRUE(item(TextShape{{1, 2}, spec}).isText());
    EXPECT_FALSE(item(TextShape{{1, 2}, spec}).isNote());
    EXPECT_TRUE(item(NoteShape{{0, 0}, {5, 5}, spec}).isNote());
}

TEST(AnnotationItem, ItemsDifferingOnlyInModificationTimeAreNotEqual) {
    Shape s = ArrowShape{{0, 0}, {5, 5}, std::nullopt};
    EXPECT_EQ(item(s), item(s));
    EXPECT_NE(item(s, 0, sys_seconds{seconds{1}}), item(s, 0, sys_seconds{seconds{2}}));
}

TEST(Shape, EqualityComparesCaseAndEveryValue) {
    EXPECT_EQ(Shape(ArrowShape{{0, 0}, {5, 5}, std::nullopt}), Shape(ArrowShape{{0, 0}, {5, 5}, std::nullopt}));
    EXPECT_NE(Shape(ArrowShape{{0, 0}, {5, 5}, std::nullopt}), Shape(ArrowShape{{0, 0}, {5, 5}, TextSpec{}}));
    EXPECT_NE(Shape(TextShape{{0, 0}, TextSpec{}}), Shape(NoteShape{{0, 0}, {0, 0}, TextSpec{}}));
    EXPECT_NE(Shape(InkShape{InkKind::pen, {{{1, 2}}}}), Shape(InkShape{InkKind::pen, {{{1, 2}}, {}}}));
    TextSpec a{"x", 12, std::nullopt, false}, b = a;
    b.fixedWidth = 10;
    EXPECT_NE(a, b);
    EXPECT_EQ(Shape().shapeCase(), Shape::Case::ink);
    EXPECT_EQ(Shape(NoteShape{}).shapeCase(), Shape::Case::note);
}

TEST(AnnotationItem, CurrentModificationTimeIsAWholeSecondNearNow) {
    auto now = std::chrono::system_clock::now();
    sys_seconds t = AnnotationItem::currentModificationTime();
    EXPECT_LE(t, now);
    EXPECT_GT(t + seconds{2}, now);
}

}  // namespace
}  // namespace quillet
