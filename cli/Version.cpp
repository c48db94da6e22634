#include "cli/Version.h"

#include "cli/Output.h"

namespace quillet::cli {
namespace {

int run(const Arguments&) {
    printText(versionLine());
    return kExitSuccess;
}

}  // namespace

// QUILLET_VERSION is defined for this file alone, so that a new version
// recompiles one file.
std::string_view toolVersion() {
    return QUILLET_VERSION;
}

std::string versionLine() {
    return "quillet " + std::string(toolVersion()) + "\n";
}

Command versionCommand() {
    return {
        .name = "version",
        .usage = "quillet version",
        .summary = "print the version of this build (also `quillet --version`)",
        .help = "Prints \"quillet\" and the version, as in \"quillet 1.2.3\", on one line.\n",
        .arguments = {},
        .run = run,
    };
}

}  // namespace quillet::cli
