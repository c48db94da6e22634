#include "core/pdf/UTF8.h"

#include <gtest/gtest.h>

#include <string>

#include "core/pdf/PasswordForms.h"

namespace quillet {
namespace {

TEST(UTF8, DecodesWellFormedSequencesAndRefusesEveryOtherForm) {
    const std::pair<std::string, std::optional<char32_t>> cases[] = {
        {"A", U'A'},
        {"\xC3\xA9", U'\u00E9'},
        {"\xE2\x82\xAC", U'\u20AC'},
        {"\xF0\x9F\x98\x80", U'\U0001F600'},
        {"\xF4\x8F\xBF\xBF", U'\U0010FFFF'},
        {"\xC0\xA9", std::nullopt},          // overlong ")"
        {"\xC1\xBF", std::nullopt},          // overlong
        {"\xE0\x80\xAF", std::nullopt},      // overlong "/"
        {"\xF0\x80\x80\xAF", std::nullopt},  // overlong "/"
        {"\xED\xA0\x80", std::nullopt},      // surrogate U+D800
        {"\xED\xBF\xBF", std::nullopt},      // surrogate U+DFFF
        {"\xF4\x90\x80\x80", std::nullopt},  // past U+10FFFF
        {"\xF5\x80\x80\x80", std::nullopt},
        {"\x80", std::nullopt},          // a lone continuation byte
        {"\xE2\x82", std::nullopt},      // cut off
        {"\xE2\x28\xA1", std::nullopt},  // a continuation byte missing
    };
    for (const auto& [text, expected] : cases) {
        size_t at = 0;
        EXPECT_EQ(UTF8::decode(text, at), expected) << text;
        EXPECT_EQ(at, expected ? text.size() : 0u) << text;
        EXPECT_EQ(UTF8::sequenceLength(text, 0), expected ? text.size() : 0u) << text;
    }
    EXPECT_EQ(UTF8::codePoints("a\xC3\xA9"), (std::vector<char32_t>{U'a', U'\u00E9'}));
    EXPECT_FALSE(UTF8::codePoints("a\xED\xA0\x80"));
}

// A password is tried as typed, then as Latin-1 where it has such a form:
// never from bytes that only a lax decoder would read as text.
TEST(PasswordForms, UTF8ThenLatin1WhenEveryCharacterHasOne) {
    EXPECT_EQ(passwordForms("abc"), (std::vector<Bytes>{"abc"}));
    EXPECT_EQ(passwordForms("caf\xC3\xA9"), (std::vector<Bytes>{"caf\xC3\xA9", "caf\xE9"}));
    EXPECT_EQ(passwordForms("\xE2\x82\xAC"), (std::vector<Bytes>{"\xE2\x82\xAC"}));
    EXPECT_EQ(passwordForms("\xC0\xA9"), (std::vector<Bytes>{"\xC0\xA9"}));
    EXPECT_EQ(passwordForms(""), (std::vector<Bytes>{""}));
}

}  // namespace
}  // namespace quillet
