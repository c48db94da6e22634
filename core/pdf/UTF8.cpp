#include "core/pdf/UTF8.h"

namespace quillet::UTF8 {

size_t sequenceLength(std::string_view text, size_t at) {
    if (at >= text.size()) return 0;
    auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char b0 = byte(at);
    const size_t length = b0 < 0x80                  ? 1
                          : b0 >= 0xC2 && b0 <= 0xDF ? 2
                          : b0 >= 0xE0 && b0 <= 0xEF ? 3
                          : b0 >= 0xF0 && b0 <= 0xF4 ? 4
                                                     : 0;
    if (length <= 1) return length;
    if (at + length > text.size()) return 0;
    // The second byte's range is what excludes overlong forms, surrogates
    // and code points above U+10FFFF.
    const unsigned char low = b0 == 0xE0 ? 0xA0 : b0 == 0xF0 ? 0x90 : 0x80;
    const unsigned char high = b0 == 0xED ? 0x9F : b0 == 0xF4 ? 0x8F : 0xBF;
    if (byte(at + 1) < low || byte(at + 1) > high) return 0;
    for (size_t k = 2; k < length; ++k)
        if ((byte(at + k) & 0xC0) != 0x80) return 0;
    return length;
}

std::optional<char32_t> decode(std::string_view text, size_t& at) {
    const size_t length = sequenceLength(text, at);
    if (length == 0) return std::nullopt;
    const auto b0 = static_cast<unsigned char>(text[at]);
    char32_t codePoint = length == 1 ? b0 : b0 & (0x7F >> length);
    for (size_t k = 1; k < length; ++k)
        codePoint = (codePoint << 6) | (static_cast<unsigned char>(text[at + k]) & 0x3F);
    at += length;
    return codePoint;
}

std::optional<std::vector<char32_t>> codePoints(std::string_view text) {
    std::vector<char32_t> out;
    out.reserve(text.size());
    for (size_t at = 0; at < text.size();) {
        std::optional<char32_t> codePoint = decode(text, at);
        if (!codePoint) return std::nullopt;
        out.push_back(*codePoint);
    }
    return out;
}

void append(char32_t cp, std::string& out) {
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

}  // namespace quillet::UTF8
