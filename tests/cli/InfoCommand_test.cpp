#include <gtest/gtest.h>

#include "QuilletProcess.h"
#include "support/PdfFixtures.h"
#include "support/TempDir.h"

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
    // plain.pdf rewritten by qpdf with these options.
    std::string qpdfVariant(const std::string& name, std::vector<std::string> options) {
        if (!testing::qpdfAvailable()) return {};
        std::string out = dir_.file(name).string();
        options.insert(options.end(), {plain_.string(), out});
        testing::CommandResult r = testing::runQpdf(options);
        EXPECT_EQ(r.status, 0) << r.err;
        return out;
    }

    TempDir dir_;
    std::filesystem::path plain_ = dir_.file("plain.pdf");
};

TEST_F(InfoCommand, DescribesAClassicTableFile) {
    json info = quilletJSON({"info", plain_.string()});
    std::string bytes = testing::readFile(plain_);
    int64_t startxref = std::stoll(bytes.substr(bytes.rfind("startxref") + 10));
    EXPECT_EQ(info, json({{"pages", kPages},
                          {"encrypted", false},
                          {"unlocked", false},
                          {"securityError", nullptr},
                          {"xref", "table"},
                          {"startxref", startxref},
                          {"size", 4 + 2 * kPages}}));
}

TEST_F(InfoCommand, WrongPasswordLeavesTheFileLocked) {
    if (!testing::qpdfAvailable()) GTEST_SKIP() << "qpdf not installed";
    std::string file = qpdfVariant("aes.pdf", {"--encrypt", "user-pw", "owner-pw", "256", "--"});
    json info = quilletJSON({"info", file, "--password=nope"});
    EXPECT_EQ(info["encrypted"], true);
    EXPECT_EQ(info["unlocked"], false);
    EXPECT_EQ(info["securityError"], "wrong password");
}

TEST_F(InfoCommand, FailuresExitOneWithTheReason) {
    std::string missing = dir_.file("missing.pdf").string();
    testing::CommandResult r = runQuillet({"info", missing});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "quillet: cannot open " + missing + ": No such file or directory\n");
}

}  // namespace
}  // namespace quillet
