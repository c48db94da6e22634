// The options of `quillet add` that describe the item to add: one of
// --item, --text, --note, --ink, --arrow or a text markup kind (--highlight,
// --underline, --strike-out, --squiggly), with the options that go with it.
// The item is made the way the application makes it on the page shown: the
// page's rotation, a note's bubble placed inside the page's crop box, the
// tools' default colours and widths unless given.
#pragma once

#include <chrono>
#include <nlohmann/json.hpp>
#include <string_view>
#include <vector>

#include "cli/Arguments.h"
#include "core/markup/AnnotationItem.h"
#include "core/pdf/PageBox.h"

namespace quillet::cli {

// --item, --text, --note, --ink, --arrow, --highlight, --underline,
// --strike-out, --squiggly, --quads, --quad-rect, --marked-text, --comment,
// --at, --size, --boxed, --highlighter, --label, --color, --width.
std::vector<OptionSpec> itemOptionSpecs();

// Checks which options go together without reading anything; throws
// UsageError. Run before any file is opened, so that a wrong call is
// reported as one whatever the files are.
void checkItemOptions(const Arguments& arguments);

// The item the options describe, made now on the page `page`. Throws
// UsageError for a malformed value and std::runtime_error when --item does
// not hold an item.
AnnotationItem buildItem(const Arguments& arguments, const PageBox& page, std::chrono::sys_seconds now);

// An item from its JSON object as `list` prints it. A missing "id" gets a
// fresh random one, a missing "m" `now` and a missing "r" the page's
// rotation. Throws std::runtime_error when it is not a valid item.
AnnotationItem itemFromObject(nlohmann::json object, int64_t pageRotation, std::chrono::sys_seconds now);

}  // namespace quillet::cli
