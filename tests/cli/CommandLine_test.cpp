// How the tool is called: help texts, usage errors (exit 2 with the usage
// line) and the option syntax every subcommand shares.
#include <gtest/gtest.h>

#include "QuilletProcess.h"
#include "cli/Arguments.h"

namespace quillet {
namespace {

using cli::Arguments;
using cli::ArgumentSpec;
using cli::UsageError;
using testing::runQuillet;

const std::string kInfoUsage = "usage: quillet info FILE [--password P]\n";

TEST(CommandLine, HelpListsEverySubcommandAndSucceeds) {
    testing::CommandResult r = runQuillet({"--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_NE(r.out.find("quillet info FILE [--password P]"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("quillet list FILE [--password P]"), std::string::npos) << r.out;
}

TEST(CommandLine, EverySubcommandHasItsOwnHelp) {
    for (std::string name : {"info", "list"}) {
        for (std::string flag : {"--help", "-h"}) {
            testing::CommandResult r = runQuillet({name, flag});
            EXPECT_EQ(r.status, 0) << name;
            EXPECT_TRUE(r.out.starts_with("usage: quillet " + name + " FILE")) << r.out;
            EXPECT_NE(r.out.find("--password"), std::string::npos);
        }
    }
    // Help wins over arguments that would otherwise be wrong.
    EXPECT_EQ(runQuillet({"info", "--bogus", "--help"}).status, 0);
}

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
        {{"info", "a.pdf", "-p", "x"}, "quillet: unknown option -p\n" + kInfoUsage},
        {{"info", "a.pdf", "--password"}, "quillet: --password needs a value\n" + kInfoUsage},
        {{"info", "a.pdf", "--password=a", "--password=b"}, "quillet: --password given twice\n" + kInfoUsage},
    };
    for (const Case& c : cases) {
        testing::CommandResult r = runQuillet(c.args);
        EXPECT_EQ(r.status, 2) << c.err;
        EXPECT_EQ(r.err, c.err);
        EXPECT_EQ(r.out, "");
    }
}

const ArgumentSpec kSpec = {.operands = {"IN", "OUT"}, .options = {{"password", true}, {"boxed", false}}};

TEST(Arguments, TakesValuesSeparateOrJoinedAndFlags) {
    Arguments a = Arguments::parse({"--password", "p w", "in.pdf", "--boxed", "out.pdf"}, kSpec);
    EXPECT_EQ(a.operands(), (std::vector<std::string>{"in.pdf", "out.pdf"}));
    EXPECT_EQ(a.value("password"), "p w");
    EXPECT_TRUE(a.flag("boxed"));

    Arguments b = Arguments::parse({"in.pdf", "out.pdf", "--password="}, kSpec);
    EXPECT_EQ(b.value("password"), "");  // an empty password is a password
    EXPECT_FALSE(b.flag("boxed"));
    EXPECT_EQ(b.value("boxed"), std::nullopt);
}

TEST(Arguments, ValuesMayLookLikeOptionsAndOperandsMayFollowDoubleDash) {
    Arguments a = Arguments::parse({"--password", "--boxed", "-", "--", "--odd name.pdf"}, kSpec);
    EXPECT_EQ(a.value("password"), "--boxed");
    EXPECT_FALSE(a.flag("boxed"));
    EXPECT_EQ(a.operands(), (std::vector<std::string>{"-", "--odd name.pdf"}));
}

TEST(Arguments, RejectsWhatTheSubcommandDoesNotAccept) {
    EXPECT_THROW(Arguments::parse({"in", "out", "--boxed=yes"}, kSpec), UsageError);
    EXPECT_THROW(Arguments::parse({"in"}, kSpec), UsageError);
    EXPECT_THROW(Arguments::parse({"in", "out", "more"}, kSpec), UsageError);
    EXPECT_THROW(Arguments::parse({"in", "--", "out", "--boxed"}, kSpec), UsageError);
}

}  // namespace
}  // namespace quillet
