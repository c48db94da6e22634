// What one successful save did.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/pdf/PDFValue.h"
#include "core/save/FileIdentity.h"
#include "core/save/HeldFile.h"

namespace quillet {

struct SaveOutcome {
    enum class Method { incremental, rewrite };

    Method method = Method::incremental;
    // For an incremental save that read the job's own source: the writer's
    // page references, worth caching for the next save of that file.
    std::optional<std::vector<PDFRef>> pageRefs;
    // From the start of the save to its end.
    double duration = 0;
    // After a save in place: the user's file as written, the next save's
    // SaveJob::targetIdentity.
    std::optional<FileIdentity> targetIdentity;
    // After a rewrite: what qpdf repaired in the source while reading and
    // writing it (each also logged).
    std::vector<std::string> warnings;
    // After a save in place: the user's file as it was before, still open so
    // that giving its space back does not delay the save. Drop it once the
    // save has been reported; never keep it with the outcome.
    std::shared_ptr<const HeldFile> replacedVersion;
};

}  // namespace quillet
