// Reads PDF object syntax from a byte view it does not own: the mapped file
// or a decompressed object stream. Indirect-object framing, cross-reference
// data and encryption are the reader's business; it drives the lexer by
// setting `pos` and calling the operations below.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/pdf/PDFParseError.h"
#include "core/pdf/PDFValue.h"
#include "core/pdf/ReaderWarnings.h"

namespace quillet {

struct PDFLexer {
    // Containers may be opened at depths 0..kMaxDepth; values inside a
    // container at kMaxDepth fail with PDFParseError::tooDeep.
    static constexpr int kMaxDepth = 127;

    // The input; its owner must outlive the lexer.
    std::string_view bytes;
    // Offset into `bytes`, set freely by callers. A negative or too large
    // position reads as end of data.
    int64_t pos = 0;
    // Where repairs of malformed values are noted, when given.
    ReaderWarnings* warnings = nullptr;

    PDFLexer() = default;
    explicit PDFLexer(std::string_view bytes, int64_t pos = 0) : bytes(bytes), pos(pos) {}

    // NUL, tab, LF, FF, CR, blank.
    static constexpr bool isWhitespace(unsigned char c) {
        return c == 0 || c == 9 || c == 10 || c == 12 || c == 13 || c == 32;
    }
    // ( ) < > [ ] { } / %
    static constexpr bool isDelimiter(unsigned char c) {
        switch (c) {
            case '(':
            case ')':
            case '<':
            case '>':
            case '[':
            case ']':
            case '{':
            case '}':
            case '/':
            case '%':
                return true;
            default:
                return false;
        }
    }
    // A token is a run of regular bytes.
    static constexpr bool isRegular(unsigned char c) { return !isWhitespace(c) && !isDelimiter(c); }

    bool atEnd() const { return pos < 0 || pos >= static_cast<int64_t>(bytes.size()); }
    // The byte at pos + ahead, or -1 outside the data.
    int peek(int64_t ahead = 0) const;

    // Skips whitespace and comments (from % to the end of the line).
    void skipWhitespace();
    // Skips whitespace, then returns the run of regular bytes as UTF-8
    // (invalid sequences become U+FFFD). Absent when the run is empty, with
    // pos at the stopping byte.
    std::optional<std::string> readToken();
    // A token that is an optionally signed decimal within 64 bits. On failure
    // pos is restored and the result is absent.
    std::optional<int64_t> readInt();
    // Whether `seq` occurs at `offset`. Does not move pos.
    bool matches(std::string_view seq, int64_t offset) const;
    // Parses one value at pos and leaves pos just after it. Pass depth 0 for
    // a top-level value. Throws PDFParseError.
    PDFValue parseValue(int depth = 0);

  private:
    Bytes readLiteralString();
    void readEscape(Bytes& out);
    Bytes readHexString();
    std::string readName();
    PDFValue readDictionary(int depth);
    PDFValue readArray(int depth);
    PDFValue readNumber();
    PDFValue readIntOrRef(int64_t first);
    PDFValue readKeyword();
    std::string_view takeRegularRun();
};

}  // namespace quillet
