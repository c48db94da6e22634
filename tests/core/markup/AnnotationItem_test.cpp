// The item model's values: colours, kinds, rotations, identities and the
// stroke builder's simplification.
#include "core/markup/AnnotationItem.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <set>
#include <unordered_set>

#include "core/markup/StrokeBuilder.h"

namespace quillet {
namespace {

using std::chrono::seconds;
using std::chrono::sys_seconds;
using Points = std::vector<Point>;
const double nan = std::nan("");
const double inf = std::numeric_limits<double>::infinity();

AnnotationItem item(Shape shape, int64_t rotation = 0, sys_seconds modified = sys_seconds{seconds{1000}}) {
    return AnnotationItem(UUID(), std::move(shape), RGBA::defaultInk(), 2, rotation, modified);
}

TEST(RGBA, ClampsIntoTheUnitRangeUnlessUnclamped) {
    EXPECT_EQ(RGBA(1.5, -0.2, 0.5, 2), RGBA::unclamped(1, 0, 0.5, 1));
    RGBA odd(nan, -0.0, inf, 0.25);
    EXPECT_EQ(odd, RGBA::unclamped(0, 0, 1, 0.25));
    EXPECT_FALSE(std::signbit(odd.g));
    EXPECT_EQ(RGBA(0.2, 0.3, 0.4, 1).withAlpha(7), RGBA(0.2, 0.3, 0.4, 1));
    EXPECT_EQ(RGBA::unclamped(1.5, -0.2, 0.5, 2).r, 1.5);
    // Zero of either sign hashes alike.
    std::hash<RGBA> h;
    EXPECT_EQ(h(RGBA::unclamped(0.0, 0.5, 0.5, 1)), h(RGBA::unclamped(-0.0, 0.5, 0.5, 1)));
    EXPECT_EQ((std::unordered_set<RGBA>{RGBA::defaultInk(), RGBA::white(), RGBA::defaultInk()}.size()), 2u);
}

TEST(InkKind, RawValuesRoundTripAndOtherTextsFail) {
    for (InkKind k : {InkKind::pen, InkKind::highlighter, InkKind::signature})
        EXPECT_EQ(inkKindFromRawValue(rawValue(k)), k);
    for (const char* text : {"Pen", "", "marker"}) EXPECT_FALSE(inkKindFromRawValue(text)) << text;
}

TEST(AnnotationItem, RotationIsNormalizedToAQuarterTurnInZeroTo270) {
    const std::pair<int64_t, int64_t> cases[] = {{0, 0},
                                                 {90, 90},
                                                 {450, 90},
                                                 {-90, 270},
                                                 {100, 90},
                                                 {359, 270},
                                                 {720, 0},
                                                 {-1, 270},
                                                 {89, 0},
                                                 {-360, 0},
                                                 {std::numeric_limits<int64_t>::min(), 270}};
    for (auto [given, held] : cases) EXPECT_EQ(item(InkShape{}, given).rotation, held) << given;
}

TEST(AnnotationItem, KindNameTextSpecAndEqualityFollowTheShape) {
    TextSpec spec{"Hi", 14, 120.0, true};
    EXPECT_EQ(item(InkShape{InkKind::signature, {}}).kindName(), "signature");
    EXPECT_EQ(item(ArrowShape{{0, 0}, {5, 5}, std::nullopt}).kindName(), "arrow");
    EXPECT_EQ(item(NoteShape{{0, 0}, {5, 5}, spec}).kindName(), "note");
    EXPECT_FALSE(item(InkShape{}).textSpec());
    EXPECT_EQ(item(TextShape{{1, 2}, spec}).textSpec(), spec);
    EXPECT_FALSE(item(ArrowShape{{0, 0}, {5, 5}, std::nullopt}).textSpec());
    EXPECT_EQ(item(ArrowShape{{0, 0}, {5, 5}, spec}).textSpec(), spec);
    EXPECT_TRUE(item(NoteShape{{0, 0}, {5, 5}, spec}).isNote());

    EXPECT_NE(Shape(ArrowShape{{0, 0}, {5, 5}, std::nullopt}), Shape(ArrowShape{{0, 0}, {5, 5}, TextSpec{}}));
    EXPECT_NE(Shape(TextShape{{0, 0}, TextSpec{}}), Shape(NoteShape{{0, 0}, {0, 0}, TextSpec{}}));
    EXPECT_NE(Shape(InkShape{InkKind::pen, {{{1, 2}}}}), Shape(InkShape{InkKind::pen, {{{1, 2}}, {}}}));
    EXPECT_NE((TextSpec{"x", 12, std::nullopt, false}), (TextSpec{"x", 12, 10.0, false}));
    Shape arrow = ArrowShape{{0, 0}, {5, 5}, std::nullopt};
    EXPECT_NE(item(arrow, 0, sys_seconds{seconds{1}}), item(arrow, 0, sys_seconds{seconds{2}}));
}

TEST(AnnotationItem, CurrentModificationTimeIsAWholeSecondNearNow) {
    auto now = std::chrono::system_clock::now();
    sys_seconds t = AnnotationItem::currentModificationTime();
    EXPECT_LE(t, now);
    EXPECT_GT(t + seconds{2}, now);
}

TEST(UUID, ParsesEitherCaseAndFormatsCanonicalUpperCase) {
    auto lower = UUID::parse("5e6a1d2c-0000-4000-8000-00000000002a");
    ASSERT_TRUE(lower);
    EXPECT_EQ(lower, UUID::parse("5E6A1D2C-0000-4000-8000-00000000002A"));
    EXPECT_EQ(lower->text(), "5E6A1D2C-0000-4000-8000-00000000002A");
    EXPECT_EQ(lower->bytes()[15], 0x2A);
    for (const char* bad : {"", "5E6A1D2C00004000800000000000002A", "{5E6A1D2C-0000-4000-8000-00000000002A}",
                            "5E6A1D2C-0000-4000-8000-00000000002", "5E6A1D2C-0000-4000-8000-00000000002AB",
                            "5E6A1D2C-0000-4000-8000-00000000002G", "5E6A1D2C+0000-4000-8000-00000000002A",
                            "5E6A1D2C-00004-000-8000-00000000002A", " 5E6A1D2C-0000-4000-8000-00000000002A"})
        EXPECT_FALSE(UUID::parse(bad)) << bad;
}

TEST(UUID, RandomIdsAreVersion4AndDistinct) {
    std::set<UUID> seen;
    for (int i = 0; i < 1000; ++i) {
        UUID id = UUID::random();
        EXPECT_EQ(id.bytes()[6] >> 4, 4);
        EXPECT_EQ(id.bytes()[8] & 0xC0, 0x80);
        EXPECT_EQ(UUID::parse(id.text()), id);
        seen.insert(id);
    }
    EXPECT_EQ(seen.size(), 1000u);
}

TEST(StrokeBuilder, AddDropsNonFinitePointsAndPointsCloserThanMinDistance) {
    StrokeBuilder b(1);
    for (Point p : Points{{nan, 0}, {0, inf}, {0, 0}, {0.5, 0.5}, {0.6, 0.8}, {0.6, nan}}) b.add(p);
    EXPECT_EQ(b.points(), (Points{{0, 0}, {0.6, 0.8}}));  // exactly 1 away is kept
}

TEST(StrokeBuilder, FinishRoundsHalvesAwayFromZeroAndSimplifiesLongerStrokes) {
    StrokeBuilder b;
    EXPECT_TRUE(b.finish(0.25).empty());
    b.add({12.3456, -0.125});
    b.add({0.005, 2.675});
    EXPECT_EQ(b.finish(100), (Points{{12.35, -0.13}, {0.01, 2.68}}));
    StrokeBuilder corner;
    for (Point p : Points{{0, 0}, {5, 0.001}, {10, 0}, {10, 10.0049}}) corner.add(p);
    EXPECT_EQ(corner.finish(0.25), (Points{{0, 0}, {10, 0}, {10, 10}}));
    EXPECT_EQ(corner.points().size(), 4u) << "finish leaves the builder as it is";
}

TEST(StrokeBuilder, SimplifyKeepsOnlyPointsFartherThanTheTolerance) {
    const Points zigzag{{0, 0}, {1, 0.2}, {2, -0.2}, {3, 2}, {4, 0}};
    EXPECT_EQ(StrokeBuilder::simplify(zigzag, 1.5), (Points{{0, 0}, {3, 2}, {4, 0}}));
    EXPECT_EQ(StrokeBuilder::simplify(zigzag, 0.5), (Points{{0, 0}, {2, -0.2}, {3, 2}, {4, 0}}));
    EXPECT_EQ(StrokeBuilder::simplify(zigzag, 0.1), zigzag);
    EXPECT_EQ(StrokeBuilder::simplify({{0, 0}, {1, 1}, {2, 0}}, 1), (Points{{0, 0}, {2, 0}}));  // at: dropped
    const Points line{{0, 0}, {1, 0}, {2, 0}};
    for (double tolerance : {0.0, -1.0, nan}) EXPECT_EQ(StrokeBuilder::simplify(line, tolerance), line);
}

TEST(StrokeBuilder, ClosedStrokeMeasuresFromItsStartAndPrefersTheLowerIndexOnTies) {
    Points loop{{0, 0}, {4, 0}, {2, 1}, {0, 4}, {0, 0}};
    EXPECT_EQ(StrokeBuilder::simplify(loop, 0.8), (Points{{0, 0}, {4, 0}, {0, 4}, {0, 0}}));
    // (1, 1) and (2, 1) are equally far from the chord; the lower index wins.
    Points tie{{0, 0}, {1, 1}, {2, 1}, {3, 0}};
    EXPECT_EQ(StrokeBuilder::simplify(tie, 0.5), (Points{{0, 0}, {1, 1}, {3, 0}}));
}

TEST(StrokeBuilder, SimplifyKeepsEveryCornerOfALongZigzag) {
    // Every split is lopsided here, as deep as the stroke is long.
    Points wave;
    for (int i = 0; i < 3'000; ++i) wave.push_back({double(i), (i % 2) * 3.0});
    EXPECT_EQ(StrokeBuilder::simplify(wave, 1).size(), wave.size());
}

}  // namespace
}  // namespace quillet
