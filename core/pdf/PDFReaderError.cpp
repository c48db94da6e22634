#include "core/pdf/PDFReaderError.h"

#include <utility>

namespace quillet {

namespace {

std::string describe(PDFReaderError::Code code, const std::string& detail) {
    using Code = PDFReaderError::Code;
    switch (code) {
        case Code::badXref:
            return "bad xref: " + detail;
        case Code::badPageTree:
            return "bad page tree: " + detail;
        case Code::unsupportedFilter:
            return "unsupported filter " + detail;
        case Code::badObject:
            return "bad object: " + detail;
        case Code::noStartXref:
            return "startxref not found";
        case Code::missingRoot:
            return "trailer has no /Root";
    }
    return "bad object: " + detail;
}

}  // namespace

PDFReaderError::PDFReaderError(Code code, std::string detail)
    : CoreError(Category::reader, describe(code, detail)), code_(code), detail_(std::move(detail)) {}

}  // namespace quillet
