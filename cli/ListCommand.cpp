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

std::optional<AnnotationItem> itemOf(PDFFileReader& reader, const PDFValue& entry, size_t& inflated) {
    // Inline annotation dictionaries are never the application's: saving
    // drops those carrying a payload and writes the page's items afresh.
    if (!entry.refValue()) return std::nullopt;
    try {
        PDFValue annotation = reader.resolve(entry);
        const PDFDictionary* dict = annotation.dictValue();
        return dict ? AnnotationSerializer::ownItem(*dict, &inflated) : std::nullopt;
    } catch (const CoreError&) {
        return std::nullopt;  // an unreadable annotation is foreign, not fatal
    }
}

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

std::vector<AnnotationItem> pageItems(PDFFileReader& reader, const PDFRef& page, ItemCache* cache,
                                      bool* capped, size_t payloadLimit) {
    if (capped) *capped = false;
    std::optional<PDFObject> object = reader.object(page.num);
    const PDFDictionary* dict = object ? object->dictionary() : nullptr;
    const PDFValue* annots = dict ? dict->find("Annots") : nullptr;
    if (!annots) return {};
    PDFValue array = reader.resolve(*annots);
    if (!array.arrayValue()) return {};

    std::vector<AnnotationItem> items;
    std::set<UUID> seen;
    ItemCache pageCache;
    if (!cache) cache = &pageCache;
    std::unordered_set<PDFRef, PDFRefHash> listed;
    size_t pageInflated = 0;
    for (const PDFValue& entry : *array.arrayValue()) {
        // A payload is decoded once per open, however often it is referenced.
        std::optional<PDFRef> ref = entry.refValue();
        if (!ref || !listed.insert(*ref).second) continue;
        auto cached = cache->find(*ref);
        if (cached == cache->end()) {
            if (pageInflated >= payloadLimit) {
                if (!capped) {
                    throw std::runtime_error("page object " + std::to_string(page.num) + ": " +
                                             payloadLimitText(payloadLimit) + "; the page is left unchanged");
                }
                *capped = true;
                break;
            }
            size_t inflated = 0;
            cached = cache->emplace(*ref, itemOf(reader, entry, inflated)).first;
            pageInflated += inflated;
        }
        const std::optional<AnnotationItem>& item = cached->second;
        if (item && seen.insert(item->id).second) items.push_back(*item);
    }
    return items;
}

nlohmann::json listItems(PDFFileReader& reader, size_t payloadLimit) {
    nlohmann::json pages = nlohmann::json::object();
    std::vector<PDFRef> refs = reader.pageRefs();
    ItemCache cache;
    for (size_t i = 0; i < refs.size(); ++i) {
        bool capped = false;
        std::vector<AnnotationItem> items = pageItems(reader, refs[i], &cache, &capped, payloadLimit);
        if (capped) reportWarning("page " + std::to_string(i) + ": " + payloadLimitText(payloadLimit));
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
