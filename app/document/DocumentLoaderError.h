// Why a file could not be shown as a document. The user is shown
// localizedText() with localizedExplanation() below it.
#pragma once

#include <exception>
#include <string>

#include <QString>

#include "app/platform/InterfaceLanguage.h"

namespace quillet {

class DocumentLoaderError : public std::exception {
public:
    enum class Code {
        unreadable,  // the file could not be opened as a PDF
    };

    explicit DocumentLoaderError(Code code, std::string detail = {});

    Code code() const { return code_; }
    // What the PDF engine reported, for the log; never shown.
    const std::string& detail() const { return detail_; }

    std::string text() const;
    QString localizedText(Language language) const;
    QString localizedExplanation(Language language) const;
    const char* what() const noexcept override { return text_.c_str(); }

private:
    Code code_;
    std::string detail_;
    std::string text_;
};

}  // namespace quillet
