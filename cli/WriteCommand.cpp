#include "cli/WriteCommand.h"

#include <charconv>
#include <set>
#include <stdexcept>

#include "cli/MarkupUpdate.h"
#include "cli/Output.h"
#include "cli/PasswordSource.h"
#include "core/markup/ItemCodec.h"

namespace quillet::cli {
namespace {

[[noreturn]] void invalid(const std::string& why) {
    throw std::runtime_error("invalid markup: " + why);
}

// Canonical decimal only ("0", "12"), so that one page has one spelling.
int64_t pageIndex(const std::string& key) {
    int64_t index = -1;
    auto [end, error] = std::from_chars(key.data(), key.data() + key.size(), index);
    bool canonical = !key.empty() && (key == "0" || key[0] != '0');
    if (!canonical || error != std::errc() || end != key.data() + key.size() || index < 0) {
        invalid("page key \"" + key + "\" is not a page index from 0 up");
    }
    return index;
}

std::vector<AnnotationItem> pageItemsOf(const std::string& key, const nlohmann::json& list) {
    if (!list.is_array()) invalid("page " + key + " is not a list of items");
    std::vector<AnnotationItem> items;
    std::set<UUID> ids;
    for (size_t i = 0; i < list.size(); ++i) {
        std::optional<AnnotationItem> item = ItemCodec::fromJSON(list[i]);
        if (!item) invalid("item " + std::to_string(i) + " of page " + key + " is not a valid markup item");
        if (!ids.insert(item->id).second)
            invalid("page " + key + " lists item " + item->id.text() + " twice");
        items.push_back(std::move(*item));
    }
    return items;
}

int run(const Arguments& arguments) {
    std::optional<std::string> markup = arguments.value("markup");
    if (!markup) throw UsageError("--markup FILE|- is needed");
    PageItemMap pages = pageMapFromListing(readInputJSON(*markup));

    UpdateRequest request = openUpdate(arguments).request;
    request.expandNotes = arguments.flag("expand-notes");
    request.pages = std::move(pages);
    printJSON(applyUpdate(request));
    return kExitSuccess;
}

std::vector<OptionSpec> options() {
    std::vector<OptionSpec> options = {{"markup", true}, {"expand-notes", false}};
    for (const OptionSpec& option : passwordOptionSpecs()) options.push_back(option);
    return options;
}

}  // namespace

PageItemMap pageMapFromListing(const nlohmann::json& listing) {
    const nlohmann::json* pages = nullptr;
    if (listing.is_object() && listing.contains("pages")) pages = &listing["pages"];
    if (!pages || !pages->is_object()) invalid("expected {\"pages\": {\"0\": [ITEM, ...], ...}}");
    PageItemMap map;
    for (const auto& [key, list] : pages->items()) map[pageIndex(key)] = pageItemsOf(key, list);
    return map;
}

Command writeCommand() {
    return {
        .name = "write",
        .usage = "quillet write IN OUT --markup FILE|- [--password-file F|--password P] [--expand-notes]",
        .summary = "set the markup of pages from a listing in the format of `quillet list`",
        .help =
            "Writes OUT: IN unchanged followed by one incremental update in which every page\n"
            "listed in the markup carries exactly the items listed for it, in that order (an\n"
            "empty list removes the page's markup); other pages are left alone. Annotations of\n"
            "items that did not change are reused, so writing back what `quillet list` printed\n"
            "appends nothing. OUT may be IN itself; IN is then replaced in one step and never\n"
            "left half-written.\n"
            "\n"
            "The markup: {\"pages\": {\"0\": [ITEM, ...], ...}}, keys are 0-based page indices.\n"
            "\n"
            "Prints {\"pagesUpdated\", \"annotationsWritten\", \"annotationsReused\", \"bytesAppended\"}.\n"
            "\n"
            "Options:\n"
            "  --markup FILE|-    the markup listing, \"-\" for standard input (required)\n"
            "  --expand-notes     write notes as stamps showing their text, without pop-ups\n",
        .arguments = {.operands = {"IN", "OUT"}, .options = options()},
        .run = run,
    };
}

}  // namespace quillet::cli
