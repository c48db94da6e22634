// Sorting a page's existing /Annots entries into the application's own
// annotations (recognised by their item payload), the pop-ups of those, and
// everything else, which an update keeps as it was.
#pragma once

#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "core/markup/UUID.h"
#include "core/pdf/PDFFileReader.h"
#include "core/pdf/PDFValue.h"

namespace quillet {

// An annotation that an earlier save wrote for an item.
struct ExistingAnnotation {
    PDFRef ref;
    std::string payload;          // the whole "QLT1:" text as stored
    std::optional<PDFRef> popup;  // its /Popup, when that is a reference
};

struct RecognizedAnnotations {
    // By item identifier; the first annotation carrying an identifier wins.
    std::unordered_map<UUID, ExistingAnnotation> existing;
    // Every annotation recognised as the application's, duplicates included.
    std::unordered_set<PDFRef, PDFRefHash> appRefs;
    // Pop-up reference to its parent, for pop-ups of the application's annotations.
    std::unordered_map<PDFRef, PDFRef, PDFRefHash> popupParents;
    // The entries that are not the application's, in their order.
    PDFArray retained;
};

namespace AnnotationRecognizer {

// Damaged entries (unresolvable references, non-dictionaries, payloads that
// do not decode) are never an error: they are retained like foreign ones.
RecognizedAnnotations scan(const PDFArray& annots, PDFFileReader& reader);

}  // namespace AnnotationRecognizer
}  // namespace quillet
