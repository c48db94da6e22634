#include "app/document/SaveEngineError.h"

#include "core/pdf/FileAccessError.h"

namespace quillet {

namespace {

constexpr LocalizedString description{"Markup could not be saved", "Не удалось сохранить пометки"};

// Each reason is a prefix, the detail and a suffix; reasons without a detail
// leave both halves of the pair after the first empty.
struct Reason {
    LocalizedString before;
    LocalizedString after;
};

Reason reasonOf(SaveEngineError::Code code) {
    using Code = SaveEngineError::Code;
    switch (code) {
        case Code::verificationFailed:
            return {{"The saved file failed verification (", "Проверка сохранённого файла не прошла ("},
                    {").", ")."}};
        case Code::encryptedUnsupported:
            return {{"An encrypted document can’t be saved without changing its protection (",
                     "Зашифрованный документ не удаётся сохранить без изменения защиты ("},
                    {"). Markup is kept in the recovery journal.", "). Пометки сохранены в журнале."}};
        case Code::writeFailed:
            return {{"The file could not be written.", "Не удалось записать файл."}, {"", ""}};
        case Code::signedUnsupported:
            return {{"The document is digitally signed, and saving it whole would break its signatures (",
                     "Документ подписан электронной подписью, и полная перезапись нарушила бы подписи ("},
                    {"). Markup is kept in the recovery journal.", "). Пометки сохранены в журнале."}};
        case Code::fileBusy:
            return {{"Another program is writing this file. Try saving again in a moment.",
                     "Этот файл сейчас записывает другая программа. Попробуйте сохранить чуть позже."},
                    {"", ""}};
        case Code::fileChanged:
            return {
                {"The file was changed by another program while it was being saved, so it was left as it is. "
                 "Markup is kept in the recovery journal.",
                 "Файл был изменён другой программой во время сохранения и оставлен как есть. "
                 "Пометки сохранены в журнале."},
                {"", ""}};
        case Code::hardLinked:
            return {
                {"The file has more than one name (hard links), and saving it in place would separate them. "
                 "Save a copy under another name instead.",
                 "У файла несколько имён (жёсткие ссылки), и сохранение на месте разделило бы их. "
                 "Сохраните копию под другим именем."},
                {"", ""}};
    }
    return {{"", ""}, {"", ""}};
}

bool hasDetailInReason(SaveEngineError::Code code) {
    using Code = SaveEngineError::Code;
    return code == Code::verificationFailed || code == Code::encryptedUnsupported ||
           code == Code::signedUnsupported;
}

std::string number(long long value) {
    return std::to_string(value);
}

}  // namespace

SaveEngineError SaveEngineError::fromFileAccess(const FileAccessError& error) {
    switch (error.code()) {
        case FileAccessError::Code::busy:
            return fileBusy(error.text());
        case FileAccessError::Code::changed:
            return fileChanged(error.text());
        case FileAccessError::Code::linked:
            return hardLinked(error.text());
        default:
            return writeFailed(error.text());
    }
}

SaveEngineError::Detail SaveEngineError::Detail::doesNotOpen() {
    return {"the file does not open", "файл не открывается"};
}

SaveEngineError::Detail SaveEngineError::Detail::cannotUnlock() {
    return {"the encrypted file cannot be opened", "не удаётся открыть зашифрованный файл"};
}

SaveEngineError::Detail SaveEngineError::Detail::pageCount(long long found, long long expected) {
    return {number(found) + " pages instead of " + number(expected),
            "число страниц " + number(found) + " вместо " + number(expected)};
}

SaveEngineError::Detail SaveEngineError::Detail::missingPage(long long number_) {
    return {"page " + number(number_) + " is missing", "нет страницы " + number(number_)};
}

SaveEngineError::Detail SaveEngineError::Detail::markupCount(long long page, long long found,
                                                             long long expected) {
    return {"page " + number(page) + " has " + number(found) + " markups instead of " + number(expected),
            "на странице " + number(page) + " " + number(found) + " пометок вместо " + number(expected)};
}

SaveEngineError::SaveEngineError(Code code, Detail detail) : code_(code), detail_(std::move(detail)) {
    setText(localizedFailureReason(Language::en).toStdString());
}

QString SaveEngineError::userText(Language language) const {
    const QString reason = localizedFailureReason(language);
    return reason.isEmpty() ? localizedDescription(language) : reason;
}

QString SaveEngineError::localizedDescription(Language language) const {
    return description.in(language);
}

QString SaveEngineError::localizedFailureReason(Language language) const {
    const Reason reason = reasonOf(code_);
    if (!hasDetailInReason(code_)) {
        return reason.before.in(language);
    }
    const std::string& detail = language == Language::ru ? detail_.ru : detail_.en;
    return reason.before.in(language) + QString::fromStdString(detail) + reason.after.in(language);
}

}  // namespace quillet
