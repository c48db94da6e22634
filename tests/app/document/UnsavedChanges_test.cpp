// The user's edits against the file they were made on, and the same edits
// applied on top of a version another program wrote meanwhile.
#include "app/document/UnsavedChanges.h"

#include <gtest/gtest.h>

#include <memory>

#include "app/document/AnnotationStore.h"
#include "app/document/StoreTestSupport.h"
#include "core/save/SaveTestItems.h"

namespace quillet {
namespace {

using testing::inkItem;
using Pages = UnsavedChanges::Pages;

// Item n as the first fixture has it, and drawn elsewhere.
AnnotationItem original(int n) {
    return inkItem(n, {{10, 10}, {20, 20}});
}
AnnotationItem moved(int n) {
    return inkItem(n, {{300, 300}, {320, 340}});
}

std::vector<UUID> idsOn(AnnotationStore& store, int page) {
    std::vector<UUID> ids;
    for (const AnnotationItem& item : store.itemsOnPage(page)) {
        ids.push_back(item.id);
    }
    return ids;
}

TEST(UnsavedChanges, NamesAddedChangedMovedAndRemovedItemsById) {
    const AnnotationItem kept = original(1);
    const AnnotationItem toOtherPage = original(3);
    const AnnotationItem gone = original(4);
    const AnnotationItem fresh = original(5);
    const Pages baseline{{0, {kept, original(2), toOtherPage, gone}}};
    const Pages current{{0, {kept, moved(2), fresh}}, {1, {toOtherPage}}};

    const UnsavedChanges changes = UnsavedChanges::between(baseline, current);
    EXPECT_EQ(changes.added(), (std::vector<UnsavedChanges::Placed>{{fresh, 0}}));
    EXPECT_EQ(changes.changed(), (std::vector<UnsavedChanges::Placed>{{moved(2), 0}, {toOtherPage, 1}}));
    EXPECT_EQ(changes.removed(), std::vector<UUID>{gone.id});
    EXPECT_EQ(changes.count(), 4);
    EXPECT_TRUE(UnsavedChanges::between(current, current).empty());
}

// The other program's version: item 1 as it was, item 2 changed there, item
// 3 removed there, its own item 9 added, and only two pages.
class OtherVersion : public ::testing::Test {
  protected:
    void SetUp() override {
        source->add(0, original(1));
        source->add(0, moved(2));
        source->add(0, inkItem(9, {{50, 50}, {60, 60}}));
        store = std::make_unique<AnnotationStore>(2, source);
    }

    const Pages baseline{{0, {original(1), original(2), original(3)}}};
    std::shared_ptr<testing::FakePageSource> source = std::make_shared<testing::FakePageSource>();
    std::unique_ptr<AnnotationStore> store;
};

TEST_F(OtherVersion, EditsGoOnTopAndTheOtherProgramsItemsStay) {
    // Ours: item 1 removed, item 5 added on page 1, item 6 on page 4 (gone there).
    const Pages current{{0, {original(2), original(3)}},
                        {1, {inkItem(5, {{1, 1}, {2, 2}})}},
                        {4, {inkItem(6, {{1, 1}, {2, 2}})}}};
    const UnsavedChanges::Outcome outcome =
        UnsavedChanges::between(baseline, current).applyTo(*store, baseline);

    EXPECT_EQ(idsOn(*store, 0), (std::vector<UUID>{moved(2).id, inkItem(9, {}).id}));
    EXPECT_EQ(idsOn(*store, 1), std::vector<UUID>{inkItem(5, {}).id});
    EXPECT_EQ(outcome.setAside, (Pages{{4, {inkItem(6, {{1, 1}, {2, 2}})}}}));
    EXPECT_EQ(outcome.applied, 2);
    EXPECT_EQ(outcome.conflicts, 0) << "items only the other program changed are not ours to report";
}

TEST_F(OtherVersion, WhereBothChangedAnItemOursWinsAndIsCounted) {
    // Ours: item 2 changed (the other program changed it too), item 3 changed
    // (removed there), item 1 kept.
    const AnnotationItem ours2 = inkItem(2, {{400, 400}, {410, 410}});
    const AnnotationItem ours3 = inkItem(3, {{400, 400}, {410, 410}});
    const Pages current{{0, {original(1), ours2, ours3}}};
    const UnsavedChanges::Outcome outcome =
        UnsavedChanges::between(baseline, current).applyTo(*store, baseline);

    EXPECT_EQ(outcome.conflicts, 2);
    EXPECT_EQ(store->locate(ours2.id)->item, ours2);
    EXPECT_EQ(store->locate(ours3.id)->item, ours3);
    EXPECT_TRUE(store->locate(inkItem(9, {}).id));
}

TEST_F(OtherVersion, AnItemBothRemovedIsNoConflictAndOneOnlyTheyChangedStaysTheirs) {
    const Pages current{{0, {original(1), original(2)}}};
    const UnsavedChanges::Outcome outcome =
        UnsavedChanges::between(baseline, current).applyTo(*store, baseline);
    EXPECT_EQ(outcome.conflicts, 0);
    EXPECT_EQ(outcome.applied, 0);
    EXPECT_EQ(store->locate(original(2).id)->item, moved(2)) << "only the other program changed it";
}

}  // namespace
}  // namespace quillet
