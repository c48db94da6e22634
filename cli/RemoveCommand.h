// `quillet remove IN OUT --id UUID`: one item taken off the page it is on.
#pragma once

#include "cli/Command.h"

namespace quillet::cli {

Command removeCommand();

}  // namespace quillet::cli
