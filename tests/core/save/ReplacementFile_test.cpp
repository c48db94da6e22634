// Replacing a file safely: the hidden new version, the identity check before
// the rename, the per-path lock every writer takes, and hard links refused.
#include "core/save/ReplacementFile.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <thread>

#include "core/pdf/FileAccessError.h"
#include "core/save/FileIdentity.h"
#include "core/save/PathLock.h"
#include "support/ErrorText.h"
#include "support/TempDir.h"

namespace quillet {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing::errorOf;
using testing::readFile;
using testing::TempDir;
using testing::writeFile;

std::vector<std::string> folderEntries(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class ReplacementFileTest : public ::testing::Test {
  protected:
    TempDir dir;
    fs::path doc = dir.file("doc.pdf");
};

TEST_F(ReplacementFileTest, TargetChangesOnlyOnCommitAndKeepsItsModeAndLinks) {
    writeFile(doc, "old");
    ASSERT_EQ(::chmod(doc.c_str(), 0640), 0);
    fs::create_symlink("doc.pdf", dir.file("link.pdf"));
    {
        ReplacementFile replacement(dir.file("link.pdf").string());
        EXPECT_EQ(replacement.target(), doc.string());
        EXPECT_TRUE(fs::path(replacement.path())
                        .filename()
                        .string()
                        .starts_with(".doc.pdf.quillet-" + std::to_string(::getpid()) + "-"));
        writeFile(replacement.path(), "new");
        EXPECT_EQ(readFile(doc), "old");
        const std::optional<FileIdentity> old = FileIdentity::ofPath(doc.string());
        replacement.commit(old);
        ASSERT_TRUE(replacement.replacedVersion()) << "the old version's space is given back later";
        EXPECT_EQ(replacement.replacedVersion()->identity(), old);
    }
    EXPECT_EQ(readFile(doc), "new");
    EXPECT_EQ(fs::status(doc).permissions(), fs::perms(0640));
    EXPECT_TRUE(fs::is_symlink(dir.file("link.pdf")));
    EXPECT_EQ(folderEntries(dir.path()), (std::vector<std::string>{"doc.pdf", "link.pdf"}));
}

TEST_F(ReplacementFileTest, UncommittedVersionIsRemovedAndNewTargetGetsTheUsualMode) {
    { ReplacementFile abandoned(doc.string()); }
    EXPECT_TRUE(folderEntries(dir.path()).empty());

    const mode_t mask = ::umask(022);
    ReplacementFile replacement(doc.string());
    EXPECT_EQ(fs::status(replacement.path()).permissions(), fs::perms(0600)) << "private while written";
    replacement.commit(std::nullopt);
    EXPECT_FALSE(replacement.replacedVersion());
    ::umask(mask);
    EXPECT_EQ(fs::status(doc).permissions(), fs::perms(0644));
}

// A disk that refuses to flush the new version: renaming it over the target
// then could leave a torn file after a crash, so the save fails first.
TEST_F(ReplacementFileTest, FailedFlushOfTheNewVersionFailsAndLeavesTheTargetAsItWas) {
    writeFile(doc, "old");
    ReplacementFile replacement(doc.string(), [](int) {
        errno = EIO;
        return -1;
    });
    writeFile(replacement.path(), "new");
    EXPECT_THROW(replacement.commit(FileIdentity::ofPath(doc.string())), FileAccessError);
    EXPECT_EQ(readFile(doc), "old");
}

TEST_F(ReplacementFileTest, TargetChangedSinceItWasReadIsLeftAlone) {
    writeFile(doc, "read");
    const std::optional<FileIdentity> read = FileIdentity::ofPath(doc.string());
    ASSERT_TRUE(read);
    ReplacementFile replacement(doc.string());
    writeFile(replacement.path(), "ours");
    // Another program renamed its own version over the file meanwhile.
    writeFile(dir.file("theirs"), "theirs");
    fs::rename(dir.file("theirs"), doc);
    EXPECT_EQ(errorOf([&] { replacement.commit(read); }), doc.string() + " changed while it was read");
    EXPECT_EQ(readFile(doc), "theirs");

    fs::remove(doc);
    EXPECT_EQ(errorOf([&] { replacement.commit(read); }), doc.string() + " changed while it was read");
    EXPECT_FALSE(fs::exists(doc));
}

TEST_F(ReplacementFileTest, RefusesHardLinkedTargetsAndNamesTheRealCauseOfFailures) {
    writeFile(doc, "shared");
    fs::create_hard_link(doc, dir.file("other.pdf"));
    const std::string refusal = errorOf([&] { ReplacementFile refused(doc.string()); });
    EXPECT_TRUE(refusal.starts_with("cannot replace " + doc.string() + ": it has 2 names")) << refusal;

    const fs::path missing = dir.file("missing") / "out.pdf";
    EXPECT_EQ(errorOf([&] { ReplacementFile refused(missing.string()); }),
              "cannot create a file in " + missing.parent_path().string() + ": No such file or directory");
    EXPECT_EQ(folderEntries(dir.path()), (std::vector<std::string>{"doc.pdf", "other.pdf"}));
}

TEST(FileIdentity, TellsFilesApartByInodeSizeAndTime) {
    TempDir dir;
    writeFile(dir.file("a"), "same");
    writeFile(dir.file("b"), "same");
    const auto a = FileIdentity::ofPath(dir.file("a").string());
    ASSERT_TRUE(a);
    EXPECT_EQ(FileIdentity::ofPath(dir.file("a").string()), a);
    EXPECT_NE(FileIdentity::ofPath(dir.file("b").string()), a);
    EXPECT_FALSE(FileIdentity::ofPath(dir.file("none").string()));
    const struct timespec later[2] = {{0, UTIME_OMIT}, {a->mtime.tv_sec + 1, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, dir.file("a").c_str(), later, 0), 0);
    EXPECT_NE(FileIdentity::ofPath(dir.file("a").string()), a);
}

class PathLockTest : public ::testing::Test {
  protected:
    void SetUp() override { ::setenv("XDG_RUNTIME_DIR", runtime.path().c_str(), 1); }
    void TearDown() override { ::unsetenv("XDG_RUNTIME_DIR"); }
    TempDir runtime;
};

TEST_F(PathLockTest, SecondWriterWaitsForTheFirstThenGivesUpWithAClearMessage) {
    const std::string path = "/some/folder/doc.pdf";
    EXPECT_EQ(fs::path(PathLock::lockFileFor(path)).parent_path(), runtime.path());
    std::optional<PathLock> first = PathLock::acquire(path, 0ms);
    EXPECT_EQ(errorOf([&] { PathLock::acquire(path, 60ms); }),
              "another program is writing " + path + "; try again when it has finished");
    PathLock other = PathLock::acquire("/some/folder/other.pdf", 0ms);

    std::thread release([&] {
        std::this_thread::sleep_for(100ms);
        first.reset();
    });
    EXPECT_NO_THROW(PathLock::acquire(path, 10s)) << "waits while the first writer finishes";
    release.join();
}

}  // namespace
}  // namespace quillet
