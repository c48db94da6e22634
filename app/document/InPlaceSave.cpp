#include "app/document/InPlaceSave.h"

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

// The file-level failures in the save engine's terms, so the user reads one
// family of messages.
[[noreturn]] void rethrowAsSaveError(const FileAccessError& error)
{
    logLine("save failed: " + error.text());
    switch (error.code()) {
    case FileAccessError::Code::busy:
        throw SaveEngineError::fileBusy(error.text());
    case FileAccessError::Code::changed:
        throw SaveEngineError::fileChanged(error.text());
    case FileAccessError::Code::linked:
        throw SaveEngineError::hardLinked(error.text());
    default:
        throw SaveEngineError::writeFailed(error.text());
    }
}

template <typename Write>
void replaceUnderLock(const QString& target, const std::optional<FileIdentity>& expected, Write writeTo)
{
    try {
        const std::string resolved = DocumentKey::resolvedPath(target.toStdString());
        const PathLock lock = PathLock::acquire(resolved, lockWait);
        ReplacementFile replacement(resolved);
        writeTo(replacement.path());
        replacement.commit(expected);
    } catch (const FileAccessError& error) {
        rethrowAsSaveError(error);
    }
}

}  // namespace

SaveOutcome write(const SaveJob& job, const QString& target, const std::optional<FileIdentity>& expected)
{
    SaveJob inPlace = job;
    inPlace.targetIdentity = expected;
    return SaveEngine().saveInPlace(inPlace, target.toStdString());
}

void replaceWith(const QString& from, const QString& target, const std::optional<FileIdentity>& expected)
{
    replaceUnderLock(target, expected, [&](const std::string& destination) {
        FileCloner::clone(from.toStdString(), destination);
    });
}

}  // namespace quillet::InPlaceSave
