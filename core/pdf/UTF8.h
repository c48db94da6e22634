// The one UTF-8 decoder of the code base. Strict: overlong forms, encoded
// surrogates, code points past U+10FFFF and cut-off sequences are not
// UTF-8. Text from files, payloads and users passes through here.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillet::UTF8 {

// The length (1 to 4) of the well-formed sequence that starts at text[at],
// or 0 when the bytes there are not one.
size_t sequenceLength(std::string_view text, size_t at);

// The code point of the well-formed sequence at text[at], `at` moved past
// it; absent (and `at` left alone) when there is none.
std::optional<char32_t> decode(std::string_view text, size_t& at);

// Every code point of the text; absent when any of it is not UTF-8.
std::optional<std::vector<char32_t>> codePoints(std::string_view text);

// The code point as UTF-8 appended to out; surrogates and values past
// U+10FFFF as U+FFFD.
void append(char32_t codePoint, std::string& out);

}  // namespace quillet::UTF8
