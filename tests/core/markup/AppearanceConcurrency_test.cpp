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
    const double x = 10 + i % 97;
    const double y = 20 + i / 97;
    const auto when = std::chrono::sys_seconds{};
    TextSpec spec;
    spec.text = "Note " + std::to_string(i % 7);
    switch (i % 3) {
        case 0:
            return AnnotationItem(UUID(),
                                  InkShape{InkKind::highlighter, {{{x, y}, {x + 5, y + 3}, {x + 9, y}}}},
                                  RGBA(1, 1, 0, 1), 8, 0, when);
        case 1:
            return AnnotationItem(UUID(), NoteShape{{x, y + 40}, {x + 60, y + 40}, spec}, RGBA(0, 0, 1, 1), 1,
                                  0, when);
        default:
            return AnnotationItem(UUID(), ArrowShape{{x, y}, {x + 40, y + 20}, std::nullopt},
                                  RGBA(1, 0, 0, 1), 2, 0, when);
    }
}

// More distinct payloads than one cache holds.
std::vector<std::string> payloads() {
    std::vector<std::string> out;
    for (int i = 0; i < static_cast<int>(ItemAppearanceBuilder::cacheCapacity) + 300; ++i)
        out.push_back(ItemCodec::encode(itemNumber(i)));
    return out;
}

}  // namespace

TEST(AppearanceConcurrency, ThreadsSharingTheCachesGetWhatALoneBuildGives) {
    const std::vector<std::string> texts = payloads();
    std::vector<ItemAppearance> collapsed;
    std::vector<ItemAppearance> expanded;
    for (const std::string& t : texts) {
        const AnnotationItem item = *ItemCodec::decode(t);
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

TEST(AppearanceConcurrency, FormXObjectsOfSharedAppearancesAreIdenticalAcrossThreads) {
    const std::string payload = ItemCodec::encode(itemNumber(1));
    const auto reference =
        ItemAppearanceBuilder::formXObject(*ItemAppearanceBuilder::appearance(payload, true));
    std::atomic<int> mismatches{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&] {
            for (int k = 0; k < 50; ++k) {
                const auto a = ItemAppearanceBuilder::appearance(payload, true);
                if (!a || ItemAppearanceBuilder::formXObject(*a) != reference) ++mismatches;
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(mismatches.load(), 0);
}
