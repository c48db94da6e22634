#include "core/pdf/LruCache.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quillet {
namespace {

using Cache = LruCache<int, std::string>;

TEST(LruCache, PushesOutTheLeastRecentlyUsedUntilTheNewValueFits) {
    std::vector<int> evicted;
    Cache cache(
        10, [](const std::string& value) { return value.size(); },
        [&](const int& key, std::string&&) { evicted.push_back(key); });
    cache.insert(1, "aaaa");
    cache.insert(2, "bbbb");
    ASSERT_NE(cache.find(1), nullptr);  // 1 is now the most recent
    cache.insert(3, "cccc");
    EXPECT_EQ(cache.order(), (std::vector<int>{1, 3}));
    EXPECT_EQ(evicted, (std::vector<int>{2}));
    EXPECT_EQ(cache.cost(), 8u);

    // Replacing a value is no eviction; a value beyond the capacity is kept alone.
    cache.insert(1, "a");
    EXPECT_EQ(cache.cost(), 5u);
    cache.insert(4, std::string(20, 'd'));
    EXPECT_EQ(cache.order(), (std::vector<int>{4}));
    EXPECT_EQ(evicted, (std::vector<int>{2, 3, 1}));
    EXPECT_EQ(*cache.find(4), std::string(20, 'd'));
    EXPECT_EQ(cache.find(1), nullptr);
}

TEST(LruCache, CountsEntriesWithoutACostFunctionAndHonoursALoweredCapacity) {
    Cache cache(2);
    cache.insert(1, "a");
    cache.insert(2, "b");
    cache.insert(3, "c");
    EXPECT_EQ(cache.order(), (std::vector<int>{2, 3}));
    cache.setCapacity(1);
    cache.insert(4, "d");
    EXPECT_EQ(cache.order(), (std::vector<int>{4}));
    cache.erase(4);
    EXPECT_EQ(cache.size(), 0u);
    EXPECT_EQ(cache.cost(), 0u);
}

}  // namespace
}  // namespace quillet
