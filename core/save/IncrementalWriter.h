// Produces a new version of a PDF file: a clone of the source followed by
// one incremental update holding the application's annotations of the pages
// whose markup changed, those page dictionaries, a cross-reference section
// and a trailer. Existing bytes are never modified. Annotations written by an
// earlier save are referenced again when their item did not change, so a
// save in which nothing changed appends nothing. Stateless.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/markup/AnnotationItem.h"
#include "core/pdf/FileCloner.h"
#include "core/pdf/PDFFileReader.h"
#include "core/pdf/PDFValue.h"
#include "core/save/IncrementalWriteResult.h"
#include "core/save/IncrementalWriterError.h"

namespace quillet {

// Page index (0-based) to the items the page must carry, in order. Only the
// pages present are examined; a page with an empty list loses all of the
// application's annotations.
using PageItemMap = std::map<int64_t, std::vector<AnnotationItem>>;

namespace IncrementalWriter {

// Page references one update accepts (they arrive from a cached list too).
inline constexpr int64_t kMaxGeneration = 65535;

// What one update carries and how it is made.
struct AppendOptions {
    // The page count the caller believes the file has; a file that now has
    // another is refused (IncrementalWriterError, page count mismatch).
    int64_t expectedPageCount = 0;
    PageItemMap pages{};
    // The page list of an earlier save of the same file, saving the
    // page-tree walk.
    std::optional<std::vector<PDFRef>> cachedPageRefs{};
    // Opens an encrypted source (only where the writer opens the source
    // itself); the update is then encrypted with the file's own key.
    std::optional<std::string> password{};
    // Notes are written as stamps, without pop-ups.
    bool expandNotes = false;
    // A source whose table the reader had to rebuild gets an update even when
    // no page changes: the rebuilt table alone, so that readers that cannot
    // rebuild one themselves open the result.
    bool writeRebuiltTable = false;
    FileClonerCalls calls = FileClonerCalls::system();
};

// Reads `source` (memory-mapped, only the pages of the map), clones it to
// `destination` and appends the update with a single durable append.
// `destination` must name another file than `source`: the clone removes
// what is there first.
// Throws IncrementalWriterError, and passes on the reader's errors
// (FileAccessError, PDFReaderError, PDFParseError, FlateError), the
// security handler's PDFSecurityError, the codec's ItemCodecError naming an
// item it cannot carry (all of them CoreErrors), and the cloner's
// std::filesystem::filesystem_error. Before the clone, no destination is
// created; after it, a failure leaves the clone with a partial or no append.
IncrementalWriteResult appendUpdate(const std::filesystem::path& source,
                                    const std::filesystem::path& destination, const AppendOptions& options);

// The same from a reader already open on the source (a document's own
// reader, or one the caller has read the page list and items through;
// `options.password` is not used): the file is cloned from the reader's open
// descriptor, so the update always follows exactly the bytes that were read.
// Throws as above, and FileAccessError (changed) when the source was
// modified since it was read.
IncrementalWriteResult appendUpdate(PDFFileReader& reader, const std::filesystem::path& destination,
                                    const AppendOptions& options);

}  // namespace IncrementalWriter
}  // namespace quillet
