// Failures of reading a PDF file's structure: its cross-reference sections,
// objects, page tree and stream filters.
#pragma once

#include <string>
#include <utility>

#include "core/pdf/CoreError.h"

namespace quillet {

class PDFReaderError : public CoreError {
  public:
    enum class Code { badXref, badPageTree, unsupportedFilter, badObject, noStartXref, missingRoot };

    PDFReaderError(Code code, std::string detail = {});

    static PDFReaderError badXref(std::string detail) { return {Code::badXref, std::move(detail)}; }
    static PDFReaderError badPageTree(std::string detail) { return {Code::badPageTree, std::move(detail)}; }
    static PDFReaderError unsupportedFilter(std::string detail) {
        return {Code::unsupportedFilter, std::move(detail)};
    }
    static PDFReaderError badObject(std::string detail) { return {Code::badObject, std::move(detail)}; }
    static PDFReaderError noStartXref() { return {Code::noStartXref}; }
    static PDFReaderError missingRoot() { return {Code::missingRoot}; }

    Code code() const { return code_; }
    // The payload; empty for noStartXref and missingRoot.
    const std::string& detail() const { return detail_; }

  private:
    Code code_;
    std::string detail_;
};

}  // namespace quillet
