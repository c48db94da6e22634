#include "cli/ItemOptions.h"

#include <gtest/gtest.h>

#include "core/markup/ItemCodec.h"
#include "core/markup/Tool.h"
#include "core/markup/ToolStyle.h"
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

// The item the options make, checked first as `add` checks them; absent
// when they are refused as a usage error.
std::optional<AnnotationItem> madeItem(const std::vector<std::string>& args, const PageBox& page = {}) {
    try {
        const Arguments arguments = itemArguments(args);
        checkItemOptions(arguments);
        return buildItem(arguments, page, {});
    } catch (const UsageError&) {
        return std::nullopt;
    }
}

const std::string kOneQuad = "72,712,200,712,72,700,200,700";

TEST(ItemOptions, TextMarkupTakesExactlyOneQuadSourceOfWholeQuadsWithinBounds) {
    std::string tooMany = kOneQuad;
    for (size_t i = 0; i < ItemCodec::kMaxQuads; ++i) tooMany += ";" + kOneQuad;
    const std::vector<std::vector<std::string>> refused = {
        {"--highlight", "--quads", tooMany},
        {"--highlight"},
        {"--underline", "--marked-text", "word", "--comment", "why"},
        {"--highlight", "--quads", kOneQuad, "--quad-rect", "72,700,200,712"},
        {"--highlight", "--quads", "72,712,200,712,72,700,200"},
        {"--underline", "--quads", kOneQuad + ",5"},
        {"--strike-out", "--quads", kOneQuad + ";72,698,120,698,72,686,120"},
        {"--squiggly", "--quads", kOneQuad + ";"},
        {"--squiggly", "--quad-rect", "72,700,200"},
        {"--highlight", "--quads", "72,712,200,712,72,700,200,2e7"},
        {"--highlight", "--quad-rect", "72,700,-2e7,712"},
        {"--highlight", "--quads", kOneQuad, "--width", "3"},
        {"--text", "t", "--at", "1,2", "--quads", kOneQuad},
        {"--ink", "1,1 2,2", "--quad-rect", "72,700,200,712"},
        {"--note", "n", "--at", "1,2", "--comment", "c"},
        {"--arrow", "1,1,2,2", "--marked-text", "m"},
        {"--highlight", "--underline", "--quads", kOneQuad},
    };
    for (const std::vector<std::string>& args : refused) {
        std::string line;
        for (const std::string& arg : args) line += arg + " ";
        EXPECT_FALSE(madeItem(args)) << line.substr(0, 80);
    }
    const std::vector<std::vector<std::string>> taken = {
        {"--highlight", "--quads", kOneQuad + "; 72,698,120,698,72,686,120,686"},
        {"--squiggly", "--quad-rect", "72,700,200,712", "--color", "0,0,1,0.5"},
    };
    for (const std::vector<std::string>& args : taken) EXPECT_TRUE(madeItem(args)) << args[0];
}

// --quad-rect is the upright quad of the rectangle whichever corners are
// named; the item takes its kind's tool colour and the page's rotation.
TEST(ItemOptions, EachTextMarkupKindTakesItsToolsColourAndQuadRectInAnyCornerOrderEqualsItsQuads) {
    const std::vector<std::pair<std::string, TextMarkupKind>> kinds = {
        {"--highlight", TextMarkupKind::highlight},
        {"--underline", TextMarkupKind::underline},
        {"--strike-out", TextMarkupKind::strikeOut},
        {"--squiggly", TextMarkupKind::squiggly},
    };
    const PageBox turned{{0, 0, 612, 792}, 90};
    for (const auto& [option, kind] : kinds) {
        const std::optional<AnnotationItem> quads =
            madeItem({option, "--quads", kOneQuad, "--marked-text", "the fox", "--comment", "check"}, turned);
        ASSERT_TRUE(quads && quads->shape.markup()) << option;
        EXPECT_EQ(*quads->shape.markup(),
                  (TextMarkupShape{kind, {Quad::fromRect({72, 700, 128, 12})}, "the fox", "check"}));
        EXPECT_EQ(quads->color, ToolStyle::builtInDefault(toolFor(kind))->color) << option;
        EXPECT_EQ(quads->rotation, 90);
        for (const char* corners : {"72,700,200,712", "200,712,72,700", "72,712,200,700", "200,700,72,712"}) {
            const std::optional<AnnotationItem> rect = madeItem(
                {option, "--quad-rect", corners, "--marked-text", "the fox", "--comment", "check"}, turned);
            ASSERT_TRUE(rect) << option << " " << corners;
            EXPECT_EQ(rect->shape, quads->shape) << option << " " << corners;
        }
    }
}

}  // namespace
}  // namespace quillet::cli
