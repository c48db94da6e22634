// A PDF file opened for viewing: the engine's document, the file it came from
// and the password that unlocked it. The document is shared with the page
// renderer's background thread.
#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <optional>

#include "app/platform/PDFDocument.h"

namespace quillet {

struct OpenedPDF {
    QString path;
    std::shared_ptr<PDFDocument> pdf;
    std::optional<QString> password;

    // Opens `path` through the PDF engine; a file that needs a password opens
    // locked. Throws DocumentLoaderError: inaccessible when the file cannot be
    // read (missing, a folder, no permission), unreadable when it is not a PDF.
    static OpenedPDF open(const QString& path);

    // The file name as the user knows it, for titles and prompts.
    QString displayName() const;
};

// Asks for a password, showing `informativeText` below the prompt's message;
// absent when the user cancels.
using PasswordPrompt = std::function<std::optional<QString>(const QString& informativeText)>;

enum class UnlockOutcome { notLocked, unlocked, cancelled };

// The prompt's explanatory text: "Enter the password to open “name”.", or
// after a wrong password "Incorrect password. Try again.".
QString unlockPromptText(const OpenedPDF& document, bool afterWrongPassword);
// Unlocks with `password`, keeping it in `document.password`; false when it
// does not open the document.
bool tryPassword(OpenedPDF& document, const QString& password);

// While the document is locked, prompts for its password: first with
// "Enter the password to open “name”.", after a wrong one with "Incorrect
// password. Try again.", as often as the user tries. A password that opens
// the document is kept in `document.password`.
UnlockOutcome unlockDocument(OpenedPDF& document, const PasswordPrompt& prompt);

}  // namespace quillet
