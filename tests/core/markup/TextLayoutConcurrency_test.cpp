#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "core/markup/TextLayout.h"

using namespace quillet;

TEST(TextLayoutConcurrency, ThreadsSharingTheCacheGetTheResultsOfALoneThread) {
    // More distinct specs than the cache holds, so entries are evicted while
    // other threads read them; mixed scripts pull fallback fonts in lazily.
    const char* words[] = {"alpha", "Привет", "中文", "שלום", "beta gamma", "x\ny"};
    std::vector<TextSpec> specs;
    std::vector<TextLayoutResult> expected;
    for (int i = 0; i < 640; ++i) {
        std::optional<double> width;
        if (i % 3 == 0) width = 30.0 + i % 7;
        specs.push_back(
            {std::string(words[i % 6]) + " " + std::to_string(i / 6), 8.0 + i % 5, width, i % 2 == 1});
        expected.push_back(TextLayout::layoutUncached(specs.back()));
    }
    std::atomic<int> mismatches{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < 2; ++round) {
                for (size_t k = 0; k < specs.size(); ++k) {
                    // Each thread walks the specs from a different start.
                    const size_t i = (k * 7 + static_cast<size_t>(t) * 97) % specs.size();
                    if (!(TextLayout::layout(specs[i]) == expected[i])) ++mismatches;
                }
            }
        });
    }
    for (auto& th : threads) th.join();
    EXPECT_EQ(mismatches.load(), 0);
    EXPECT_LE(TextLayout::cachedEntryCount(), TextLayout::cacheCapacity);
}

TEST(TextLayoutConcurrency, UncachedLayoutsShareFontsAndOutlinesSafely) {
    // Fallback fonts and glyph outlines load on first use, here from several threads at once.
    std::vector<std::thread> threads;
    std::vector<TextLayoutResult> results(6);
    for (int t = 0; t < 6; ++t)
        threads.emplace_back([&results, t] {
            results[static_cast<size_t>(t)] =
                TextLayout::layoutUncached(TextSpec{"Ж 字 ש", 12, std::nullopt, true});
        });
    for (auto& th : threads) th.join();
    for (const TextLayoutResult& r : results) EXPECT_EQ(r, results[0]);
    EXPECT_FALSE(results[0].glyphs.isEmpty());
}
