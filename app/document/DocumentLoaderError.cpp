#include "app/document/DocumentLoaderError.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <cerrno>
#include <cstring>

namespace quillet {

namespace {

constexpr LocalizedString unreadableText{"The document could not be opened", "Не удалось открыть документ"};
constexpr LocalizedString unreadableExplanation{"The file is damaged or is not a PDF.",
                                                "Файл повреждён или не является PDF."};
// The usual reasons in both languages; others in the system's own words.
constexpr LocalizedString missingFile{"The file does not exist.", "Файл не существует."};
constexpr LocalizedString folderNotFile{"This is a folder, not a file.", "Это папка, а не файл."};
constexpr LocalizedString noPermission{"You don’t have permission to read the file.",
                                       "Нет прав на чтение файла."};

}  // namespace

DocumentLoaderError::DocumentLoaderError(Code code, std::string detail, int errorNumber)
    : AppError(unreadableText.en), code_(code), detail_(std::move(detail)), errorNumber_(errorNumber) {}

int DocumentLoaderError::accessError(const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return errno;
    }
    struct stat info {};
    const bool isFolder = ::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode);
    ::close(fd);
    return isFolder ? EISDIR : 0;
}

QString DocumentLoaderError::userText(Language language) const {
    return localizedText(language) + QStringLiteral(": ") + localizedExplanation(language);
}

QString DocumentLoaderError::localizedText(Language language) const {
    return unreadableText.in(language);
}

QString DocumentLoaderError::localizedExplanation(Language language) const {
    if (code_ == Code::unreadable) {
        return unreadableExplanation.in(language);
    }
    switch (errorNumber_) {
        case ENOENT:
        case ENOTDIR:
            return missingFile.in(language);
        case EISDIR:
            return folderNotFile.in(language);
        case EACCES:
        case EPERM:
            return noPermission.in(language);
        default:
            return QString::fromLocal8Bit(std::strerror(errorNumber_)) + QLatin1Char('.');
    }
}

}  // namespace quillet
