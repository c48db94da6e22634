// Markup made from the text a user selected: one item per page the
// selection touches, with one quad per run of characters, each quad turned
// with the text as the page shows it.
#pragma once

#include <chrono>
#include <map>
#include <vector>

#include "app/document/StoreChange.h"
#include "app/view/PageCoordinates.h"
#include "app/view/PageTextSelection.h"
#include "core/markup/ToolStyle.h"

namespace quillet {

using SelectedRuns = std::map<int, std::vector<PageTextSelection::Run>>;

// Each new item goes on top of its page: `itemCount` tells how many a page
// holds. Pages without runs, or whose geometry is unknown, get none.
std::vector<StoreChange::Insertion> selectedTextMarkup(TextMarkupKind kind, const ToolStyle& style,
                                                       const SelectedRuns& runs,
                                                       const PageCoordinates& coordinates,
                                                       const std::function<int(int page)>& itemCount,
                                                       std::chrono::sys_seconds now);

}  // namespace quillet
