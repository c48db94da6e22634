// Turns one save request into a new file. The incremental writer appends an
// update to a copy of the source; every result is read back by qpdf, an
// independent parser, before it counts; when the incremental path fails on a
// file that is neither encrypted nor signed, qpdf rewrites the document
// whole. A crash marker around the incremental attempt makes the next save
// of a document whose last save died skip straight to the rewrite.
//
// Stateless: the only state is the system calls the writer goes through,
// which tests replace to make rare failures happen. Runs on the calling
// thread; a document runs one save at a time.
#pragma once

#include <string>

#include "app/document/SaveEngineError.h"
#include "app/document/SaveJob.h"
#include "app/document/SaveOutcome.h"
#include "core/pdf/FileCloner.h"

namespace quillet {

class SaveEngine {
public:
    // The page indices verified after a save, from the lowest.
    static constexpr size_t verifiedPageLimit = 200;

    SaveEngine();
    explicit SaveEngine(FileClonerCalls calls);

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
    static void rewriteWithFramework(const SaveJob& job, const std::string& source, const std::string& destination);

private:
    FileClonerCalls calls_;
};

}  // namespace quillet
