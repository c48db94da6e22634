// One subcommand of the tool: how it is called, what it accepts and what
// runs it. main.cpp keeps the list; each subcommand lives in its own file
// pair and exposes a function returning its Command.
#pragma once

#include <string_view>

#include "cli/Arguments.h"

namespace quillet::cli {

struct Command {
    std::string_view name;
    std::string_view usage;    // the whole usage line, "quillet list FILE [--password-file F|--password P]"
    std::string_view summary;  // one line for the overview
    std::string_view help;     // what --help prints after the usage line
    ArgumentSpec arguments;
    // Runs with checked arguments and returns the exit status; throws on
    // failure (UsageError for a bad argument value, anything else is reported
    // with its text).
    int (*run)(const Arguments& arguments);
};

}  // namespace quillet::cli
