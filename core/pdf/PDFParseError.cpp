#include "core/pdf/PDFParseError.h"

#include <utility>

namespace quillet {

namespace {

std::string describe(PDFParseError::Code code, const std::string& found, int64_t at) {
    switch (code) {
        case PDFParseError::Code::unexpected:
            return "unexpected " + found + " at " + std::to_string(at);
        case PDFParseError::Code::badObjectHeader:
            return "bad object header at " + std::to_string(at);
        case PDFParseError::Code::unexpectedEnd:
            return "unexpected end of data";
        case PDFParseError::Code::tooDeep:
            return "nesting too deep";
    }
    return {};
}

}  // namespace

PDFParseError::PDFParseError(Code code, std::string found, int64_t at)
    : CoreError(Category::parse, describe(code, found, at),
                code == Code::unexpected || code == Code::badObjectHeader ? std::optional(at) : std::nullopt),
      code_(code),
      found_(std::move(found)),
      at_(at) {}

PDFParseError PDFParseError::unexpected(std::string found, int64_t at) {
    return PDFParseError(Code::unexpected, std::move(found), at);
}

PDFParseError PDFParseError::badObjectHeader(int64_t at) {
    return PDFParseError(Code::badObjectHeader, {}, at);
}

PDFParseError PDFParseError::unexpectedEnd() {
    return PDFParseError(Code::unexpectedEnd, {}, 0);
}

PDFParseError PDFParseError::tooDeep() {
    return PDFParseError(Code::tooDeep, {}, 0);
}

}  // namespace quillet
