#include "core/markup/NotePalette.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace quillet;

namespace {

void expectNear(const RGBA& actual, const RGBA& expected) {
    EXPECT_NEAR(actual.r, expected.r, 1e-12);
    EXPECT_NEAR(actual.g, expected.g, 1e-12);
    EXPECT_NEAR(actual.b, expected.b, 1e-12);
    EXPECT_NEAR(actual.a, expected.a, 1e-12);
}

}  // namespace

TEST(NotePalette, YellowIsLightAndGetsDarkIconLines) {
    const NotePalette p(RGBA(1, 1, 0, 1));
    expectNear(p.iconFill, RGBA(1, 1, 0, 1));
    expectNear(p.iconStroke, RGBA(0.6, 0.6, 0, 1));
    expectNear(p.iconLines, RGBA(0.3, 0.3, 0, 1));
    expectNear(p.bubbleFill, RGBA(1, 1, 0.86, 1));
    expectNear(p.bubbleBorder, RGBA(0.8, 0.8, 0, 1));
    expectNear(p.text, RGBA(0.1, 0.1, 0.12, 1));
}

TEST(NotePalette, BlueIsDarkAndGetsWhiteIconLines) {
    const NotePalette p(RGBA(0, 0, 1, 1));
    expectNear(p.iconLines, RGBA::white());
    expectNear(p.bubbleFill, RGBA(0.86, 0.86, 1, 1));
}

TEST(NotePalette, ItemAlphaAndOutOfRangeComponentsDoNotLeakIntoTheNote) {
    const NotePalette p(RGBA::unclamped(1.5, -0.5, std::nan(""), 0.2));
    expectNear(p.iconFill, RGBA(1, 0, 0, 1));
    expectNear(p.bubbleFill, RGBA(1, 0.86, 0.86, 1));
    for (const RGBA& c : {p.iconFill, p.iconStroke, p.iconLines, p.bubbleFill, p.bubbleBorder, p.text})
        EXPECT_EQ(c.a, 1);
}
