#include "core/pdf/PDFSecurityError.h"

#include <utility>

namespace quillet {

PDFSecurityError::PDFSecurityError(Code code, std::string detail) : code_(code), detail_(std::move(detail)) {
    text_ = text();
}

PDFSecurityError PDFSecurityError::unsupported(std::string detail) {
    return PDFSecurityError(Code::unsupported, std::move(detail));
}

PDFSecurityError PDFSecurityError::wrongPassword() {
    return PDFSecurityError(Code::wrongPassword, {});
}

std::string PDFSecurityError::text() const {
    switch (code_) {
        case Code::unsupported:
            return "unsupported encryption: " + detail_;
        case Code::wrongPassword:
            return "wrong password";
    }
    return "wrong password";
}

}  // namespace quillet
