// Turns one save request into a new file. The incremental writer appends an
// update to a copy of the source; every result is read back by qpdf, an
// independent parser, before it counts; when the incremental path fails on a
// file that is neither encrypted nor signed, qpdf rewrites the document
// whole. A crash marker around the incremental attempt makes the next save
// of a document whose last save died skip straight to the rewrite.
//
// Saving into the user's own file goes through saveInPlace(): the new version
// is made beside it under a hidden name, verified, flushed and renamed over
// it, under the file's write lock, so a crash, kill or power cut at any
// moment leaves either the old or the new version.
//
// Stateless: the only state is the system calls the writer goes through,
// which tests replace to make rare failures happen. Runs on the calling
// thread; a document runs one save at a time.
#pragma once

#include <chrono>
#include <string>

#include "app/document/CrashMarker.h"
#include "app/document/SaveEngineError.h"
#include "app/document/SaveJob.h"
#include "app/document/SaveOutcome.h"
#include "core/pdf/FileCloner.h"

namespace quillet {

class SaveEngine {
  public:
    // The page indices verified after a save, from the lowest.
    static constexpr size_t verifiedPageLimit = 200;

    // How long a save in place waits for another writer of the same file.
    static constexpr std::chrono::milliseconds defaultLockWait{5000};

    SaveEngine();
    explicit SaveEngine(FileClonerCalls calls, std::chrono::milliseconds lockWait = defaultLockWait);

    // Writes the document to `destination` (never the source: the writer
    // clones onto it) and says how. Throws SaveEngineError.
    SaveOutcome run(const SaveJob& job, const std::string& destination) const;

    // Reads `destination` back with qpdf: it opens (with the job's password),
    // has the job's page count, and each of the first verifiedPageLimit pages
    // of the job carries exactly the job's items. Throws SaveEngineError
    // (verificationFailed).
    static void verify(const std::string& destination, const SaveJob& job);

    // Writes `source` whole to `destination` with qpdf, the application's
    // annotations of the job's pages replaced by the job's items, made by the
    // same serializer as the incremental path. `destination` is replaced only
    // once the new file is complete. Throws SaveEngineError: writeFailed for
    // a source that does not open or is encrypted, signedUnsupported for a
    // signed one.
    // Returns qpdf's warnings.
    static std::vector<std::string> rewriteWithFramework(const SaveJob& job, const std::string& source,
                                                         const std::string& destination);

    // Saves the document into `target`, the user's file (symbolic links are
    // followed to the real file, whose permission bits the new version keeps):
    // takes the file's write lock, runs the save into a hidden temporary file
    // beside it, and renames that over the file once verified and flushed,
    // then flushes the folder. The file is replaced only if it is still
    // job.targetIdentity (or, without one, what it was when the lock was
    // taken). Throws SaveEngineError: fileBusy when another writer keeps the
    // lock past the engine's lock wait, hardLinked for a file with several names,
    // fileChanged, and every error of run(); the file is then untouched and
    // the temporary file removed.
    SaveOutcome saveInPlace(const SaveJob& job, const std::string& target) const;

    // Removes what killed saves of the document at `documentPath` left beside
    // it: hidden temporary files of processes that no longer run. The
    // document calls it when it opens the file. Returns how many went.
    static int removeLeftovers(const std::string& documentPath);

  private:
    // The writer and its verification, inside the crash marker. Throws
    // whatever failed, for run() to fall back or report.
    SaveOutcome runIncremental(const SaveJob& job, const std::string& source, bool ownSource,
                               const std::string& destination, const CrashMarker& marker) const;

    FileClonerCalls calls_;
    std::chrono::milliseconds lockWait_;
};

}  // namespace quillet
