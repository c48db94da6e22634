#include "core/pdf/PDFSecurityError.h"

#include <utility>

namespace quillet {

namespace {

std::string describe(PDFSecurityError::Code code, const std::string& detail) {
    switch (code) {
        case PDFSecurityError::Code::unsupported:
            return "unsupported encryption: " + detail;
        case PDFSecurityError::Code::wrongPassword:
            return "wrong password";
    }
    return "wrong password";
}

}  // namespace

PDFSecurityError::PDFSecurityError(Code code, std::string detail)
    : CoreError(Category::security, describe(code, detail)), code_(code), detail_(std::move(detail)) {}

PDFSecurityError PDFSecurityError::unsupported(std::string detail) {
    return PDFSecurityError(Code::unsupported, std::move(detail));
}

PDFSecurityError PDFSecurityError::wrongPassword() {
    return PDFSecurityError(Code::wrongPassword, {});
}

}  // namespace quillet
