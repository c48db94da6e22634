#include "core/markup/UUID.h"

#include <gtest/gtest.h>

#include <set>

namespace quillet {
namespace {

TEST(UUID, ParsesEitherCaseAndFormatsCanonicalUpperCase) {
    auto lower = UUID::parse("5e6a1d2c-0000-4000-8000-00000000002a");
    auto upper = UUID::parse("5E6A1D2C-0000-4000-8000-00000000002A");
    ASSERT_TRUE(lower && upper);
    EXPECT_EQ(*lower, *upper);
    EXPECT_EQ(lower->text(), "5E6A1D2C-0000-4000-8000-00000000002A");
    EXPECT_EQ(lower->bytes()[0], 0x5E);
    EXPECT_EQ(lower->bytes()[15], 0x2A);
    EXPECT_EQ(UUID().text(), "00000000-0000-0000-0000-000000000000");
}

TEST(UUID, RejectsEverythingButThe36CharacterHyphenatedForm) {
    const char* bad[] = {
        "",
        "5E6A1D2C00004000800000000000002A",        // no hyphens
        "{5E6A1D2C-0000-4000-8000-00000000002A}",  // braces
        "5E6A1D2C-0000-4000-8000-00000000002",     // short
        "5E6A1D2C-0000-4000-8000-00000000002AB",   // long
        "5E6A1D2C-0000-4000-8000-00000000002G",    // not hex
        "5E6A1D2C+0000-4000-8000-00000000002A",    // wrong separator
        "5E6A1D2C-00004-000-8000-00000000002A",    // hyphen misplaced
        " 5E6A1D2C-0000-4000-8000-00000000002A",
    };
    for (const char* text : bad) EXPECT_FALSE(UUID::parse(text)) << text;
}

TEST(UUID, RandomIdsAreVersion4AndDistinct) {
    std::set<UUID> seen;
    for (int i = 0; i < 1000; ++i) {
        UUID id = UUID::random();
        EXPECT_EQ(id.bytes()[6] >> 4, 4);
        EXPECT_EQ(id.bytes()[8] & 0xC0, 0x80);
        EXPECT_EQ(UUID::parse(id.text()), id);
        seen.insert(id);
    }
    EXPECT_EQ(seen.size(), 1000u);
}

}  // namespace
}  // namespace quillet
