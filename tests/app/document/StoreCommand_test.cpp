#include "app/document/StoreCommand.h"

#include <gtest/gtest.h>

#include <QUndoStack>

#include "app/document/StoreTestSupport.h"
#include "core/save/SaveTestItems.h"

namespace quillet {
namespace {

using testing::inkItem;

AnnotationItem pen(int n) {
    return inkItem(n, {{10.0 * n, 10}, {10.0 * n + 5, 20}});
}

std::vector<UUID> idsOnPage(AnnotationStore& store, int page) {
    std::vector<UUID> ids;
    for (const AnnotationItem& item : store.itemsOnPage(page)) {
        ids.push_back(item.id);
    }
    return ids;
}

class StoreCommandTest : public ::testing::Test {
  protected:
    void SetUp() override {
        for (int n = 1; n <= 3; ++n) {
            source->add(0, pen(n));
        }
        ASSERT_TRUE(store.loadPage(0));
    }

    std::shared_ptr<testing::FakePageSource> source = std::make_shared<testing::FakePageSource>();
    AnnotationStore store{2, source};
    QUndoStack stack;
};

TEST_F(StoreCommandTest, ChangesRecordedOneAfterAnotherUndoLastFirstBackToTheirPlaces) {
    // An eraser gesture: item 2 goes, then item 1, each while the other is gone.
    AppliedChanges applied;
    applied.apply(store, StoreChange::remove({pen(2).id}));
    applied.apply(store, StoreChange::remove({pen(1).id}));
    StoreCommand::record(stack, store, QStringLiteral("Erase"), applied);
    ASSERT_EQ(idsOnPage(store, 0), std::vector<UUID>{pen(3).id}) << "recording applies nothing again";

    stack.undo();
    EXPECT_EQ(idsOnPage(store, 0), (std::vector<UUID>{pen(1).id, pen(2).id, pen(3).id}));
    stack.redo();
    EXPECT_EQ(idsOnPage(store, 0), std::vector<UUID>{pen(3).id});
}

TEST_F(StoreCommandTest, AStyleVisitIsOneStepAndOneThatEndsWhereItBeganLeavesNone) {
    AnnotationItem blue = pen(2);
    blue.color = {0, 0, 1, 1};
    blue.modified += std::chrono::seconds(5);
    AnnotationItem green = blue;
    green.color = {0, 1, 0, 1};
    const QString name = QStringLiteral("Change Style");

    StoreCommand::push(stack, store, name, StoreChange::replace({blue}), 7);
    StoreCommand::push(stack, store, name, StoreChange::replace({green}), 7);
    ASSERT_EQ(stack.count(), 1);
    EXPECT_EQ(store.locate(pen(2).id)->item, green);
    stack.undo();
    EXPECT_EQ(store.locate(pen(2).id)->item, pen(2));
    stack.redo();
    EXPECT_EQ(store.locate(pen(2).id)->item, green);

    // Another visit, back to green's colour with a later time: nothing left to undo.
    AnnotationItem red = green;
    red.color = {1, 0, 0, 1};
    AnnotationItem greenAgain = green;
    greenAgain.modified += std::chrono::seconds(5);
    StoreCommand::push(stack, store, name, StoreChange::replace({red}), 8);
    StoreCommand::push(stack, store, name, StoreChange::replace({greenAgain}), 8);
    EXPECT_EQ(stack.count(), 1);
    EXPECT_EQ(store.locate(pen(2).id)->item, green) << "the item as it was, its time too";

    // A step under another key, or none, does not join.
    StoreCommand::push(stack, store, name, StoreChange::replace({red}), 9);
    StoreCommand::push(stack, store, name, StoreChange::remove({pen(1).id}));
    EXPECT_EQ(stack.count(), 3);
}

}  // namespace
}  // namespace quillet
