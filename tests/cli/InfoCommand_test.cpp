// `quillet info` on files in every layout and encryption the reader opens,
// made at test time by qpdf, and its failures: exit status and message.
#include <gtest/gtest.h>

#include "QuilletProcess.h"
#include "core/pdf/PDFFileReader.h"
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
    std::string encrypted(const std::string& name, std::vector<std::string> method, bool weak = false,
                          std::vector<std::string> extra = {}) {
        std::vector<std::string> options = extra;
        if (weak) options.push_back("--allow-weak-crypto");
        options.insert(options.end(), {"--encrypt", "user-pw", "owner-pw"});
        options.insert(options.end(), method.begin(), method.end());
        options.push_back("--");
        return qpdfVariant(name, options);
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

TEST_F(InfoCommand, CountsPagesOfEveryQpdfLayout) {
    if (!testing::qpdfAvailable()) GTEST_SKIP() << "qpdf not installed";
    json streams = quilletJSON({"info", qpdfVariant("objstm.pdf", {"--object-streams=generate"})});
    EXPECT_EQ(streams["pages"], kPages);
    EXPECT_EQ(streams["xref"], "stream");

    json linearized = quilletJSON({"info", qpdfVariant("linear.pdf", {"--linearize"})});
    EXPECT_EQ(linearized["pages"], kPages);

    json both =
        quilletJSON({"info", qpdfVariant("linear-objstm.pdf", {"--linearize", "--object-streams=generate"})});
    EXPECT_EQ(both["pages"], kPages);
    EXPECT_EQ(both["xref"], "stream");
}

TEST_F(InfoCommand, ReportsTheNewestSectionOfAnIncrementalUpdate) {
    const Bytes original = testing::readFile(plain_);
    auto reader = PDFFileReader::open(plain_);
    testing::PdfBuilder update = testing::PdfBuilder::appendingTo(original);
    update.add(3, PDFValue::dict({{"Title", PDFValue::text("Updated")}}));
    update.add(20, PDFValue::integer(1));
    int64_t section = update.finishWithTable({{"Size", PDFValue::integer(21)},
                                              {"Root", PDFValue::ref(1, 0)},
                                              {"Prev", PDFValue::integer(reader->startXref())}});
    update.writeTo(dir_.file("updated.pdf"));

    json info = quilletJSON({"info", dir_.file("updated.pdf").string()});
    EXPECT_EQ(info["pages"], kPages);
    EXPECT_EQ(info["startxref"], section);
    EXPECT_EQ(info["size"], 21);
}

struct EncryptionCase {
    std::string name;
    std::vector<std::string> method;
    bool weak;
    std::vector<std::string> extra;
};

TEST_F(InfoCommand, UnlocksEveryEncryptionWithTheUserOrOwnerPasswordOnly) {
    if (!testing::qpdfAvailable()) GTEST_SKIP() << "qpdf not installed";
    const std::vector<EncryptionCase> cases = {
        {"rc4-40", {"40"}, true, {}},
        {"rc4-128", {"128", "--use-aes=n"}, true, {}},
        {"aes-128", {"128", "--use-aes=y"}, false, {}},
        {"aes-256-r5", {"256", "--force-R5"}, true, {}},
        {"aes-256", {"256"}, false, {}},
        {"aes-256-objstm", {"256"}, false, {"--object-streams=generate"}},
    };
    for (const EncryptionCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::string file = encrypted(c.name + ".pdf", c.method, c.weak, c.extra);
        for (std::string password : {"user-pw", "owner-pw"}) {
            json info = quilletJSON({"info", file, "--password", password});
            EXPECT_EQ(info["pages"], kPages);
            EXPECT_EQ(info["encrypted"], true);
            EXPECT_EQ(info["unlocked"], true);
            EXPECT_EQ(info["securityError"], nullptr);
        }
        for (std::vector<std::string> args : {std::vector<std::string>{"info", file, "--password=nope"},
                                              std::vector<std::string>{"info", file}}) {
            json info = quilletJSON(args);
            EXPECT_EQ(info["encrypted"], true);
            EXPECT_EQ(info["unlocked"], false);
            EXPECT_EQ(info["securityError"], "wrong password");
            // Plain page dictionaries are countable without the key; pages
            // inside encrypted object streams are not, which is no failure.
            EXPECT_EQ(info["pages"], c.extra.empty() ? json(kPages) : json(nullptr));
        }
    }
}

TEST_F(InfoCommand, EmptyUserPasswordOpensWithoutOne) {
    if (!testing::qpdfAvailable()) GTEST_SKIP() << "qpdf not installed";
    std::string file = qpdfVariant("empty-user.pdf", {"--encrypt", "", "owner-pw", "256", "--"});
    json info = quilletJSON({"info", file, "--password", "anything"});
    EXPECT_EQ(info["unlocked"], true);
    EXPECT_EQ(info["pages"], kPages);
}

TEST_F(InfoCommand, FailuresExitOneWithTheReason) {
    std::string missing = dir_.file("missing.pdf").string();
    testing::CommandResult r = runQuillet({"info", missing});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "quillet: cannot open " + missing + ": No such file or directory\n");

    testing::writeFile(dir_.file("notes.txt"), "just some text, no PDF here\n");
    r = runQuillet({"info", dir_.file("notes.txt").string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "quillet: startxref not found\n");

    testing::writeFile(dir_.file("empty.pdf"), "");
    r = runQuillet({"info", dir_.file("empty.pdf").string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "quillet: file is empty: " + dir_.file("empty.pdf").string() + "\n");

    r = runQuillet({"info", dir_.path().string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.starts_with("quillet: ")) << r.err;
}

TEST_F(InfoCommand, TruncatedFileFailsWithoutCrashing) {
    std::string bytes = testing::readFile(plain_);
    for (size_t keep : {bytes.size() / 2, bytes.size() - 20, size_t{9}}) {
        testing::writeFile(dir_.file("cut.pdf"), bytes.substr(0, keep));
        testing::CommandResult r = runQuillet({"info", dir_.file("cut.pdf").string()});
        EXPECT_TRUE(r.status == 0 || r.status == 1) << keep << ": " << r.err;
        if (r.status == 1) {
            EXPECT_TRUE(r.err.starts_with("quillet: ")) << r.err;
        }
    }
}

}  // namespace
}  // namespace quillet
