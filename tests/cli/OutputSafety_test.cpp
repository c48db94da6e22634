// What a write leaves behind when it cannot finish or is not alone: two
// in-place writes at once both land, a failed write keeps the previous OUT,
// an in-place write through a link replaces the file it names, a file with
// several names is not replaced under one of them, and a read-only IN still
// gives a new OUT to a user the file modes apply to.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <thread>

#include "MarkupFixtures.h"

namespace quillet {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using testing::runQuillet;
using testing::TempDir;

std::vector<std::string> addText(const fs::path& in, const fs::path& out, const std::string& text) {
    return {"add", in.string(), out.string(), "--page", "1", "--text", text, "--at", "72,700"};
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
    EXPECT_EQ(testing::itemsOn(doc).size(), 2u * kRounds) << "an in-place write lost another one's item";
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

TEST(OutputSafety, SameFileThroughASymbolicLinkIsReplacedNeverTruncated) {
    TempDir dir;
    fs::create_directory(dir.file("real"));
    const fs::path real = dir.file("real") / "doc.pdf";
    const fs::path link = dir.file("link.pdf");
    const std::string old = testing::simpleDocument(2);
    testing::writeFile(real, old);
    fs::create_symlink("real/doc.pdf", link);
    // The file as it was: a new version must come as a new file, so this
    // descriptor keeps seeing every old byte.
    int held = ::open(real.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(held, 0);

    const json item = {{"v", 1},
                       {"id", "5E6A1D2C-0000-4000-8000-000000000001"},
                       {"t", "text"},
                       {"c", {0.9, 0.1, 0.1, 1}},
                       {"lw", 1},
                       {"m", 1733402401},
                       {"r", 0},
                       {"p1", {72, 660}},
                       {"tx", {{"s", "in place"}, {"f", 12}, {"b", false}}}};
    const json listing = {{"pages", {{"1", {item}}}}};
    testing::writeFile(dir.file("markup.json"), listing.dump());
    json result = testing::quilletJSON(
        {"write", link.string(), link.string(), "--markup", dir.file("markup.json").string()});
    EXPECT_GT(result["bytesAppended"], 0);

    struct stat st {};
    ASSERT_EQ(::fstat(held, &st), 0);
    std::string seen(old.size(), '\0');
    EXPECT_EQ(st.st_size, static_cast<off_t>(old.size()));
    EXPECT_EQ(::pread(held, seen.data(), seen.size(), 0), static_cast<ssize_t>(old.size()));
    EXPECT_EQ(seen, old);
    ::close(held);

    ASSERT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(fs::read_symlink(link), "real/doc.pdf");
    const std::string updated = testing::readFile(real);
    EXPECT_TRUE(updated.starts_with(old));
    EXPECT_EQ(updated.size(), old.size() + result["bytesAppended"].get<size_t>());
    EXPECT_EQ(testing::listing(link), listing);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.file("real")), fs::directory_iterator()), 1);
}

TEST(OutputSafety, HardLinkedOutputIsRefusedUntouched) {
    TempDir dir;
    const fs::path doc = testing::makeSource(dir);
    const fs::path other = dir.file("other-name.pdf");
    fs::create_hard_link(doc, other);
    const std::string before = testing::readFile(doc);
    testing::CommandResult r = runQuillet(addText(doc, other, "refused"));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(other.string()), std::string::npos) << r.err;
    EXPECT_EQ(testing::readFile(doc), before);
    EXPECT_EQ(fs::hard_link_count(doc), 2u);
}

// Root ignores file modes, so as root the tool runs as "nobody", in a folder
// that user owns.
testing::CommandResult runAsOrdinaryUser(const TempDir& dir, const std::vector<std::string>& args) {
    std::vector<std::string> argv{"bash", "-c", "umask 022; exec \"$@\"", "bash"};
    if (::geteuid() == 0) {
        for (const auto& entry : fs::recursive_directory_iterator(dir.path()))
            EXPECT_EQ(::chown(entry.path().c_str(), 65534, 65534), 0);
        EXPECT_EQ(::chown(dir.path().c_str(), 65534, 65534), 0);
        for (const char* arg : {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"})
            argv.push_back(arg);
    }
    argv.push_back(testing::quilletBinary());
    argv.insert(argv.end(), args.begin(), args.end());
    return testing::runCommand(argv);
}

TEST(OutputSafety, AReadOnlyInputGivesANewOutputWithTheUsualMode) {
    TempDir dir;
    const fs::path in = testing::makeSource(dir);
    const fs::path out = dir.file("out.pdf");
    ASSERT_EQ(::chmod(in.c_str(), 0444), 0);
    const std::string before = testing::readFile(in);
    testing::CommandResult r = runAsOrdinaryUser(dir, addText(in, out, "on a read-only file"));
    ASSERT_EQ(r.status, 0) << r.err;
    struct stat written {};
    ASSERT_EQ(::stat(out.c_str(), &written), 0);
    EXPECT_EQ(written.st_mode & 07777, 0644u);
    EXPECT_EQ(testing::itemsOn(out).size(), 1u);
    EXPECT_EQ(testing::readFile(in), before);
    EXPECT_EQ(fs::status(in).permissions(), fs::perms(0444));
}

}  // namespace
}  // namespace quillet
