// The incremental writer's own failures. Errors of the reader, the lexer and
// the file cloner pass through the writer unchanged.
#pragma once

#include <cstdint>
#include <string>

#include "core/pdf/CoreError.h"

namespace quillet {

class IncrementalWriterError : public CoreError {
  public:
    enum class Code { pageCountMismatch, pageIndexOutOfRange, badPage, unsupported, io, encrypted };

    static IncrementalWriterError pageCountMismatch(int64_t expected, int64_t found) {
        return {Code::pageCountMismatch, expected, found, {}};
    }
    static IncrementalWriterError pageIndexOutOfRange(int64_t index) {
        return {Code::pageIndexOutOfRange, index, 0, {}};
    }
    static IncrementalWriterError badPage(int64_t index) { return {Code::badPage, index, 0, {}}; }
    static IncrementalWriterError unsupported(std::string detail) {
        return {Code::unsupported, 0, 0, std::move(detail)};
    }
    static IncrementalWriterError io(std::string detail) { return {Code::io, 0, 0, std::move(detail)}; }
    static IncrementalWriterError encrypted() { return {Code::encrypted, 0, 0, {}}; }

    Code code() const { return code_; }
    // pageCountMismatch: the expected count; pageIndexOutOfRange, badPage: the page index.
    int64_t first() const { return first_; }
    // pageCountMismatch: the count found.
    int64_t second() const { return second_; }
    // unsupported, io: the detail.
    const std::string& detail() const { return detail_; }

  private:
    IncrementalWriterError(Code code, int64_t first, int64_t second, std::string detail);

    Code code_;
    int64_t first_;
    int64_t second_;
    std::string detail_;
};

}  // namespace quillet
