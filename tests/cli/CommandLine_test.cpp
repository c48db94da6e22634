#include <gtest/gtest.h>

#include "QuilletProcess.h"

namespace quillet {
namespace {

using testing::runQuillet;

const std::string kInfoUsage = "usage: quillet info FILE [--password P]\n";

TEST(CommandLine, UsageErrorsExitTwoWithTheUsageLine) {
    struct Case {
        std::vector<std::string> args;
        std::string err;
    };
    const std::string toolUsage = "usage: quillet SUBCOMMAND [ARGUMENTS]   (quillet --help lists them)\n";
    const std::vector<Case> cases = {
        {{}, "quillet: no subcommand given\n" + toolUsage},
        {{"frobnicate"}, "quillet: unknown subcommand frobnicate\n" + toolUsage},
        {{"info"}, "quillet: missing FILE\n" + kInfoUsage},
        {{"info", "a.pdf", "b.pdf"}, "quillet: unexpected argument b.pdf\n" + kInfoUsage},
        {{"info", "a.pdf", "--pasword", "x"}, "quillet: unknown option --pasword\n" + kInfoUsage},
    };
    for (const Case& c : cases) {
        testing::CommandResult r = runQuillet(c.args);
        EXPECT_EQ(r.status, 2) << c.err;
        EXPECT_EQ(r.err, c.err);
        EXPECT_EQ(r.out, "");
    }
}

}  // namespace
}  // namespace quillet
