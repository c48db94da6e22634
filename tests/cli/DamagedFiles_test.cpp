// Damaged files as they come from the wild (cut downloads, converted line
// ends, junk around the file, wrong offsets, broken chains and object
// streams, odd page trees): quillet opens each with the page count pdfinfo
// reports, and an item added to it gives a file that qpdf reads without
// reconstructing it and pdftoppm draws with the item.
#include "support/DamagedFiles.h"

#include <gtest/gtest.h>

#include <regex>

#include "MarkupFixtures.h"
#include "support/RenderedPage.h"

namespace quillet {
namespace {

namespace fs = std::filesystem;
using testing::CommandResult;
using testing::Damage;
using testing::runCommand;
using testing::runQuillet;
using testing::TempDir;

// pdfinfo's page count, else qpdf's; absent when neither opens the file.
std::optional<int> peerPages(const fs::path& file) {
    CommandResult r = runCommand({"pdfinfo", file.string()});
    std::smatch match;
    static const std::regex pages("Pages:\\s+(\\d+)");
    if (std::regex_search(r.out, match, pages)) return std::stoi(match[1]);
    r = testing::runQpdf({"--show-npages", file.string()});
    if (r.out.empty()) return std::nullopt;
    return std::stoi(r.out);
}

// What qpdf says when it had to rebuild a file's cross-reference data, or
// to make a direct page-tree kid an object.
const std::regex kReconstruction("reconstruct|damaged|xref|cross-reference|expected \\d+ \\d+ obj|is direct",
                                 std::regex::icase);

class DamagedFiles : public ::testing::TestWithParam<Damage> {};

TEST_P(DamagedFiles, OpenWithThePeersPageCountAndTakeAnUpdateNoReaderMustRepair) {
    for (const char* tool : {"qpdf", "pdfinfo", "pdftoppm"})
        if (runCommand({tool, "--version"}).status < 0) GTEST_SKIP() << tool << " not installed";
    TempDir dir;
    const std::string damaged = GetParam().make(dir);
    const fs::path in = dir.file("in.pdf"), out = dir.file("out.pdf");
    testing::writeFile(in, damaged);
    const std::optional<int> peers = peerPages(in);
    const int expected = GetParam().peersCount ? peers.value_or(GetParam().pages) : GetParam().pages;

    nlohmann::json info = testing::quilletJSON({"info", in.string()});
    ASSERT_TRUE(info.is_object());
    EXPECT_EQ(info["pages"], expected);

    auto addInk = [](const fs::path& from, const fs::path& to) {
        return runQuillet({"add", from.string(), to.string(), "--page", "1", "--ink", "20,100 180,100",
                           "--color", "1,0,0", "--width", "30"});
    };
    CommandResult added = addInk(in, out);
    ASSERT_EQ(added.status, 0) << added.err;
    EXPECT_TRUE(testing::readFile(out).starts_with(damaged)) << "the source stays an exact prefix";

    CommandResult checked = testing::runQpdf({"--check", "--password=", out.string()});
    EXPECT_FALSE(std::regex_search(checked.out + checked.err, kReconstruction)) << checked.out << checked.err;
    nlohmann::json after = testing::quilletJSON({"info", out.string()});
    EXPECT_EQ(after["repaired"], false);
    EXPECT_EQ(after["pages"], expected);
    EXPECT_EQ(peerPages(out), peers.value_or(expected)) << "pdfinfo's page count is unchanged";
    // The result is an ordinary file: a second item goes beside the first,
    // and both are found.
    ASSERT_EQ(addInk(out, dir.file("again.pdf")).status, 0);
    EXPECT_EQ(testing::itemsOn(dir.file("again.pdf")).size(), 2u);

    std::string error;
    const auto drawn = testing::RenderedPage::render(out, 0, {}, {.dpi = 18}, &error);
    ASSERT_TRUE(drawn) << error;
    EXPECT_GT(drawn->countNear(Rect{0, 0, 612, 792}, RGBA(1, 0, 0, 1), 60), 0) << "the added ink is drawn";
}

INSTANTIATE_TEST_SUITE_P(Kinds, DamagedFiles, ::testing::ValuesIn(testing::damagedFiles()),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace quillet
