#include "core/pdf/Flate.h"

#include <gtest/gtest.h>

#include <random>

namespace quillet {
namespace {

Bytes randomBytes(size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    Bytes out(n, '\0');
    for (char& c : out) c = static_cast<char>(rng() & 0xFF);
    return out;
}

FlateError::Code inflateFailure(std::string_view bytes, size_t limit) {
    try {
        Flate::inflate(bytes, limit);
    } catch (const FlateError& e) {
        return e.code();
    }
    ADD_FAILURE() << "inflate succeeded";
    return FlateError::Code::initFailed;
}

TEST(Flate, OutputOfExactlyTheLimitPassesOneByteMoreFails) {
    for (size_t size : {size_t{1}, size_t{65'536}, size_t{65'537}, size_t{300'000}}) {
        const Bytes original = randomBytes(size, 3);
        const Bytes packed = Flate::deflate(original, 6);
        EXPECT_EQ(Flate::inflate(packed, size), original) << size;
        EXPECT_EQ(inflateFailure(packed, size - 1), FlateError::Code::tooLarge) << size;
    }
}

TEST(Flate, TruncatedStreamGivesItsGoodPrefix) {
    const Bytes original = randomBytes(150'000, 11);
    for (int level : {0, 6}) {
        const Bytes packed = Flate::deflate(original, level);
        const Bytes result = Flate::inflate(std::string_view(packed).substr(0, packed.size() / 2), 1 << 20);
        EXPECT_GT(result.size(), 0u);
        EXPECT_LT(result.size(), original.size());
        EXPECT_EQ(result, original.substr(0, result.size())) << "level " << level;
    }
}

}  // namespace
}  // namespace quillet
