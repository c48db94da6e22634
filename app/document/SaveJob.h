// One save request: what the document hands the save engine, built from a
// snapshot of its store. A plain value; the engine keeps nothing of it.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/markup/AnnotationItem.h"
#include "core/pdf/PDFValue.h"
#include "core/save/FileIdentity.h"

namespace quillet {

// Pages (0-based) with their full item lists, in drawing order.
using PageItems = std::map<int, std::vector<AnnotationItem>>;

struct SaveJob {
    // The file to update: the document's private working copy, or the file
    // of its last save.
    std::string source;
    // Read instead of `source` when no file exists there (the document's own file).
    std::optional<std::string> fallbackSource;
    // The document as the user knows it; names its crash marker.
    std::string documentPath;
    // The page count the saved document must have.
    int pageCount = 0;
    // Every touched page (0-based) with its full item list, in drawing order.
    PageItems pages;
    // The store generation of the snapshot.
    int64_t generation = 0;
    bool isEncrypted = false;
    // The password the document was opened with (UTF-8).
    std::optional<std::string> password;
    // Page references remembered from the last incremental save of `source`.
    std::optional<std::vector<PDFRef>> cachedPageRefs;
    // Notes written as stamps, without pop-ups; documents leave it off.
    bool expandNotes = false;
    // For a save in place: the user's file as the document last read or
    // wrote it. A file that differs when the new version is ready was changed
    // by another program and is not replaced. Absent: the file as it is when
    // the save takes its lock.
    std::optional<FileIdentity> targetIdentity;
};

}  // namespace quillet
