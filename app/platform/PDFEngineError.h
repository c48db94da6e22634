// Why the PDF engine could not open or write a document. text() is the fixed
// English text (also what()); localizedText() is what the user is shown.
#pragma once

#include <QString>
#include <string>

#include "app/platform/AppError.h"

namespace quillet {

class PDFEngineError : public AppError {
  public:
    enum class Code {
        fileNotFound,    // detail: the path
        fileUnreadable,  // detail: the path
        notPDF,          // detail: the path
        locked,          // the document needs its password first
        writeFailed,     // detail: what the writer reported
    };

    PDFEngineError(Code code, std::string detail = {});

    Code code() const { return code_; }
    const std::string& detail() const { return detail_; }

    QString localizedText(Language language) const;
    QString userText(Language language) const override { return localizedText(language); }

  private:
    Code code_;
    std::string detail_;
};

}  // namespace quillet
