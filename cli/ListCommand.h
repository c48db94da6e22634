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
using ItemCache = std::unordered_map<PDFRef, std::optional<AnnotationItem>, PDFRefHash>;
std::vector<AnnotationItem> pageItems(PDFFileReader& reader, const PDFRef& page, ItemCache* cache = nullptr);

// {"pages": {"0": [ITEM, ...], ...}} with pages without items left out.
nlohmann::json listItems(PDFFileReader& reader);

}  // namespace quillet::cli
