// Why a save failed. Every case shares one description ("Markup could not be
// saved"); the failure reason says why, in the interface language. The
// document shows the reason, or the description when there is none.
#pragma once

#include <QString>
#include <optional>
#include <string>

#include "app/platform/AppError.h"

namespace quillet {

class FileAccessError;

class SaveEngineError : public AppError {
  public:
    enum class Code {
        verificationFailed,    // the written file did not read back as saved
        encryptedUnsupported,  // an encrypted file that only a rewrite could save
        writeFailed,           // the file could not be written
        signedUnsupported,     // a signed file that only a rewrite could save
        fileBusy,              // another program holds the file's write lock
        fileChanged,           // the file was replaced while it was being saved
        hardLinked,            // the file has more than one name
    };

    // A detail in both interface languages; technical details (a writer's
    // description) read the same in both.
    struct Detail {
        std::string en;
        std::string ru;

        static Detail same(std::string text) { return {text, text}; }
        // The details of a failed verification; page numbers count from 1.
        static Detail doesNotOpen();
        static Detail cannotUnlock();
        static Detail pageCount(long long found, long long expected);
        static Detail missingPage(long long number);
        static Detail markupCount(long long number, long long found, long long expected);

        bool operator==(const Detail&) const = default;
    };

    // The core's file failures in the terms a user is shown (a busy, replaced
    // or hard-linked file; any other failure is a failed write).
    static SaveEngineError fromFileAccess(const FileAccessError& error);
    static SaveEngineError verificationFailed(Detail detail) {
        return {Code::verificationFailed, std::move(detail)};
    }
    static SaveEngineError encryptedUnsupported(Detail detail) {
        return {Code::encryptedUnsupported, std::move(detail)};
    }
    // `logDetail`: what went wrong, for the log only.
    static SaveEngineError writeFailed(std::string logDetail = {}) {
        return {Code::writeFailed, Detail::same(std::move(logDetail))};
    }
    static SaveEngineError signedUnsupported(Detail detail) {
        return {Code::signedUnsupported, std::move(detail)};
    }
    static SaveEngineError fileBusy(std::string logDetail = {}) {
        return {Code::fileBusy, Detail::same(std::move(logDetail))};
    }
    static SaveEngineError fileChanged(std::string logDetail = {}) {
        return {Code::fileChanged, Detail::same(std::move(logDetail))};
    }
    static SaveEngineError hardLinked(std::string logDetail = {}) {
        return {Code::hardLinked, Detail::same(std::move(logDetail))};
    }

    Code code() const { return code_; }
    const Detail& detail() const { return detail_; }

    // "Markup could not be saved" / "Не удалось сохранить пометки".
    QString localizedDescription(Language language) const;
    // E.g. "The saved file failed verification (page 3 has 4 markups instead of 5)."
    QString localizedFailureReason(Language language) const;
    // The English failure reason, for logs; also what().
    // The failure reason, else the description.
    QString userText(Language language) const override;

  private:
    SaveEngineError(Code code, Detail detail);

    Code code_;
    Detail detail_;
};

}  // namespace quillet
