#include <gtest/gtest.h>

#include "MarkupFixtures.h"

namespace quillet {
namespace {

using nlohmann::json;
using testing::quilletJSON;
using testing::runQuillet;
using testing::TempDir;

constexpr int kPages = 3;

class InfoCommand : public ::testing::Test {
  protected:
    void SetUp() override { testing::writeFile(plain_, testing::simpleDocument(kPages)); }
    TempDir dir_;
    std::filesystem::path plain_ = dir_.file("plain.pdf");
};

TEST_F(InfoCommand, DescribesAClassicTableFile) {
    json info = quilletJSON({"info", plain_.string()});
    std::string bytes = testing::readFile(plain_);
    int64_t startxref = std::stoll(bytes.substr(bytes.rfind("startxref") + 10));
    EXPECT_EQ(info, json({{"pages", kPages},
                          {"encrypted", false},
                          {"unlocked", true},
                          {"securityError", nullptr},
                          {"xref", "table"},
                          {"startxref", startxref},
                          {"size", 4 + 2 * kPages},
                          {"repaired", false},
                          {"warnings", json::array()}}));
}

TEST_F(InfoCommand, ListsTheRepairsTheReaderMade) {
    std::string bytes = testing::readFile(plain_);
    const size_t table = bytes.rfind("xref\n0 ");
    bytes =
        bytes.substr(0, bytes.rfind("startxref")) + "startxref\n" + std::to_string(table + 20) + "\n%%EOF\n";
    testing::writeFile(plain_, bytes);
    json info = quilletJSON({"info", plain_.string()});
    EXPECT_EQ(info["pages"], kPages);
    EXPECT_EQ(info["repaired"], true);
    EXPECT_EQ(info["warnings"].size(), 2u) << info.dump();
}

// "unlocked" says whether the content can be read, encrypted or not.
TEST_F(InfoCommand, UnlockedOnlyWhileTheContentIsReadable) {
    if (!testing::qpdfAvailable()) GTEST_SKIP() << "qpdf not installed";
    const std::string file =
        testing::qpdfDocument(dir_, "aes.pdf", kPages, {"--encrypt", "user-pw", "owner-pw", "256", "--"})
            .string();
    json right = quilletJSON({"info", file, "--password=user-pw"});
    EXPECT_EQ(right["encrypted"], true);
    EXPECT_EQ(right["unlocked"], true);
    EXPECT_EQ(right["securityError"], nullptr);
    EXPECT_EQ(right["pages"], kPages);

    json wrong = quilletJSON({"info", file, "--password=nope"});
    EXPECT_EQ(wrong["encrypted"], true);
    EXPECT_EQ(wrong["unlocked"], false);
    EXPECT_EQ(wrong["securityError"], "wrong password");

    // Readable without a password: the empty user password opens it.
    const std::string open =
        testing::qpdfDocument(dir_, "open.pdf", kPages, {"--encrypt", "", "owner-pw", "256", "--"}).string();
    EXPECT_EQ(quilletJSON({"info", open})["unlocked"], true);
}

TEST_F(InfoCommand, AFileThatDoesNotOpenExitsOneWithoutOutput) {
    testing::CommandResult r = runQuillet({"info", dir_.file("missing.pdf").string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err, "");
}

}  // namespace
}  // namespace quillet
