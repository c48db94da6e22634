#include "cli/AddCommand.h"

#include <charconv>
#include <stdexcept>

#include "cli/ItemOptions.h"
#include "cli/ListCommand.h"
#include "cli/MarkupUpdate.h"
#include "cli/Output.h"
#include "cli/PasswordSource.h"

namespace quillet::cli {
namespace {

// Users count pages from 1.
int64_t pageNumber(const Arguments& arguments) {
    std::optional<std::string> text = arguments.value("page");
    if (!text) throw UsageError("--page N is needed");
    int64_t number = 0;
    auto [end, error] = std::from_chars(text->data(), text->data() + text->size(), number);
    if (text->empty() || error != std::errc() || end != text->data() + text->size() || number < 1) {
        throw UsageError("--page takes a page number from 1 up");
    }
    return number;
}

int run(const Arguments& arguments) {
    const int64_t number = pageNumber(arguments);
    checkItemOptions(arguments);
    auto [request, readerHandle] = openUpdate(arguments);
    PDFFileReader& reader = *readerHandle;
    if (number > static_cast<int64_t>(request.pageRefs.size())) {
        throw std::runtime_error("page " + std::to_string(number) + " does not exist: the document has " +
                                 std::to_string(request.pageRefs.size()) + " pages");
    }
    const PDFRef page = request.pageRefs[number - 1];
    AnnotationItem item =
        buildItem(arguments, pageBox(reader, page), AnnotationItem::currentModificationTime());

    PageItemReader reading(reader);
    std::vector<AnnotationItem> items = pageItems(reading, page);
    for (const AnnotationItem& existing : items) {
        // The writer keeps the first of two items with one id: the new one would vanish.
        if (existing.id == item.id) {
            throw std::runtime_error("page " + std::to_string(number) + " already has an item with id " +
                                     item.id.text());
        }
    }
    items.push_back(item);
    request.pages[number - 1] = std::move(items);
    nlohmann::json result = applyUpdate(request);
    result["id"] = item.id.text();
    printJSON(result);
    return kExitSuccess;
}

ArgumentSpec arguments() {
    ArgumentSpec spec{.operands = {"IN", "OUT"}, .options = {{"page", true}}};
    for (const OptionSpec& option : passwordOptionSpecs()) spec.options.push_back(option);
    for (const OptionSpec& option : itemOptionSpecs()) spec.options.push_back(option);
    return spec;
}

}  // namespace

Command addCommand() {
    return {
        .name = "add",
        .usage =
            "quillet add IN OUT --page N (--item FILE|- | --text T --at X,Y | --note T --at X,Y | --ink "
            "POINTS | --arrow X1,Y1,X2,Y2 | --highlight|--underline|--strike-out|--squiggly "
            "(--quads QUADS | --quad-rect X0,Y0,X1,Y1)) [OPTIONS]",
        .summary = "add one markup item to a page, keeping the page's other items",
        .help =
            "Writes OUT: IN unchanged followed by one incremental update in which page N (counted\n"
            "from 1) carries its items and the new one after them. OUT may be IN itself; IN is\n"
            "then replaced in one step and never left half-written. Prints the update's counts\n"
            "and the new item's id as JSON.\n"
            "\n"
            "The item, one of:\n"
            "  --item FILE|-      an item's JSON object as `quillet list` prints it; a missing\n"
            "                     \"id\" gets a fresh one, a missing \"m\" the current time, a\n"
            "                     missing \"r\" the page's rotation\n"
            "  --text T --at X,Y  a text box whose top-left corner (as read) is at X,Y\n"
            "  --note T --at X,Y  a comment note whose icon's top-left corner is at X,Y; its bubble\n"
            "                     goes beside the icon, inside the page\n"
            "  --ink \"x,y x,y ...[; x,y ...]\"\n"
            "                     freehand strokes: points split by blanks, strokes by ';'\n"
            "  --arrow X1,Y1,X2,Y2\n"
            "                     an arrow from its tail X1,Y1 to its head X2,Y2\n"
            "  --highlight, --underline, --strike-out or --squiggly, with one of\n"
            "    --quads \"x1,y1,...,x8,y8[; ...]\"\n"
            "                     markup over the page's text, one quad per line: eight numbers\n"
            "                     each, the upper-left, upper-right, lower-left and lower-right\n"
            "                     corners as the text reads, quads split by ';'\n"
            "    --quad-rect X0,Y0,X1,Y1\n"
            "                     one upright quad: the rectangle of two opposite corners\n"
            "Coordinates are page points (1/72 inch) from the page's bottom-left corner. Items\n"
            "take the page's rotation, so their text reads upright as the page is shown.\n"
            "\n"
            "Options:\n"
            "  --page N           the page, from 1 (required)\n"
            "  --size S           font size in points of a text, note or arrow label (13)\n"
            "  --boxed            draw the text in a filled, bordered box\n"
            "  --highlighter      ink as a translucent highlighter instead of a pen\n"
            "  --label T          an arrow's label, at its tail\n"
            "  --marked-text T    the text under a text markup item (empty if not given)\n"
            "  --comment T        a comment on a text markup item\n"
            "  --color r,g,b[,a]  components from 0 to 1, a the opacity (each kind has the\n"
            "                     application's default)\n"
            "  --width W          line width in points\n",
        .arguments = arguments(),
        .run = run,
    };
}

}  // namespace quillet::cli
