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

TEST(Flate, RoundTripsAtEveryLevelCallersUse) {
    const Bytes text(100'000, 'q');
    const Bytes noise = randomBytes(200'000, 7);  // incompressible: several 64 KiB steps
    for (int level : {0, 6, 9}) {
        for (const Bytes& original : {text, noise, Bytes("x")}) {
            const Bytes packed = Flate::deflate(original, level);
            ASSERT_FALSE(packed.empty());
            EXPECT_EQ(Flate::inflate(packed, original.size()), original) << "level " << level;
        }
    }
    EXPECT_LT(Flate::deflate(text, 9).size(), 1'000u);
}

TEST(Flate, DeflateSignalsFailureOnlyByAnEmptyResultAndEmptyInputsInflateToNothing) {
    EXPECT_EQ(Flate::deflate("abc", 42), "");
    // An empty input is still a complete stream that inflates to nothing.
    const Bytes empty = Flate::deflate("", 6);
    ASSERT_FALSE(empty.empty());
    EXPECT_EQ(Flate::inflate(empty, 0), "");
    EXPECT_EQ(Flate::inflate("", 0), "");
    EXPECT_EQ(Flate::inflate(nullptr, nullptr, 100), "");
}

TEST(Flate, OutputOfExactlyTheLimitPassesOneByteMoreFails) {
    for (size_t size : {size_t{1}, size_t{65'536}, size_t{65'537}, size_t{300'000}}) {
        const Bytes original = randomBytes(size, 3);
        const Bytes packed = Flate::deflate(original, 6);
        EXPECT_EQ(Flate::inflate(packed, size), original) << size;
        EXPECT_EQ(inflateFailure(packed, size - 1), FlateError::Code::tooLarge) << size;
    }
}

TEST(Flate, LimitStopsABombLongBeforeItsFullSize) {
    const Bytes packed = Flate::deflate(Bytes(50'000'000, '\0'), 9);
    ASSERT_LT(packed.size(), 100'000u);
    EXPECT_EQ(inflateFailure(packed, 1'000'000), FlateError::Code::tooLarge);
}

TEST(Flate, InputsThatDecodeToNothingAreCorrupt) {
    EXPECT_EQ(inflateFailure("this is not zlib data", 1000), FlateError::Code::corrupt);
    EXPECT_EQ(inflateFailure(Bytes(2, '\xFF'), 1000), FlateError::Code::corrupt);
    // A valid header that asks for a preset dictionary, which PDF never supplies.
    EXPECT_EQ(inflateFailure(Bytes("\x78\xBB\x00\x00\x00\x01\x00", 7), 1000), FlateError::Code::corrupt);
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

TEST(Flate, DamagedStreamGivesWhatDecodedBeforeTheDamage) {
    const Bytes original = randomBytes(150'000, 5);
    Bytes packed = Flate::deflate(original, 0);
    // Stored blocks hold at most 65,535 bytes; break the second block's header.
    const size_t secondHeader = 2 + 5 + 65'535;
    packed[secondHeader + 1] = static_cast<char>(packed[secondHeader + 1] ^ 0x5A);
    const Bytes result = Flate::inflate(packed, 1 << 20);
    EXPECT_EQ(result, original.substr(0, 65'535));
}

TEST(Flate, WrongOrMissingChecksumStillReturnsTheDecodedData) {
    const Bytes original = "checksum damage comes after every data byte";
    Bytes packed = Flate::deflate(original, 6);
    EXPECT_EQ(Flate::inflate(std::string_view(packed).substr(0, packed.size() - 4), 1000), original);
    // Cut right after the header: nothing decoded, nothing wrong yet.
    EXPECT_EQ(Flate::inflate(std::string_view(packed).substr(0, 2), 1000), "");
    packed.back() = static_cast<char>(packed.back() ^ 1);
    EXPECT_EQ(Flate::inflate(packed, 1000), original);
}

TEST(Flate, RawRangeOverloadDecodesTheSameBytes) {
    const Bytes packed = "junk" + Flate::deflate("range", 9) + "junk";
    EXPECT_EQ(Flate::inflate(packed.data() + 4, packed.data() + packed.size() - 4, 5), "range");
}

TEST(FlateError, TextsNameTheProblem) {
    EXPECT_STREQ(FlateError(FlateError::Code::tooLarge).what(), "flate: output too large");
    EXPECT_EQ(FlateError(FlateError::Code::corrupt).text(), "flate: corrupt data");
    EXPECT_EQ(FlateError(FlateError::Code::initFailed).text(), "flate: cannot initialise the decompressor");
}

}  // namespace
}  // namespace quillet
