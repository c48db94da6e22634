// `quillet write IN OUT --markup FILE|-`: the markup of whole pages set from
// a listing in the format `quillet list` prints.
#pragma once

#include <nlohmann/json.hpp>

#include "cli/Command.h"
#include "core/save/IncrementalWriter.h"

namespace quillet::cli {

Command writeCommand();

// The page map of {"pages": {"0": [ITEM, ...], ...}} (0-based page keys).
// Throws std::runtime_error "invalid markup: ..." saying what is wrong: a
// key that is not a page index, an entry that is not an item, an id listed
// twice on one page (only the first would survive a save).
PageItemMap pageMapFromListing(const nlohmann::json& listing);

}  // namespace quillet::cli
