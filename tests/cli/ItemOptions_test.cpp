#include "cli/ItemOptions.h"

#include <gtest/gtest.h>

#include "support/ErrorText.h"

namespace quillet::cli {
namespace {

using testing::errorOf;

Arguments itemArguments(const std::vector<std::string>& args) {
    return Arguments::parse(args, ArgumentSpec{.operands = {}, .options = itemOptionSpecs()});
}

TEST(ItemOptions, TextAndNoteNeedAPlaceOtherKindsRefuseOne) {
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"--text", "t"}, "--text needs --at X,Y"},
        {{"--note", "n", "--size", "20"}, "--note needs --at X,Y"},
        {{"--ink", "1,1", "--at", "1,1"}, "--at goes only with --text or --note"},
        {{"--text", "t", "--at", "1,2"}, "no error"},
        {{"--note", "n", "--at", "1,2"}, "no error"},
    };
    for (const auto& [args, error] : cases)
        EXPECT_EQ(errorOf([&] { checkItemOptions(itemArguments(args)); }), error) << args[0];
}

TEST(ItemOptions, ColourComponentsLieBetweenZeroAndOne) {
    const std::pair<std::string, std::string> cases[] = {
        {"0,0.5,1", "no error"},
        {"1,1,1,0", "no error"},
        {"0,0,1.01", "--color: components lie between 0 and 1"},
        {"-0.01,0,0", "--color: components lie between 0 and 1"},
        {"0,0,0,2", "--color: components lie between 0 and 1"},
        {"0,0", "--color takes r,g,b or r,g,b,a"},
    };
    for (const auto& [colour, error] : cases) {
        const Arguments arguments = itemArguments({"--ink", "1,1 2,2", "--color", colour});
        EXPECT_EQ(errorOf([&] { buildItem(arguments, {}, {}); }), error) << colour;
    }
    const Arguments arguments = itemArguments({"--ink", "1,1 2,2", "--color", "0,0.5,1,0.25"});
    EXPECT_EQ(buildItem(arguments, {}, {}).color, RGBA(0, 0.5, 1, 0.25));
}

}  // namespace
}  // namespace quillet::cli
