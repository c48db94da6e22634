// What a write leaves behind when it cannot finish or is not alone: two
// in-place writes at once both land, a failed write keeps the previous OUT,
// and a file with several names is not replaced under one of them.
#include <gtest/gtest.h>

#include <thread>

#include "MarkupFixtures.h"

namespace quillet {
namespace {

namespace fs = std::filesystem;
using testing::runQuillet;
using testing::TempDir;

std::vector<std::string> addText(const fs::path& in, const fs::path& out, const std::string& text) {
    return {"add", in.string(), out.string(), "--page", "1", "--text", text, "--at", "72,700"};
}

size_t itemsOnFirstPage(const fs::path& file) {
    nlohmann::json list = testing::listing(file);
    return list.is_object() && list["pages"].contains("0") ? list["pages"]["0"].size() : 0;
}

TEST(OutputSafety, ParallelInPlaceWritesAllLandInAReadableFile) {
    if (!testing::qpdfAvailable()) GTEST_SKIP() << "qpdf not installed";
    TempDir dir;
    const fs::path doc = testing::makeSource(dir);
    constexpr int kRounds = 4;
    for (int round = 0; round < kRounds; ++round) {
        testing::CommandResult a, b;
        std::thread first([&] { a = runQuillet(addText(doc, doc, "first " + std::to_string(round))); });
        std::thread second([&] { b = runQuillet(addText(doc, doc, "second " + std::to_string(round))); });
        first.join();
        second.join();
        ASSERT_EQ(a.status, 0) << a.err;
        ASSERT_EQ(b.status, 0) << b.err;
    }
    EXPECT_EQ(itemsOnFirstPage(doc), 2u * kRounds) << "an in-place write lost another one's item";
    testing::expectQpdfClean(doc);
}

TEST(OutputSafety, AWriteThatRunsOutOfSpaceKeepsThePreviousOutput) {
    TempDir dir;
    const fs::path in = testing::makeSource(dir);
    const fs::path out = dir.file("out.pdf");
    testing::writeFile(out, "the previous OUT");
    // A file-size limit just above IN: the copy of IN fits, the update does not.
    const auto limitKiB = fs::file_size(in) / 1024 + 1;
    const std::string command = "trap '' XFSZ; ulimit -f " + std::to_string(limitKiB) + "; exec \"$@\"";
    std::vector<std::string> argv{"bash", "-c", command, "bash", testing::quilletBinary()};
    for (const std::string& arg : addText(in, out, "does not fit")) argv.push_back(arg);
    testing::CommandResult r = testing::runCommand(argv);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("File too large"), std::string::npos) << r.err;
    EXPECT_EQ(testing::readFile(out), "the previous OUT");
    for (const auto& entry : fs::directory_iterator(dir.path()))
        EXPECT_FALSE(entry.path().filename().string().starts_with(".")) << "left behind: " << entry.path();
}

TEST(OutputSafety, HardLinkedOutputIsRefusedWithTheReason) {
    TempDir dir;
    const fs::path doc = testing::makeSource(dir);
    const fs::path other = dir.file("other-name.pdf");
    fs::create_hard_link(doc, other);
    const std::string before = testing::readFile(doc);
    testing::CommandResult r = runQuillet(addText(doc, other, "refused"));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "quillet: cannot replace " + other.string() +
                         ": it has 2 names (hard links), and the others would keep the old version; write to "
                         "another file\n");
    EXPECT_EQ(testing::readFile(doc), before);
    EXPECT_EQ(fs::hard_link_count(doc), 2u);
}

}  // namespace
}  // namespace quillet
