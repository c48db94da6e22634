#include "core/pdf/FileCloner.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "support/ErrorText.h"
#include "support/TempDir.h"

namespace quillet {
namespace {

namespace fs = std::filesystem;
using testing::errorOf;
using testing::readFile;
using testing::TempDir;
using testing::writeFile;

// Stands in for FICLONE where the file system cannot reflink: like the
// ioctl it shares the data only, so metadata must still be copied after it.
FileClonerCalls reflinkByCopying() {
    FileClonerCalls calls = FileClonerCalls::system();
    calls.reflink = [](int destination, int source) {
        char buffer[4096];
        off_t offset = 0;
        for (ssize_t n; (n = ::pread(source, buffer, sizeof buffer, offset)) > 0; offset += n)
            if (::pwrite(destination, buffer, static_cast<size_t>(n), offset) != n) return -1;
        return 0;
    };
    return calls;
}

// Really closes, then reports what close(2) reports for data the kernel
// could not write back.
int closeThenFail(int fd) {
    ::close(fd);
    errno = EIO;
    return -1;
}

std::string openText(const fs::path& path, int error) {
    return "cannot open " + path.string() + ": " + std::strerror(error);
}

std::string writeText(const fs::path& path, int error) {
    return "cannot write " + path.string() + ": " + std::strerror(error);
}

struct stat statOf(const fs::path& path) {
    struct stat status {};
    EXPECT_EQ(::lstat(path.c_str(), &status), 0) << path;
    return status;
}

// ---- clone: metadata on both branches ----

struct Branch {
    const char* name;
    CloneMethod method;
    FileClonerCalls calls;
};

void PrintTo(const Branch& branch, std::ostream* out) {
    *out << branch.name;
}

class CloneBranch : public ::testing::TestWithParam<Branch> {
  protected:
    void SetUp() override {
        writeFile(source, "%PDF-1.7 source");
        ASSERT_EQ(::chmod(source.c_str(), 0640), 0);
        const struct timespec times[2] = {{1'000'000'000, 123'456'789}, {1'100'000'000, 987'654'321}};
        ASSERT_EQ(::utimensat(AT_FDCWD, source.c_str(), times, 0), 0);
    }
    void cloneTo(const fs::path& destination, const fs::path& from = {}) {
        FileCloner::clone(from.empty() ? source : from, destination, GetParam().method, GetParam().calls);
    }
    // The source's data, mode and nanosecond timestamps, stat-ed before
    // reading moves the access time.
    void expectCopyAt(const fs::path& path) {
        const struct stat copy = statOf(path);
        EXPECT_TRUE(S_ISREG(copy.st_mode));
        EXPECT_EQ(copy.st_mode & 07777, 0640u);
        EXPECT_EQ(copy.st_mtim.tv_sec, 1'100'000'000);
        EXPECT_EQ(copy.st_mtim.tv_nsec, 987'654'321);
        EXPECT_EQ(copy.st_atim.tv_sec, 1'000'000'000);
        EXPECT_EQ(copy.st_atim.tv_nsec, 123'456'789);
        EXPECT_EQ(readFile(path), "%PDF-1.7 source");
    }

    TempDir dir;
    fs::path source = dir.file("source.pdf");
    fs::path copy = dir.file("copy.pdf");
};

TEST_P(CloneBranch, ReplacesAnExistingFileWithDataModeAndTimestamps) {
    writeFile(copy, "an older and longer working copy");
    cloneTo(copy);
    expectCopyAt(copy);
}

TEST_P(CloneBranch, ACloneOfAReadOnlySourceStaysWritableByItsOwner) {
    ASSERT_EQ(::chmod(source.c_str(), 0444), 0);
    cloneTo(copy);
    EXPECT_EQ(statOf(copy).st_mode & 07777, 0644u);
    FileCloner::appendDurably(" update", copy);
    EXPECT_EQ(readFile(copy), "%PDF-1.7 source update");
}

TEST_P(CloneBranch, ReplacesLinksAtTheDestinationWithoutFollowingThem) {
    const fs::path dangling = dir.file("dangling.pdf");
    fs::create_symlink(dir.file("nowhere.pdf"), dangling);
    cloneTo(dangling);
    expectCopyAt(dangling);
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir.file("nowhere.pdf"))));

