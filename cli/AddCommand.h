// `quillet add IN OUT --page N ITEM-OPTIONS`: one item appended to a page's
// markup, the page's other items kept.
#pragma once

#include "cli/Command.h"

namespace quillet::cli {

Command addCommand();

}  // namespace quillet::cli
