#include "app/platform/PDFEngineError.h"

namespace quillet {

namespace {

LocalizedString messageFor(PDFEngineError::Code code) {
    switch (code) {
        case PDFEngineError::Code::fileNotFound:
            return {"The file does not exist", "Файл не существует"};
        case PDFEngineError::Code::fileUnreadable:
            return {"The file cannot be read", "Файл не удаётся прочитать"};
        case PDFEngineError::Code::notPDF:
            return {"The file is not a PDF document or is damaged",
                    "Файл не является документом PDF или повреждён"};
        case PDFEngineError::Code::locked:
            return {"The document is locked with a password", "Документ защищён паролем"};
        case PDFEngineError::Code::writeFailed:
            return {"The document could not be written", "Не удалось записать документ"};
    }
    return {"The PDF engine failed", "Сбой обработки PDF"};
}

}  // namespace

PDFEngineError::PDFEngineError(Code code, std::string detail)
    : AppError(messageFor(code).en), code_(code), detail_(std::move(detail)) {
    if (!detail_.empty()) {
        setText(text() + ": " + detail_);
    }
}

QString PDFEngineError::localizedText(Language language) const {
    QString message = messageFor(code_).in(language);
    if (!detail_.empty()) {
        message += QStringLiteral(": ") + QString::fromStdString(detail_);
    }
    return message;
}

}  // namespace quillet
