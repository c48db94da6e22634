// Where a subcommand writing OUT from IN puts the new file, above all when
// OUT is IN: the file is replaced whole by a rename, never truncated, links
// to it stay links, and a failure leaves the old version and no debris.
#include "cli/AtomicOutput.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <system_error>

#include "core/pdf/FileCloner.h"
#include "support/TempDir.h"

namespace quillet {
namespace {

namespace fs = std::filesystem;
using cli::AtomicOutput;
using testing::readFile;
using testing::TempDir;
using testing::writeFile;

const std::string kOld = "%PDF-1.7 old version\n";
const std::string kUpdate = "appended update\n";

// What a write-family subcommand does: the writer clones IN to the
// destination and appends its update.
void writeUpdate(const fs::path& in, const AtomicOutput& output) {
    ASSERT_FALSE(fs::exists(output.destination()) && fs::equivalent(in, output.destination()))
        << "the writer must never get IN as its destination";
    FileCloner::clone(in, output.destination());
    FileCloner::appendDurably(kUpdate, output.destination());
}

std::vector<std::string> folderEntries(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(AtomicOutput, AnotherOutputFileIsWrittenInPlace) {
    TempDir dir;
    writeFile(dir.file("in.pdf"), kOld);
    AtomicOutput output(dir.file("in.pdf"), dir.file("out.pdf"));
    EXPECT_FALSE(output.replacesInput());
    EXPECT_EQ(output.destination(), dir.file("out.pdf"));
    writeUpdate(dir.file("in.pdf"), output);
    output.commit();
    EXPECT_EQ(readFile(dir.file("out.pdf")), kOld + kUpdate);
    EXPECT_EQ(readFile(dir.file("in.pdf")), kOld);
}

TEST(AtomicOutput, SameFileIsReplacedWholeOnlyOnCommit) {
    TempDir dir;
    const fs::path in = dir.file("doc.pdf");
    writeFile(in, kOld);
    ASSERT_EQ(chmod(in.c_str(), 0640), 0);
    {
        AtomicOutput output(in, in);
        EXPECT_TRUE(output.replacesInput());
        EXPECT_EQ(output.destination().parent_path(), in.parent_path());
        writeUpdate(in, output);
        EXPECT_EQ(readFile(in), kOld) << "IN must stay intact until the new version is complete";
        output.commit();
    }
    EXPECT_EQ(readFile(in), kOld + kUpdate);
    EXPECT_EQ(fs::status(in).permissions(), fs::perms(0640)) << "the replacement keeps the file's mode";
    EXPECT_EQ(folderEntries(dir.path()), std::vector<std::string>{"doc.pdf"});
}

TEST(AtomicOutput, FailureBeforeCommitLeavesTheOldVersionAndNoTemporaryFile) {
    TempDir dir;
    const fs::path in = dir.file("doc.pdf");
    writeFile(in, kOld);
    {
        AtomicOutput output(in, dir.path() / "." / "doc.pdf");  // spelled differently, same file
        EXPECT_TRUE(output.replacesInput());
        FileCloner::clone(in, output.destination());
        FileCloner::appendDurably("half an upd", output.destination());
        // the writer fails here: no commit
    }
    EXPECT_EQ(readFile(in), kOld);
    EXPECT_EQ(folderEntries(dir.path()), std::vector<std::string>{"doc.pdf"});
}

TEST(AtomicOutput, SymbolicLinkStaysALinkAndItsTargetGetsTheNewVersion) {
    TempDir dir;
    fs::create_directory(dir.file("real"));
    const fs::path real = dir.file("real") / "doc.pdf";
    const fs::path link = dir.file("link.pdf");
    writeFile(real, kOld);
    fs::create_symlink("real/doc.pdf", link);

    AtomicOutput output(link, link);
    EXPECT_TRUE(output.replacesInput());
    EXPECT_EQ(output.destination().parent_path(), fs::canonical(dir.file("real")))
        << "the temporary file lives beside the real file, on its file system";
    writeUpdate(link, output);
    output.commit();

    ASSERT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(fs::read_symlink(link), "real/doc.pdf");
    EXPECT_EQ(readFile(real), kOld + kUpdate);
    EXPECT_EQ(folderEntries(dir.file("real")), std::vector<std::string>{"doc.pdf"});
}

TEST(AtomicOutput, OutputLinkedToTheInputReplacesTheRealFile) {
    TempDir dir;
    const fs::path in = dir.file("doc.pdf");
    writeFile(in, kOld);
    fs::create_symlink("doc.pdf", dir.file("alias.pdf"));
    AtomicOutput output(in, dir.file("alias.pdf"));
    EXPECT_TRUE(output.replacesInput());
    writeUpdate(in, output);
    output.commit();
    EXPECT_EQ(readFile(in), kOld + kUpdate);
    EXPECT_TRUE(fs::is_symlink(dir.file("alias.pdf")));
}

TEST(AtomicOutput, HardLinkedOutputGetsTheNewVersionAndTheInputKeepsTheOld) {
    TempDir dir;
    const fs::path in = dir.file("doc.pdf");
    writeFile(in, kOld);
    fs::create_hard_link(in, dir.file("copy.pdf"));
    AtomicOutput output(in, dir.file("copy.pdf"));
    writeUpdate(in, output);
    output.commit();
    EXPECT_EQ(readFile(dir.file("copy.pdf")), kOld + kUpdate);
    EXPECT_EQ(readFile(in), kOld);
}

TEST(AtomicOutput, CommitFailureLeavesTheTargetUnchanged) {
    TempDir dir;
    const fs::path in = dir.file("doc.pdf");
    writeFile(in, kOld);
    AtomicOutput output(in, in);
    fs::remove(output.destination());  // the new version vanished before the commit
    EXPECT_THROW(output.commit(), std::system_error);
    EXPECT_EQ(readFile(in), kOld);
}

TEST(AtomicOutput, UnwritableFolderIsAnErrorNamingIt) {
    if (geteuid() == 0) GTEST_SKIP() << "root writes to any folder";
    TempDir dir;
    fs::create_directory(dir.file("ro"));
    writeFile(dir.file("ro") / "doc.pdf", kOld);
    fs::permissions(dir.file("ro"), fs::perms(0555));
    try {
        AtomicOutput output(dir.file("ro") / "doc.pdf", dir.file("ro") / "doc.pdf");
        ADD_FAILURE() << "no error";
    } catch (const std::system_error& e) {
        EXPECT_NE(std::string(e.what()).find("cannot create a temporary file in"), std::string::npos)
            << e.what();
    }
    fs::permissions(dir.file("ro"), fs::perms(0755));
}

}  // namespace
}  // namespace quillet
