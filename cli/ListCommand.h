// `quillet list FILE [--password-file F|--password P]`: the application's items on each page,
// as the JSON objects of their payloads.
#pragma once

#include <nlohmann/json.hpp>
#include <vector>

#include "cli/Command.h"
#include "core/markup/AnnotationItem.h"
#include "core/pdf/PDFFileReader.h"
#include "core/save/PageItemReader.h"

namespace quillet::cli {

Command listCommand();

// The items of one page (PageItemReader::pageItems) for a command that
// rewrites the page: a page whose payloads reach the reader's bound throws,
// since the rewrite would drop the items not decoded.
std::vector<AnnotationItem> pageItems(PageItemReader& items, const PDFRef& page);

// {"pages": {"0": [ITEM, ...], ...}} with pages without items left out. A
// page whose payloads reach `payloadLimit` lists the items found before it,
// with a warning on standard error that names the page.
nlohmann::json listItems(PDFFileReader& reader,
                         size_t payloadLimit = PageItemReader::kMaxPayloadBytesPerPage);

}  // namespace quillet::cli
