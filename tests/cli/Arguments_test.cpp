#include "cli/Arguments.h"

#include <gtest/gtest.h>

#include "support/ErrorText.h"

namespace quillet::cli {
namespace {

const ArgumentSpec kSpec{.operands = {"IN", "OUT"}, .options = {{"page", true}, {"boxed", false}}};

// What a command line parses to, in one line: the operands, then each
// option given; "help", or the usage error's text.
std::string parsed(const std::vector<std::string>& args) {
    std::string out;
    try {
        const Arguments a = Arguments::parse(args, kSpec);
        if (a.helpRequested()) return "help";
        for (const std::string& operand : a.operands()) out += operand + " ";
        if (std::optional<std::string> page = a.value("page")) out += "page=" + *page + " ";
        if (a.flag("boxed")) out += "boxed ";
    } catch (const UsageError& e) {
        return "error: " + e.text();
    }
    return out;
}

TEST(Arguments, ParsesOptionsOperandsAndHelpOrNamesTheMistake) {
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"a", "b"}, "a b "},
        {{"--page", "3", "a", "b", "--boxed"}, "a b page=3 boxed "},
        {{"a", "--page=3", "b"}, "a b page=3 "},
        {{"a", "b", "--page="}, "a b page= "},
        {{"--page", "--boxed", "a", "b"}, "a b page=--boxed "},  // a value is taken as it stands
        {{"-", "b"}, "- b "},                                    // standard input
        {{"a", "--", "--boxed"}, "a --boxed "},                  // "--" ends the options
        {{"--page", "x", "--help"}, "help"},
        {{"-h"}, "help"},
        {{"--nope", "-h"}, "help"},  // help wins over a wrong line
        {{"a", "--", "--help"}, "a --help "},
        {{"a"}, "error: missing OUT"},
        {{}, "error: missing IN"},
        {{"a", "b", "c"}, "error: unexpected argument c"},
        {{"a", "b", "--nope"}, "error: unknown option --nope"},
        {{"a", "b", "-x"}, "error: unknown option -x"},
        {{"a", "b", "--page=1", "--page", "2"}, "error: --page given twice"},
        {{"a", "b", "--page"}, "error: --page needs a value"},
        {{"a", "b", "--boxed=yes"}, "error: --boxed takes no value"},
    };
    for (const auto& [args, expected] : cases) {
        std::string line;
        for (const std::string& arg : args) line += arg + " ";
        EXPECT_EQ(parsed(args), expected) << line;
    }
}

}  // namespace
}  // namespace quillet::cli
