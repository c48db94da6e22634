#include "core/pdf/FileCloner.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>
#include <random>

#include "core/pdf/FileAccessError.h"
#include "support/TempDir.h"

namespace quillet {
namespace {

namespace fs = std::filesystem;
using testing::readFile;
using testing::TempDir;
using testing::writeFile;

// Stands in for FICLONE where the file system cannot reflink: like the
// ioctl it shares the data only, so metadata must still be copied after it.
int copyDataLikeAReflink(int destination, int source) {
    char buffer[4096];
    off_t offset = 0;
    for (ssize_t n; (n = ::pread(source, buffer, sizeof buffer, offset)) > 0; offset += n) {
        if (::pwrite(destination, buffer, static_cast<size_t>(n), offset) != n) return -1;
    }
    return 0;
}

FileClonerCalls reflinkByCopying() {
    FileClonerCalls calls = FileClonerCalls::system();
    calls.reflink = copyDataLikeAReflink;
    return calls;
}

// A closing call that really closes, then reports the failure close(2) can
// report for data the kernel could not write back.
int closeThenFail(int fd) {
    ::close(fd);
    errno = EIO;
    return -1;
}

template <typename Operation>
std::optional<FileAccessError> accessFailure(Operation operation) {
    try {
        operation();
    } catch (const FileAccessError& error) {
        return error;
    }
    return std::nullopt;
}

std::string expectedOpenText(const fs::path& path, int error) {
    return "cannot open " + path.string() + ": " + std::strerror(error);
}

struct stat statOf(const fs::path& path) {
    struct stat status {};
    EXPECT_EQ(::lstat(path.c_str(), &status), 0) << path;
    return status;
}

std::string randomBytes(size_t size) {
    std::mt19937 generator(7);
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(generator());
    return bytes;
}

// ---- clone: metadata on both branches ----

struct Branch {
    const char* name;
    CloneMethod method;
    FileClonerCalls calls;
};

void PrintTo(const Branch& branch, std::ostream* out) { *out << branch.name; }

class CloneBranch : public ::testing::TestWithParam<Branch> {
protected:
    void SetUp() override {
        writeFile(source, "%PDF-1.7 source");
        ASSERT_EQ(::chmod(source.c_str(), 0640), 0);
        hasUserXattr = ::setxattr(source.c_str(), "user.verda.tag", "blue", 4, 0) == 0;
        const struct timespec times[2] = {{1'000'000'000, 123'456'789}, {1'100'000'000, 987'654'321}};
        ASSERT_EQ(::utimensat(AT_FDCWD, source.c_str(), times, 0), 0);
    }
    void cloneTo(const fs::path& destination) {
        FileCloner::clone(source, destination, GetParam().method, GetParam().calls);
    }

