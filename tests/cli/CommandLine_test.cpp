#include <gtest/gtest.h>

#include "QuilletProcess.h"
#include "cli/Version.h"

namespace quillet {
namespace {

using testing::runQuillet;

const std::string kInfoUsage = "usage: quillet info FILE [--password-file F|--password P]\n";

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

TEST(CommandLine, VersionIsTheBuildsOnOneLine) {
    for (const char* spelling : {"--version", "version"}) {
        testing::CommandResult r = runQuillet({spelling});
        EXPECT_EQ(r.status, 0) << spelling;
        EXPECT_EQ(r.out, "quillet " + std::string(cli::toolVersion()) + "\n") << spelling;
        EXPECT_EQ(r.err, "");
    }
}

TEST(CommandLine, HelpNamesThePasswordSourcesAndTheSchemas) {
    testing::CommandResult overview = runQuillet({"--help"});
    EXPECT_EQ(overview.status, 0);
    for (const char* text : {"QUILLET_PASSWORD", "--password-file", "quillet-item.schema.json", "--version"})
        EXPECT_NE(overview.out.find(text), std::string::npos) << text;
    testing::CommandResult info = runQuillet({"info", "--help"});
    EXPECT_NE(info.out.find("QUILLET_PASSWORD"), std::string::npos);
    EXPECT_NE(info.out.find("unlocked       whether the content is readable"), std::string::npos);
}

}  // namespace
}  // namespace quillet
