#include "app/ui/ViewStates.h"

#include <gtest/gtest.h>

#include "support/QtTestSupport.h"

namespace quillet {
namespace {

class ViewStatesTest : public ::testing::Test {
  protected:
    testing::TempDir dir;
    std::unique_ptr<QSettings> store = testing::settingsIn(dir.file("defaults.ini"));
};

TEST_F(ViewStatesTest, KeepsTheNewestTwoHundredEntries) {
    ViewStates states(*store);
    // Stored out of time order, so the oldest is not simply the first written.
    for (int i = 0; i < 200; ++i) {
        states.save(QStringLiteral("/doc/%1.pdf").arg(i), ViewState{1, 1, 0, 1000 + (i * 7919) % 200});
    }
    states.save(QStringLiteral("/doc/new.pdf"), ViewState{3, 1.5, 0, 5000});

    EXPECT_EQ(store->value(ViewStates::defaultsKey).toMap().size(), ViewStates::maxEntries);
    // Entry 0 has time 1000, the smallest.
    EXPECT_FALSE(states.load(QStringLiteral("/doc/0.pdf")));
    ASSERT_TRUE(states.load(QStringLiteral("/doc/new.pdf")));
    EXPECT_EQ(states.load(QStringLiteral("/doc/new.pdf"))->page, 3);
    EXPECT_EQ(states.load(QStringLiteral("/doc/new.pdf"))->scale, 1.5);
    EXPECT_TRUE(states.load(QStringLiteral("/doc/1.pdf")));
    // Keys carry the prefix and the path.
    EXPECT_TRUE(
        store->value(ViewStates::defaultsKey).toMap().contains(QStringLiteral("QuilletView:/doc/new.pdf")));
}

TEST_F(ViewStatesTest, RestoresOnlyPlausibleScalesAndExistingPages) {
    struct Case {
        ViewState state;
        std::optional<double> scale;
        std::optional<int> page;
    };
    const Case cases[] = {
        {{4, 1.5, 0, 0}, 1.5, 4},
        {{4, 25, 0, 0}, std::nullopt, 4},    // a scale of 25 is ignored, the page kept
        {{4, 0.05, 0, 0}, std::nullopt, 4},  // the bounds are excluded
        {{4, 1.5, 1, 0}, std::nullopt, 4},   // "auto" 1 keeps fitting the width
        {{2.6, 1, 0, 0}, 1, 3},              // rounded
        {{10, 1, 0, 0}, 1, std::nullopt},    // past the last page
        {{-1, 1, 0, 0}, 1, std::nullopt},
    };
    for (const Case& c : cases) {
        const ViewRestore restore = ViewStates::restoreFor(c.state, 10);
        EXPECT_EQ(restore.scale, c.scale) << c.state.page << " " << c.state.scale;
        EXPECT_EQ(restore.page, c.page) << c.state.page << " " << c.state.scale;
    }
}

}  // namespace
}  // namespace quillet