    TempDir dir;
    fs::path source = dir.file("source.pdf");
    bool hasUserXattr = false;
};

TEST_P(CloneBranch, CopiesDataModeNanosecondTimestamps) {
    cloneTo(dir.file("copy.pdf"));
    const struct stat copy = statOf(dir.file("copy.pdf"));  // before reading moves the access time
    EXPECT_EQ(readFile(dir.file("copy.pdf")), "%PDF-1.7 source");
    EXPECT_EQ(copy.st_mode & 07777, 0640u);
    EXPECT_EQ(copy.st_mtim.tv_sec, 1'100'000'000);
    EXPECT_EQ(copy.st_mtim.tv_nsec, 987'654'321);
    EXPECT_EQ(copy.st_atim.tv_sec, 1'000'000'000);
    EXPECT_EQ(copy.st_atim.tv_nsec, 123'456'789);
}

TEST_P(CloneBranch, CopiesExtendedAttributes) {
    if (!hasUserXattr) GTEST_SKIP() << "the temporary file system refuses user extended attributes";
    cloneTo(dir.file("copy.pdf"));
    char value[16] = {};
    const ssize_t size = ::getxattr(dir.file("copy.pdf").c_str(), "user.verda.tag", value, sizeof value);
    EXPECT_EQ(std::string(value, size > 0 ? static_cast<size_t>(size) : 0), "blue");
}

// An access-control list in the kernel's extended-attribute form: version 2,
// then (tag, permissions, id) entries; it grants user 12345 read and write.
std::string aclGrantingAUser() {
    std::string acl("\x02\0\0\0", 4);
    const auto entry = [&](uint16_t tag, uint16_t permissions, uint32_t id) {
        for (int i = 0; i < 2; ++i) acl += static_cast<char>(tag >> (8 * i));
        for (int i = 0; i < 2; ++i) acl += static_cast<char>(permissions >> (8 * i));
        for (int i = 0; i < 4; ++i) acl += static_cast<char>(id >> (8 * i));
    };
    const uint32_t undefinedId = 0xFFFFFFFF;
    entry(0x01, 6, undefinedId);  // owner
    entry(0x02, 6, 12345);        // named user
    entry(0x04, 4, undefinedId);  // owning group
    entry(0x10, 6, undefinedId);  // mask
    entry(0x20, 0, undefinedId);  // others
    return acl;
}

TEST_P(CloneBranch, CopiesAccessControlLists) {
    const std::string acl = aclGrantingAUser();
    if (::setxattr(source.c_str(), "system.posix_acl_access", acl.data(), acl.size(), 0) != 0) {
        GTEST_SKIP() << "the temporary file system refuses ACLs: " << std::strerror(errno);
    }
    const mode_t modeWithAcl = statOf(source).st_mode & 07777;
    cloneTo(dir.file("copy.pdf"));
    char value[256] = {};
    const ssize_t size = ::getxattr(dir.file("copy.pdf").c_str(), "system.posix_acl_access", value, sizeof value);
    EXPECT_EQ(std::string(value, size > 0 ? static_cast<size_t>(size) : 0), acl);
    EXPECT_EQ(statOf(dir.file("copy.pdf")).st_mode & 07777, modeWithAcl);
}

TEST_P(CloneBranch, ReplacesAnExistingFile) {
    writeFile(dir.file("copy.pdf"), "an older and longer working copy");
    cloneTo(dir.file("copy.pdf"));
    EXPECT_EQ(readFile(dir.file("copy.pdf")), "%PDF-1.7 source");
}

TEST_P(CloneBranch, ReplacesLinksAtTheDestinationWithoutFollowingThem) {
    const fs::path dangling = dir.file("dangling.pdf");
    fs::create_symlink(dir.file("nowhere.pdf"), dangling);
    cloneTo(dangling);
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(dangling)));
    EXPECT_EQ(readFile(dangling), "%PDF-1.7 source");
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir.file("nowhere.pdf"))));

    const fs::path link = dir.file("link.pdf");
    writeFile(dir.file("precious.pdf"), "someone else's file");
    fs::create_symlink(dir.file("precious.pdf"), link);
    cloneTo(link);
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(link)));
    EXPECT_EQ(readFile(dir.file("precious.pdf")), "someone else's file");
}

TEST_P(CloneBranch, FromALinkCopiesItsTarget) {
    fs::create_symlink(source, dir.file("alias.pdf"));
    FileCloner::clone(dir.file("alias.pdf"), dir.file("copy.pdf"), GetParam().method, GetParam().calls);
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(dir.file("copy.pdf"))));
    EXPECT_EQ(readFile(dir.file("copy.pdf")), "%PDF-1.7 source");
    EXPECT_EQ(statOf(dir.file("copy.pdf")).st_mode & 07777, 0640u);
}

TEST_P(CloneBranch, OntoItsOwnPathKeepsTheData) {
    cloneTo(source);
    EXPECT_EQ(readFile(source), "%PDF-1.7 source");
}

INSTANTIATE_TEST_SUITE_P(FileCloner, CloneBranch,
                         ::testing::Values(Branch{"copy", CloneMethod::copyOnly, FileClonerCalls::system()},
                                           Branch{"reflink", CloneMethod::reflinkOnly, reflinkByCopying()}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- clone: choosing and falling back between branches ----

TEST(FileClonerClone, MissingSourceFailsNamingItAndLeavesTheDestination) {
    TempDir dir;
    writeFile(dir.file("copy.pdf"), "keep me");
    const auto error = accessFailure([&] { FileCloner::clone(dir.file("missing.pdf"), dir.file("copy.pdf")); });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->text(), expectedOpenText(dir.file("missing.pdf"), ENOENT));
    EXPECT_EQ(readFile(dir.file("copy.pdf")), "keep me");
}

TEST(FileClonerClone, ReflinkOnlyReportsAFileSystemThatCannotReflink) {
    TempDir dir;
    writeFile(dir.file("source.pdf"), "data");
    const auto error = accessFailure(
        [&] { FileCloner::clone(dir.file("source.pdf"), dir.file("copy.pdf"), CloneMethod::reflinkOnly); });
    if (!error) GTEST_SKIP() << "this file system can reflink";
    EXPECT_EQ(error->code(), FileAccessError::Code::open);
    EXPECT_EQ(error->text(), expectedOpenText(dir.file("copy.pdf"), error->errorNumber()));
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir.file("copy.pdf"))));
}

