#include "core/save/IncrementalWriterError.h"

#include <utility>

namespace quillet {

namespace {

std::string describe(IncrementalWriterError::Code code, int64_t first, int64_t second,
                     const std::string& detail) {
    using Code = IncrementalWriterError::Code;
    switch (code) {
        case Code::pageCountMismatch:
            return "page count mismatch: expected " + std::to_string(first) + ", found " +
                   std::to_string(second);
        case Code::pageIndexOutOfRange:
            return "page index " + std::to_string(first) + " out of range";
        case Code::badPage:
            return "page " + std::to_string(first) + " is not a dictionary";
        case Code::unsupported:
            return "unsupported: " + detail;
        case Code::io:
            return "I/O error: " + detail;
        case Code::encrypted:
            return "document is encrypted";
    }
    return "unsupported: " + detail;
}

}  // namespace

IncrementalWriterError::IncrementalWriterError(Code code, int64_t first, int64_t second, std::string detail)
    : CoreError(Category::writer, describe(code, first, second, detail)),
      code_(code),
      first_(first),
      second_(second),
      detail_(std::move(detail)) {}

}  // namespace quillet
