#include "app/document/OpenedPDF.h"

#include <QFileInfo>
#include <cstring>

#include "app/document/DocumentLoaderError.h"
#include "app/platform/PDFEngineError.h"
#include "app/platform/PlatformLog.h"

namespace quillet {

namespace {

constexpr LocalizedString promptPrefix{"Enter the password to open “", "Введите пароль, чтобы открыть «"};
constexpr LocalizedString promptSuffix{"”.", "»."};
constexpr LocalizedString incorrectPassword{"Incorrect password. Try again.",
                                            "Неверный пароль. Попробуйте ещё раз."};

}  // namespace

OpenedPDF OpenedPDF::open(const QString& path) {
    if (const int error = DocumentLoaderError::accessError(path); error != 0) {
        logLine("cannot open " + path.toStdString() + ": " + std::strerror(error));
        throw DocumentLoaderError::inaccessible(error, std::strerror(error));
    }
    try {
        std::unique_ptr<PDFDocument> pdf = openPDFDocument(path);
        return OpenedPDF{path, std::shared_ptr<PDFDocument>(std::move(pdf)), std::nullopt};
    } catch (const PDFEngineError& error) {
        logLine(std::string("cannot open ") + path.toStdString() + ": " + error.text());
        throw DocumentLoaderError(DocumentLoaderError::Code::unreadable, error.text());
    }
}

QString OpenedPDF::displayName() const {
    return QFileInfo(path).fileName();
}

QString unlockPromptText(const OpenedPDF& document, bool afterWrongPassword) {
    if (afterWrongPassword) {
        return incorrectPassword.text();
    }
    return promptPrefix.text() + document.displayName() + promptSuffix.text();
}

bool tryPassword(OpenedPDF& document, const QString& password) {
    if (!document.pdf->unlock(password)) {
        return false;
    }
    document.password = password;
    return true;
}

UnlockOutcome unlockDocument(OpenedPDF& document, const PasswordPrompt& prompt) {
    if (!document.pdf->isLocked()) {
        return UnlockOutcome::notLocked;
    }
    bool wrong = false;
    for (;;) {
        const std::optional<QString> password = prompt(unlockPromptText(document, wrong));
        if (!password) {
            return UnlockOutcome::cancelled;
        }
        if (tryPassword(document, *password)) {
            return UnlockOutcome::unlocked;
        }
        wrong = true;
    }
}

}  // namespace quillet
