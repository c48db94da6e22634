// `quillet list FILE [--password-file F|--password P]`: the application's items on each page,
// as the JSON objects of their payloads.
#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <unordered_map>
#include <vector>

#include "cli/Command.h"
#include "core/markup/AnnotationItem.h"
#include "core/pdf/PDFFileReader.h"

namespace quillet::cli {

Command listCommand();

// The items of the application's annotations on one page, in /Annots order.
// An annotation is the application's when it is referenced from /Annots and
// its "QuilletItem" string is a payload that decodes; of two annotations
// carrying the same item id the first wins. Damaged annotations are skipped,
// as saving would keep them as foreign ones. A reference listed twice counts
// once. `cache`: the items already decoded during this open, by annotation.
//
// Decoding stops once the payloads decoded for the page have inflated to
// `payloadLimit` bytes: many large payloads on one page must not keep the
// reader busy for minutes. With `capped` given, it is set and the items found
// so far are returned; without it, reaching the limit throws, since a caller
// that rewrites the page from these items would drop the rest.
inline constexpr size_t kMaxPayloadBytesPerPage = size_t{256} << 20;
using ItemCache = std::unordered_map<PDFRef, std::optional<AnnotationItem>, PDFRefHash>;
std::vector<AnnotationItem> pageItems(PDFFileReader& reader, const PDFRef& page, ItemCache* cache = nullptr,
                                      bool* capped = nullptr, size_t payloadLimit = kMaxPayloadBytesPerPage);

// {"pages": {"0": [ITEM, ...], ...}} with pages without items left out. A
// page whose payloads reach `payloadLimit` lists the items found before it,
// with a warning on standard error that names the page.
nlohmann::json listItems(PDFFileReader& reader, size_t payloadLimit = kMaxPayloadBytesPerPage);

}  // namespace quillet::cli
