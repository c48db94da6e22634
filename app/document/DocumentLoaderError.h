// Why a file could not be shown as a document. The user is shown
// localizedText() with localizedExplanation() below it: for a file that is
// there but does not parse, "The file is damaged or is not a PDF."; for a
// file that cannot be read at all, the system's reason (missing, a folder,
// no permission).
#pragma once

#include <QString>
#include <string>

#include "app/platform/AppError.h"

namespace quillet {

class DocumentLoaderError : public AppError {
  public:
    enum class Code {
        unreadable,    // the file could not be opened as a PDF
        inaccessible,  // the file could not be read: errorNumber() says why
    };

    explicit DocumentLoaderError(Code code, std::string detail = {}, int errorNumber = 0);
    static DocumentLoaderError inaccessible(int errorNumber, std::string detail = {}) {
        return DocumentLoaderError(Code::inaccessible, std::move(detail), errorNumber);
    }

    // The errno that made the file inaccessible when reading it: 0 when it
    // can be read. A folder counts as EISDIR.
    static int accessError(const QString& path);

    Code code() const { return code_; }
    int errorNumber() const { return errorNumber_; }
    // What the PDF engine or the system reported, for the log; never shown.
    const std::string& detail() const { return detail_; }

    QString localizedText(Language language) const;
    QString localizedExplanation(Language language) const;
    // The text and its explanation, on one line.
    QString userText(Language language) const override;

  private:
    Code code_;
    std::string detail_;
    int errorNumber_;
};

}  // namespace quillet