TEST(FileClonerClone, AutomaticFallsBackToACopyDiscardingWhatAFailedReflinkLeft) {
    TempDir dir;
    writeFile(dir.file("source.pdf"), "data");
    FileClonerCalls calls = FileClonerCalls::system();
    calls.reflink = [](int destination, int) {
        EXPECT_EQ(::write(destination, "garbage from a half clone", 25), 25);
        errno = EOPNOTSUPP;
        return -1;
    };
    FileCloner::clone(dir.file("source.pdf"), dir.file("copy.pdf"), CloneMethod::automatic, calls);
    EXPECT_EQ(readFile(dir.file("copy.pdf")), "data");
}

TEST(FileClonerClone, CopyGoesOnByReadingWhereTheKernelCopyStops) {
    TempDir dir;
    const std::string content = randomBytes((5u << 20) / 2 + 17);
    writeFile(dir.file("source.pdf"), content);
    FileClonerCalls calls = FileClonerCalls::system();
    int kernelCopies = 0;
    // Copies a few bytes in the kernel, then reports a cross-device pair.
    calls.copyRange = [&](int source, off_t* sourceOffset, int destination, off_t* destinationOffset, size_t) {
        if (kernelCopies++ > 0) return (errno = EXDEV, ssize_t{-1});
        return ::copy_file_range(source, sourceOffset, destination, destinationOffset, 1000, 0);
    };
    // Short, interrupted writes on the read-and-write path.
    int writes = 0;
    calls.write = [&](int fd, const void* data, size_t size) {
        if (writes++ % 2 == 0) return (errno = EINTR, ssize_t{-1});
        return ::write(fd, data, std::min<size_t>(size, 300'000));
    };
    FileCloner::clone(dir.file("source.pdf"), dir.file("copy.pdf"), CloneMethod::copyOnly, calls);
    EXPECT_EQ(readFile(dir.file("copy.pdf")), content);
    EXPECT_GT(writes, 2);
}

TEST(FileClonerClone, FailedCopyOrCloseFailsAndRemovesTheHalfMadeCopy) {
    TempDir dir;
    writeFile(dir.file("source.pdf"), "data");
    FileClonerCalls noSpace = FileClonerCalls::system();
    noSpace.copyRange = [](int, off_t*, int, off_t*, size_t) { return (errno = ENOSPC, ssize_t{-1}); };
    FileClonerCalls badClose = FileClonerCalls::system();
    badClose.close = closeThenFail;

    for (const auto& [failing, errorNumber] : {std::pair{noSpace, ENOSPC}, std::pair{badClose, EIO}}) {
        const FileClonerCalls& calls = failing;
        const auto error = accessFailure([&] {
            FileCloner::clone(dir.file("source.pdf"), dir.file("copy.pdf"), CloneMethod::copyOnly, calls);
        });
        ASSERT_TRUE(error);
        EXPECT_EQ(error->text(), expectedOpenText(dir.file("copy.pdf"), errorNumber));
        EXPECT_FALSE(fs::exists(fs::symlink_status(dir.file("copy.pdf"))));
    }
}

TEST(FileClonerClone, ADirectoryInTheWayIsAFileSystemError) {
    TempDir dir;
    writeFile(dir.file("source.pdf"), "data");
    fs::create_directory(dir.file("copy.pdf"));
    EXPECT_THROW(FileCloner::clone(dir.file("source.pdf"), dir.file("copy.pdf")), fs::filesystem_error);
    EXPECT_TRUE(fs::is_directory(dir.file("copy.pdf")));
}

// ---- appendDurably ----

struct CountingCalls {
    int fsyncs = 0;
    int closes = 0;
    FileClonerCalls calls = FileClonerCalls::system();
    CountingCalls() {
        calls.fsync = [this](int fd) { return ++fsyncs, ::fsync(fd); };
        calls.close = [this](int fd) { return ++closes, ::close(fd); };
    }
};

TEST(FileClonerAppend, AppendsAfterTheExistingBytesAndFlushes) {
    TempDir dir;
    writeFile(dir.file("doc.pdf"), "%PDF-1.7\n");
    CountingCalls counting;
    FileCloner::appendDurably("first\n", dir.file("doc.pdf"), counting.calls);
    FileCloner::appendDurably("", dir.file("doc.pdf"), counting.calls);
    FileCloner::appendDurably(std::string_view("\0second", 7), dir.file("doc.pdf"), counting.calls);
    EXPECT_EQ(readFile(dir.file("doc.pdf")), std::string("%PDF-1.7\nfirst\n\0second", 22));
    EXPECT_EQ(counting.fsyncs, 3);  // also for nothing to write
    EXPECT_EQ(counting.closes, 3);
}

TEST(FileClonerAppend, GoesOnAfterShortAndInterruptedWrites) {
    TempDir dir;
    writeFile(dir.file("doc.pdf"), "");
    FileClonerCalls calls = FileClonerCalls::system();
    int writes = 0;
    calls.write = [&](int fd, const void* data, size_t size) {
        if (writes++ % 2 == 0) return (errno = EINTR, ssize_t{-1});
        return ::write(fd, data, std::min<size_t>(size, 3));
    };
    FileCloner::appendDurably("0123456789", dir.file("doc.pdf"), calls);
    EXPECT_EQ(readFile(dir.file("doc.pdf")), "0123456789");
}

TEST(FileClonerAppend, RefusesLinksAndMissingFilesWithoutCreatingOrFollowing) {
    TempDir dir;
    writeFile(dir.file("target.pdf"), "target");
    fs::create_symlink(dir.file("target.pdf"), dir.file("link.pdf"));
    auto error = accessFailure([&] { FileCloner::appendDurably("x", dir.file("link.pdf")); });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->text(), expectedOpenText(dir.file("link.pdf"), ELOOP));
    EXPECT_EQ(readFile(dir.file("target.pdf")), "target");

    error = accessFailure([&] { FileCloner::appendDurably("x", dir.file("missing.pdf")); });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->text(), expectedOpenText(dir.file("missing.pdf"), ENOENT));
    EXPECT_FALSE(fs::exists(dir.file("missing.pdf")));
}

