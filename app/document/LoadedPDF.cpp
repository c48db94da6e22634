#include "app/document/LoadedPDF.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "app/document/DocumentLoaderError.h"
#include "app/platform/PlatformLog.h"
#include "core/pdf/PDFFileReader.h"
#include "core/save/IncrementalWriter.h"

namespace quillet {

namespace {

void removeIfOwned(const WorkingCopy& copy, const WorkingCopies::Places& places) {
    if (copy.owned) {
        WorkingCopies::remove(copy.path, places);
    }
}

// What the core reader repaired, for the log: the count and the first repair
// (they name offsets and object numbers, never the file's text).
std::string repairSummary(const std::vector<std::string>& warnings) {
    const std::string count =
        std::to_string(warnings.size()) + (warnings.size() == 1 ? " repair" : " repairs");
    return warnings.empty() ? count : count + ", the first: " + warnings.front();
}

// The core reader's repairs, or why the table could not be appended.
struct Rebuilt {
    std::vector<std::string> warnings;
    std::optional<std::string> failure;
};

// Appends the core reader's rebuilt table of `file` to `file` itself: the
// update is written beside it and renamed over it, so a failure leaves the
// copy as it was.
Rebuilt appendRebuiltTable(const QString& file) {
    const std::string path = QFile::encodeName(file).toStdString();
    const std::string updated = path + ".rebuilt";
    Rebuilt rebuilt;
    try {
        PDFFileReader reader(path);
        if (!reader.wasRepaired()) {
            return {{}, "the core reader found no damage to repair"};
        }
        // Without its password the core reader cannot read the file's key;
        // the display engine, which would ask for it, cannot open the file.
        if (reader.isEncrypted() && !reader.security()) {
            return {{}, "it is encrypted and needs its password to be repaired"};
        }
        IncrementalWriter::appendUpdate(reader, updated, {.writeRebuiltTable = true});
        rebuilt.warnings = reader.warnings();
    } catch (const std::bad_alloc&) {
        throw;  // not a failure of this work to report and go on from
    } catch (const std::exception& error) {
        std::remove(updated.c_str());
        return {{}, std::string("the core reader cannot repair it: ") + error.what()};
    }
    if (std::rename(updated.c_str(), path.c_str()) != 0) {
        const std::string reason = std::strerror(errno);
        std::remove(updated.c_str());
        return {{}, "the repaired copy cannot be put in place: " + reason};
    }
    return rebuilt;
}

// The display engine refused the working copy `copy` of `path`: the working
// copy becomes the file followed by its rebuilt table, in a private copy
// whatever the file's size, and the display engine opens that. Throws
// DocumentLoaderError (unreadable, with the engine's `refusal`) when it
// cannot be done; the copies made for it are removed.
LoadedPDF openRepaired(const QString& path, const WorkingCopy& copy, const WorkingCopies::Places& places,
                       const std::string& refusal) {
    const WorkingCopy owned =
        copy.owned ? copy : WorkingCopies::make(path, std::numeric_limits<int64_t>::max(), places);
    auto refuse = [&](const std::string& why) {
        removeIfOwned(owned, places);
        logLine("cannot open " + path.toStdString() + ": " + refusal + "; not repaired: " + why);
        return DocumentLoaderError(DocumentLoaderError::Code::unreadable, refusal);
    };
    if (!owned.owned) {
        throw refuse("no private copy could be made");
    }
    const Rebuilt rebuilt = appendRebuiltTable(owned.path);
    if (rebuilt.failure) {
        throw refuse(*rebuilt.failure);
    }
    try {
        LoadedPDF loaded{std::shared_ptr<PDFDocument>(openPDFDocument(owned.path)), owned.path, true, true};
        logLine("repaired " + path.toStdString() + " for display: " + repairSummary(rebuilt.warnings));
        return loaded;
    } catch (const PDFEngineError& error) {
        throw refuse("the display engine refuses the repaired copy too: " + error.text());
    }
}

}  // namespace

LoadedPDF LoadedPDF::open(const QString& path, const WorkingCopies::Places& places) {
    if (const int error = DocumentLoaderError::accessError(path); error != 0) {
        logLine("cannot open " + path.toStdString() + ": " + std::strerror(error));
        throw DocumentLoaderError::inaccessible(error, std::strerror(error));
    }
    // Hidden copies that dead processes left beside files of this folder.
    WorkingCopies::sweepStaleBeside(QFileInfo(path).absolutePath(), places);
    const WorkingCopy copy = WorkingCopies::make(path, WorkingCopies::sizeLimit, places);
    std::string refusal;
    try {
        return LoadedPDF{std::shared_ptr<PDFDocument>(openPDFDocument(copy.path)), copy.path, copy.owned};
    } catch (const PDFEngineError& error) {
        if (error.code() != PDFEngineError::Code::notPDF) {
            removeIfOwned(copy, places);
            logLine("cannot open " + path.toStdString() + ": " + error.text());
            throw DocumentLoaderError(DocumentLoaderError::Code::unreadable, error.text());
        }
        refusal = error.text();
    }
    return openRepaired(path, copy, places, refusal);
}

}  // namespace quillet
