// Snapshots taken on a worker thread while the main thread changes the store
// are consistent: every page list matches the generation it came with.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

#include "app/document/AnnotationStore.h"
#include "app/document/StoreTestSupport.h"
#include "core/save/SaveTestItems.h"

namespace quillet {
namespace {

TEST(AnnotationStoreConcurrency, SnapshotsOnAWorkerMatchTheirGeneration) {
    AnnotationStore store(2, std::make_shared<testing::FakePageSource>());
    constexpr int kChanges = 400;
    std::atomic<bool> done{false};
    std::atomic<int> inconsistent{0};
    std::atomic<int> taken{0};

    std::thread worker([&] {
        int64_t last = -1;
        do {
            StoreSnapshot snap = store.snapshot();
            // Each step inserts one item on page 0, then sets a draft on
            // page 1: generation g holds (g + 1) / 2 items, and from 2 on a draft.
            size_t items = snap.pages.contains(0) ? snap.pages.at(0).size() : 0;
            size_t drafts = snap.pages.contains(1) ? snap.pages.at(1).size() : 0;
            if (snap.generation < last || static_cast<int64_t>(items) != (snap.generation + 1) / 2 ||
                drafts != (snap.generation >= 2 ? 1u : 0u)) {
                ++inconsistent;
            }
            last = snap.generation;
            ++taken;
        } while (!done.load());
    });
    for (int n = 1; n <= kChanges; ++n) {
        store.apply(StoreChange::insert(testing::inkItem(n, {{1, 1}, {2, 2}}), 0, n));
        store.setDraft(testing::inkItem(10000 + n, {{3, 3}}), 1);
    }
    done = true;
    worker.join();
    EXPECT_EQ(inconsistent.load(), 0);
    EXPECT_GT(taken.load(), 0);
    EXPECT_EQ(store.snapshot().pages.at(0).size(), static_cast<size_t>(kChanges));
}

}  // namespace
}  // namespace quillet
