#include "cli/ListCommand.h"

#include <set>
#include <stdexcept>
#include <string>
#include <unordered_set>

#include "cli/MarkupUpdate.h"
#include "cli/Output.h"
#include "cli/PasswordSource.h"
#include "core/markup/AnnotationSerializer.h"
#include "core/markup/ItemCodec.h"
#include "core/pdf/CoreError.h"

namespace quillet::cli {
namespace {

std::string payloadLimitText(size_t payloadLimit) {
    return "item payloads past " + std::to_string(payloadLimit) + " bytes were not decoded";
}

int run(const Arguments& arguments) {
    OpenedFile opened = openWithPassword(arguments.operand(0), arguments);
    // Without the key the payload strings are ciphertext: an empty listing
    // would wrongly say the file carries no markup.
    requireUnlocked(*opened.reader);
    printJSON(listItems(*opened.reader));
    return kExitSuccess;
}

}  // namespace

std::vector<AnnotationItem> pageItems(PageItemReader& items, const PDFRef& page) {
    std::vector<AnnotationItem> found = items.pageItems(page);
    if (items.capped())
        throw std::runtime_error("page object " + std::to_string(page.num) + ": " +
                                 payloadLimitText(items.payloadLimit()) + "; the page is left unchanged");
    return found;
}

nlohmann::json listItems(PDFFileReader& reader, size_t payloadLimit) {
    nlohmann::json pages = nlohmann::json::object();
    std::vector<PDFRef> refs = reader.pageRefs();
    PageItemReader reading(reader, payloadLimit);
    for (size_t i = 0; i < refs.size(); ++i) {
        std::vector<AnnotationItem> items = reading.pageItems(refs[i]);
        if (reading.capped())
            reportWarning("page " + std::to_string(i) + ": " + payloadLimitText(payloadLimit));
        if (items.empty()) continue;
        nlohmann::json list = nlohmann::json::array();
        for (const AnnotationItem& item : items) list.push_back(ItemCodec::toJSON(item));
        pages[std::to_string(i)] = std::move(list);
    }
    return {{"pages", std::move(pages)}};
}

Command listCommand() {
    return {
        .name = "list",
        .usage = "quillet list FILE [--password-file F|--password P]",
        .summary = "list the markup items on each page as JSON",
        .help =
            "Prints {\"pages\": {\"0\": [ITEM, ...], ...}}: for each page that carries markup\n"
            "made by this application (keys are 0-based page indices), its items in order.\n"
            "Each ITEM is the item's JSON object as stored in its annotation; the same\n"
            "format is accepted by the subcommands that write markup. The JSON Schemas\n"
            "quillet-listing.schema.json and quillet-item.schema.json describe both.\n",
        .arguments = {.operands = {"FILE"}, .options = passwordOptionSpecs()},
        .run = run,
    };
}

}  // namespace quillet::cli