TEST(FileClonerAppend, AFullDeviceIsAnError) {
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    const auto error = accessFailure([] { FileCloner::appendDurably("x", "/dev/full"); });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->text(), expectedOpenText("/dev/full", ENOSPC));
}

TEST(FileClonerAppend, AFailedFlushOrCloseIsNeverReportedAsDurable) {
    TempDir dir;
    writeFile(dir.file("doc.pdf"), "");
    CountingCalls badFsync;
    badFsync.calls.fsync = [&](int) { return ++badFsync.fsyncs, (errno = EIO, -1); };
    auto error = accessFailure([&] { FileCloner::appendDurably("x", dir.file("doc.pdf"), badFsync.calls); });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->text(), expectedOpenText(dir.file("doc.pdf"), EIO));
    EXPECT_EQ(badFsync.closes, 1);  // the descriptor is not leaked

    FileClonerCalls badClose = FileClonerCalls::system();
    badClose.close = closeThenFail;
    error = accessFailure([&] { FileCloner::appendDurably("y", dir.file("doc.pdf"), badClose); });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->text(), expectedOpenText(dir.file("doc.pdf"), EIO));
}

TEST(FileClonerAppend, AWriteThatMakesNoProgressFailsInsteadOfSpinning) {
    TempDir dir;
    writeFile(dir.file("doc.pdf"), "");
    FileClonerCalls calls = FileClonerCalls::system();
    calls.write = [](int, const void*, size_t) { return ssize_t{0}; };
    const auto error = accessFailure([&] { FileCloner::appendDurably("x", dir.file("doc.pdf"), calls); });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->errorNumber(), EIO);
}

}  // namespace
}  // namespace quillet
