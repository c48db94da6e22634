#include "cli/RemoveCommand.h"

#include <algorithm>
#include <stdexcept>

#include "cli/ListCommand.h"
#include "cli/MarkupUpdate.h"
#include "cli/Output.h"
#include "cli/PasswordSource.h"

namespace quillet::cli {
namespace {

int run(const Arguments& arguments) {
    std::optional<std::string> idText = arguments.value("id");
    if (!idText) throw UsageError("--id UUID is needed");
    std::optional<UUID> id = UUID::parse(*idText);
    if (!id) throw UsageError("--id: \"" + *idText + "\" is not a UUID");

    auto [request, readerHandle] = openUpdate(arguments);
    PDFFileReader& reader = *readerHandle;
    PageItemReader reading(reader);
    for (size_t i = 0; i < request.pageRefs.size(); ++i) {
        std::vector<AnnotationItem> items = pageItems(reading, request.pageRefs[i]);
        auto kept = std::remove_if(items.begin(), items.end(),
                                   [&](const AnnotationItem& item) { return item.id == *id; });
        if (kept == items.end()) continue;
        items.erase(kept, items.end());
        request.pages[static_cast<int64_t>(i)] = std::move(items);
    }
    if (request.pages.empty()) throw std::runtime_error("no item with id " + id->text());
    printJSON(applyUpdate(request));
    return kExitSuccess;
}

std::vector<OptionSpec> options() {
    std::vector<OptionSpec> options = {{"id", true}};
    for (const OptionSpec& option : passwordOptionSpecs()) options.push_back(option);
    return options;
}

}  // namespace

Command removeCommand() {
    return {
        .name = "remove",
        .usage = "quillet remove IN OUT --id UUID [--password-file F|--password P]",
        .summary = "remove one markup item, found by its id",
        .help =
            "Writes OUT: IN unchanged followed by one incremental update in which the page\n"
            "carrying the item no longer lists it (its annotation stays in the file's earlier\n"
            "revision); the page's other items stay. Fails when no page has the item. OUT may\n"
            "be IN itself; IN is then replaced in one step and never left half-written.\n"
            "\n"
            "Prints {\"pagesUpdated\", \"annotationsWritten\", \"annotationsReused\", \"bytesAppended\"}.\n"
            "\n"
            "Options:\n"
            "  --id UUID          the item's id, as `quillet list` prints it (required)\n",
        .arguments = {.operands = {"IN", "OUT"}, .options = options()},
        .run = run,
    };
}

}  // namespace quillet::cli
