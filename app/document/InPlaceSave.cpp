#include "app/document/InPlaceSave.h"

#include <sys/statvfs.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <cerrno>

#include "app/document/DocumentKey.h"
#include "app/document/SaveEngine.h"
#include "app/document/SaveEngineError.h"
#include "app/platform/PlatformLog.h"
#include "core/pdf/FileAccessError.h"
#include "core/pdf/FileCloner.h"
#include "core/save/PathLock.h"
#include "core/save/ReplacementFile.h"

namespace quillet::InPlaceSave {

namespace {

template <typename Write>
void replaceUnderLock(const QString& target, const std::optional<FileIdentity>& expected, Write writeTo) {
    try {
        const std::string resolved = DocumentKey::resolvedPath(target.toStdString());
        const PathLock lock = PathLock::acquire(resolved, lockWait);
        ReplacementFile replacement(resolved);
        writeTo(replacement.path());
        replacement.commit(expected);
    } catch (const FileAccessError& error) {
        // In the save engine's terms, so that the user reads one family of messages.
        logLine("save failed: " + error.text());
        throw SaveEngineError::fromFileAccess(error);
    }
}

}  // namespace

SaveOutcome write(const SaveJob& job, const QString& target, const std::optional<FileIdentity>& expected) {
    SaveJob inPlace = job;
    inPlace.targetIdentity = expected;
    return SaveEngine().saveInPlace(inPlace, target.toStdString());
}

void replaceWith(const QString& from, const QString& target, const std::optional<FileIdentity>& expected) {
    replaceUnderLock(target, expected, [&](const std::string& destination) {
        FileCloner::clone(from.toStdString(), destination);
    });
}

std::optional<QString> whyReadOnly(const QString& path) {
    const QByteArray file = QFile::encodeName(path);
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    struct statvfs volume {};
    if (::statvfs(file.constData(), &volume) == 0 && (volume.f_flag & ST_RDONLY) != 0) {
        return QStringLiteral("the file system is read-only");
    }
    if (::access(file.constData(), W_OK) != 0 && errno != ENOENT) {
        return QStringLiteral("the file is not writable");
    }
    // A save replaces the file by a rename in its folder.
    if (::access(folder.constData(), W_OK | X_OK) != 0) {
        return QStringLiteral("its folder is not writable");
    }
    return std::nullopt;
}

}  // namespace quillet::InPlaceSave
