// Several threads asking for the appearances of overlapping payloads, more
// than a cache holds, so entries are evicted while others read them.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "core/markup/ItemAppearanceBuilder.h"
#include "core/markup/ItemCodec.h"

using namespace quillet;

namespace {

constexpr int kThreads = 4;

AnnotationItem itemNumber(int i) {
    const double x = 10 + i % 97, y = 20 + i / 97;
    const TextSpec spec{"Note " + std::to_string(i % 7), 12, std::nullopt, false};
    const Shape shapes[] = {InkShape{InkKind::highlighter, {{{x, y}, {x + 5, y + 3}, {x + 9, y}}}},
                            NoteShape{{x, y + 40}, {x + 60, y + 40}, spec},
                            ArrowShape{{x, y}, {x + 40, y + 20}, std::nullopt}};
    return AnnotationItem(UUID(), shapes[i % 3], RGBA(1, 0, 0, 1), 2, 0, std::chrono::sys_seconds{});
}

}  // namespace

TEST(AppearanceConcurrency, ThreadsSharingTheCachesGetWhatALoneBuildGives) {
    // More distinct payloads than one cache holds.
    std::vector<std::string> texts;
    std::vector<ItemAppearance> collapsed, expanded;
    for (int i = 0; i < static_cast<int>(ItemAppearanceBuilder::cacheCapacity) + 300; ++i) {
        const AnnotationItem item = itemNumber(i);
        texts.push_back(ItemCodec::encode(item));
        collapsed.push_back(ItemAppearanceBuilder::build(item, false));
        expanded.push_back(ItemAppearanceBuilder::build(item, true));
    }

    std::atomic<int> mismatches{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            // Each thread walks the list from its own offset and stride, so
            // threads hit the same payloads at different times.
            const size_t n = texts.size();
            for (size_t k = 0; k < n; ++k) {
                const size_t i = (k * static_cast<size_t>(2 * t + 1) + static_cast<size_t>(t) * 131) % n;
                const bool open = (k + static_cast<size_t>(t)) % 2 == 0;
                const auto a = ItemAppearanceBuilder::appearance(texts[i], open);
                if (!a || *a != (open ? expanded[i] : collapsed[i])) ++mismatches;
                if (a && k % 8 == 0 &&
                    ItemAppearanceBuilder::formXObject(*a) !=
                        ItemAppearanceBuilder::formXObject(open ? expanded[i] : collapsed[i]))
                    ++mismatches;
                if (i % 3 == 1) {
                    const auto bubble = ItemAppearanceBuilder::bubbleAppearance(*ItemCodec::decode(texts[i]));
                    if (!bubble || bubble->commands.empty()) ++mismatches;
                }
                if (k % 64 == 0 &&
                    ItemAppearanceBuilder::cachedEntryCount(open) > ItemAppearanceBuilder::cacheCapacity)
                    ++mismatches;
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(mismatches.load(), 0);
    EXPECT_LE(ItemAppearanceBuilder::cachedEntryCount(false), ItemAppearanceBuilder::cacheCapacity);
    EXPECT_LE(ItemAppearanceBuilder::cachedEntryCount(true), ItemAppearanceBuilder::cacheCapacity);
}
