// Why an encrypted document cannot be opened: its encryption is of a kind
// this handler does not implement, or the password fits neither as the user
// nor as the owner password.
#pragma once

#include <string>

#include "core/pdf/CoreError.h"

namespace quillet {

class PDFSecurityError : public CoreError {
  public:
    enum class Code { unsupported, wrongPassword };

    static PDFSecurityError unsupported(std::string detail);
    static PDFSecurityError wrongPassword();

    Code code() const { return code_; }
    // For `unsupported`: what is not supported, e.g. "R 7" or "CFM Foo".
    const std::string& detail() const { return detail_; }

  private:
    PDFSecurityError(Code code, std::string detail);

    Code code_;
    std::string detail_;
};

}  // namespace quillet
