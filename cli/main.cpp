// The quillet command-line tool: reads PDF files and the markup in them.
// `quillet SUBCOMMAND ...` picks a subcommand from the list below; every
// subcommand answers --help, prints its result as JSON, exits 1 with
// "quillet: " + the reason on failure and 2 when called wrongly.
// `quillet --version` prints the version of the build.
#include <algorithm>
#include <exception>
#include <new>
#include <string>
#include <vector>

#include "cli/AddCommand.h"
#include "cli/Command.h"
#include "cli/InfoCommand.h"
#include "cli/ListCommand.h"
#include "cli/Output.h"
#include "cli/PasswordSource.h"
#include "cli/RemoveCommand.h"
#include "cli/Version.h"
#include "cli/WriteCommand.h"

namespace quillet::cli {
namespace {

constexpr std::string_view kUsage = "quillet SUBCOMMAND [ARGUMENTS]   (quillet --help lists them)";

std::vector<Command> allCommands() {
    return {infoCommand(), listCommand(), writeCommand(), addCommand(), removeCommand(), versionCommand()};
}

std::string overview(const std::vector<Command>& commands) {
    std::string text = "usage: " + std::string(kUsage) + "\n\nSubcommands:\n";
    for (const Command& c : commands)
        text += "  " + std::string(c.usage) + "\n      " + std::string(c.summary) + "\n";
    text +=
        "\n`quillet SUBCOMMAND --help` describes one. Exit status: 0 success, 1 failure, 2 usage error.\n"
        "`quillet --version` prints the version.\n";
    text += passwordHelp();
    text +=
        "\nThe JSON of `list` and of one item is described by the JSON Schemas\n"
        "quillet-listing.schema.json and quillet-item.schema.json (docs/ in the source,\n"
        "share/doc/verda-pdf/ under the installation prefix).\n";
    return text;
}

bool takesPassword(const Command& command) {
    const std::vector<OptionSpec>& options = command.arguments.options;
    return std::any_of(options.begin(), options.end(),
                       [](const OptionSpec& o) { return o.name == "password"; });
}

int runCommand(const Command& command, const std::vector<std::string>& args) {
    try {
        Arguments arguments = Arguments::parse(args, command.arguments);
        if (arguments.helpRequested()) {
            std::string help = "usage: " + std::string(command.usage) + "\n\n" + std::string(command.help);
            if (takesPassword(command)) help += passwordHelp();
            printText(help);
            return kExitSuccess;
        }
        if (takesPassword(command)) checkPasswordOptions(arguments);
        return command.run(arguments);
    } catch (const UsageError& e) {
        return reportUsageError(e.text(), command.usage);
    } catch (const std::bad_alloc&) {
        return reportError("out of memory");
    } catch (const std::exception& e) {
        return reportError(e.what());
    }
}

int runTool(const std::vector<std::string>& args) {
    const std::vector<Command> commands = allCommands();
    if (args.empty()) return reportUsageError("no subcommand given", kUsage);
    const bool help = args[0] == "--help" || args[0] == "-h" || args[0] == "help";
    if (help || args[0] == "--version") {
        try {
            printText(help ? overview(commands) : versionLine());
            return kExitSuccess;
        } catch (const std::exception& e) {
            return reportError(e.what());
        }
    }
    for (const Command& command : commands) {
        if (command.name == args[0]) return runCommand(command, {args.begin() + 1, args.end()});
    }
    return reportUsageError("unknown subcommand " + args[0], kUsage);
}

}  // namespace
}  // namespace quillet::cli

int main(int argc, char** argv) {
    return quillet::cli::runTool(std::vector<std::string>(argv + 1, argv + argc));
}
