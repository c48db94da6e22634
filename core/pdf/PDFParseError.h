// The failures of reading PDF object syntax. Each case has a fixed text; the
// offsets are byte offsets into the view that was being read.
#pragma once

#include <cstdint>
#include <string>

#include "core/pdf/CoreError.h"

namespace quillet {

class PDFParseError : public CoreError {
  public:
    enum class Code { unexpected, badObjectHeader, unexpectedEnd, tooDeep };

    // "unexpected " + found + " at " + at, e.g. "unexpected byte 41 at 1032".
    static PDFParseError unexpected(std::string found, int64_t at);
    // "bad object header at " + at.
    static PDFParseError badObjectHeader(int64_t at);
    // "unexpected end of data".
    static PDFParseError unexpectedEnd();
    // "nesting too deep".
    static PDFParseError tooDeep();

    Code code() const { return code_; }
    // What was met instead of what was expected ("byte 41", "keyword 'foo'");
    // empty for the cases without it.
    const std::string& found() const { return found_; }
    // The offset of the offending byte or token; 0 for the cases without one.
    int64_t at() const { return at_; }

  private:
    PDFParseError(Code code, std::string found, int64_t at);

    Code code_;
    std::string found_;
    int64_t at_;
};

}  // namespace quillet
