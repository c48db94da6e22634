// The version of this build: the project version CMake was given.
#pragma once

#include <string>
#include <string_view>

#include "cli/Command.h"

namespace quillet::cli {

// "0.1.0".
std::string_view toolVersion();

// "quillet 0.1.0\n", what `quillet --version` and `quillet version` print.
std::string versionLine();

// `quillet version`.
Command versionCommand();

}  // namespace quillet::cli
