// Why the PDF engine could not open or write a document. text() is the fixed
// English text (also what()); localizedText() is what the user is shown.
#pragma once

#include <exception>
#include <string>

#include <QString>

#include "app/platform/InterfaceLanguage.h"

namespace quillet {

class PDFEngineError : public std::exception {
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

    std::string text() const;
    QString localizedText(Language language) const;
    const char* what() const noexcept override { return text_.c_str(); }

private:
    Code code_;
    std::string detail_;
    std::string text_;
};

}  // namespace quillet