    writeFile(dir.file("precious.pdf"), "someone else's file");
    fs::create_symlink(dir.file("precious.pdf"), dir.file("link.pdf"));
    cloneTo(dir.file("link.pdf"));
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(dir.file("link.pdf"))));
    EXPECT_EQ(readFile(dir.file("precious.pdf")), "someone else's file");
}

INSTANTIATE_TEST_SUITE_P(FileCloner, CloneBranch,
                         ::testing::Values(Branch{"copy", CloneMethod::copyOnly, FileClonerCalls::system()},
                                           Branch{"reflink", CloneMethod::reflinkOnly, reflinkByCopying()}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- clone: choosing and falling back between branches ----

class FileClonerClone : public ::testing::Test {
  protected:
    void SetUp() override { writeFile(source, "data"); }
    TempDir dir;
    fs::path source = dir.file("source.pdf");
    fs::path copy = dir.file("copy.pdf");
};

TEST_F(FileClonerClone, FailedCopyOrCloseFailsAndRemovesTheHalfMadeCopy) {
    FileClonerCalls noSpace = FileClonerCalls::system();
    noSpace.copyRange = [](int, off_t*, int, off_t*, size_t) { return (errno = ENOSPC, ssize_t{-1}); };
    FileClonerCalls badClose = FileClonerCalls::system();
    badClose.close = closeThenFail;
    for (const auto& [calls, errorNumber] : {std::pair{noSpace, ENOSPC}, std::pair{badClose, EIO}}) {
        EXPECT_EQ(errorOf([&] { FileCloner::clone(source, copy, CloneMethod::copyOnly, calls); }),
                  writeText(copy, errorNumber));
        EXPECT_FALSE(fs::exists(fs::symlink_status(copy)));
    }
}

// ---- appendDurably ----

class FileClonerAppend : public ::testing::Test {
  protected:
    FileClonerAppend() {
        writeFile(doc, "");
        counting.fsync = [this](int fd) { return ++fsyncs, ::fsync(fd); };
        counting.close = [this](int fd) { return ++closes, ::close(fd); };
    }
    TempDir dir;
    fs::path doc = dir.file("doc.pdf");
    int fsyncs = 0, closes = 0;
    FileClonerCalls counting = FileClonerCalls::system();
};

TEST_F(FileClonerAppend, RefusesLinksAndMissingFilesWithoutCreatingOrFollowing) {
    writeFile(dir.file("target.pdf"), "target");
    fs::create_symlink(dir.file("target.pdf"), dir.file("link.pdf"));
    EXPECT_EQ(errorOf([&] { FileCloner::appendDurably("x", dir.file("link.pdf")); }),
              openText(dir.file("link.pdf"), ELOOP));
    EXPECT_EQ(readFile(dir.file("target.pdf")), "target");
    EXPECT_EQ(errorOf([&] { FileCloner::appendDurably("x", dir.file("missing.pdf")); }),
              openText(dir.file("missing.pdf"), ENOENT));
    EXPECT_FALSE(fs::exists(dir.file("missing.pdf")));
}

TEST_F(FileClonerAppend, AFailedFlushOrCloseIsNeverReportedAsDurable) {
    counting.fsync = [this](int) { return ++fsyncs, (errno = EIO, -1); };
    EXPECT_EQ(errorOf([&] { FileCloner::appendDurably("x", doc, counting); }), writeText(doc, EIO));
    EXPECT_EQ(closes, 1);  // the descriptor is not leaked

    FileClonerCalls badClose = FileClonerCalls::system();
    badClose.close = closeThenFail;
    EXPECT_EQ(errorOf([&] { FileCloner::appendDurably("y", doc, badClose); }), writeText(doc, EIO));
}

}  // namespace
}  // namespace quillet
