#include "app/document/FileKey.h"

#include <QFile>

#include "app/platform/PlatformLog.h"
#include "core/pdf/CoreError.h"
#include "core/pdf/PDFFileReader.h"
#include "core/pdf/SecurityHandler.h"

namespace quillet {

std::optional<std::string> fileKeyOf(const QString& path, const std::optional<QString>& password) {
    std::optional<std::string> utf8;
    if (password) {
        utf8 = password->toStdString();
    }
    try {
        const std::shared_ptr<PDFFileReader> reader =
            PDFFileReader::open(QFile::encodeName(path).toStdString(), utf8);
        if (!reader->isEncrypted()) {
            return std::nullopt;
        }
        if (!reader->security() || reader->securityError()) {
            logLine("no file key for " + path.toStdString() + ": " +
                    reader->securityErrorText().value_or("the file is locked"));
            return std::nullopt;
        }
        return reader->security()->fileKey();
    } catch (const CoreError& error) {
        logLine("no file key for " + path.toStdString() + ": " + error.what());
        return std::nullopt;
    }
}

}  // namespace quillet
