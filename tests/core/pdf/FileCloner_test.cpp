#include "core/pdf/FileCloner.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>

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

// The file-access error `operation` throws.
template <typename Operation>
FileAccessError accessFailure(Operation operation) {
    try {
        operation();
    } catch (const FileAccessError& error) {
        return error;
    }
    ADD_FAILURE() << "no error";
    return FileAccessError::empty("");
}

std::string openText(const fs::path& path, int error) {
    return "cannot open " + path.string() + ": " + std::strerror(error);
}

struct stat statOf(const fs::path& path) {
    struct stat status {};
    EXPECT_EQ(::lstat(path.c_str(), &status), 0) << path;
    return status;
}

// Writes that alternate between EINTR and short writes of at most `chunk`.
FileClonerCalls interruptedShortWrites(size_t chunk, int& writes) {
    FileClonerCalls calls = FileClonerCalls::system();
    calls.write = [chunk, &writes](int fd, const void* data, size_t size) {
        if (writes++ % 2 == 0) return (errno = EINTR, ssize_t{-1});
        return ::write(fd, data, std::min(size, chunk));
    };
    return calls;
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
    std::string attribute(const fs::path& path, const char* name) {
        char value[256] = {};
        const ssize_t size = ::getxattr(path.c_str(), name, value, sizeof value);
        return std::string(value, size > 0 ? static_cast<size_t>(size) : 0);
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

TEST_P(CloneBranch, FromALinkCopiesItsTargetAndOntoItsOwnPathKeepsTheData) {
    fs::create_symlink(source, dir.file("alias.pdf"));
    cloneTo(copy, dir.file("alias.pdf"));
    expectCopyAt(copy);
    cloneTo(source);
    EXPECT_EQ(readFile(source), "%PDF-1.7 source");
}

TEST_P(CloneBranch, CopiesExtendedAttributes) {
    if (::setxattr(source.c_str(), "user.verda.tag", "blue", 4, 0) != 0)
        GTEST_SKIP() << "the temporary file system refuses user extended attributes";
    cloneTo(copy);
    EXPECT_EQ(attribute(copy, "user.verda.tag"), "blue");
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
    if (::setxattr(source.c_str(), "system.posix_acl_access", acl.data(), acl.size(), 0) != 0)
        GTEST_SKIP() << "the temporary file system refuses ACLs: " << std::strerror(errno);
    const mode_t modeWithAcl = statOf(source).st_mode & 07777;
    cloneTo(copy);
    EXPECT_EQ(attribute(copy, "system.posix_acl_access"), acl);
    EXPECT_EQ(statOf(copy).st_mode & 07777, modeWithAcl);
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

TEST_F(FileClonerClone, MissingSourceFailsNamingItAndLeavesTheDestination) {
    writeFile(copy, "keep me");
    EXPECT_EQ(accessFailure([&] { FileCloner::clone(dir.file("missing.pdf"), copy); }).text(),
              openText(dir.file("missing.pdf"), ENOENT));
    EXPECT_EQ(readFile(copy), "keep me");
}

TEST_F(FileClonerClone, ReflinkOnlyReportsAFileSystemThatCannotReflink) {
    try {
        FileCloner::clone(source, copy, CloneMethod::reflinkOnly);
        GTEST_SKIP() << "this file system can reflink";
    } catch (const FileAccessError& error) {
        EXPECT_EQ(error.code(), FileAccessError::Code::open);
        EXPECT_EQ(error.text(), openText(copy, error.errorNumber()));
        EXPECT_FALSE(fs::exists(fs::symlink_status(copy)));
    }
}

TEST_F(FileClonerClone, AutomaticFallsBackToACopyDiscardingWhatAFailedReflinkLeft) {
    FileClonerCalls calls = FileClonerCalls::system();
    calls.reflink = [](int destination, int) {
        EXPECT_EQ(::write(destination, "garbage from a half clone", 25), 25);
        return (errno = EOPNOTSUPP, -1);
    };
    FileCloner::clone(source, copy, CloneMethod::automatic, calls);
    EXPECT_EQ(readFile(copy), "data");
}

TEST_F(FileClonerClone, CopyGoesOnByReadingWhereTheKernelCopyStops) {
    std::string content((5u << 20) / 2 + 17, '\0');
    for (size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i * 7919 >> 3);
    writeFile(source, content);
    int writes = 0;
    FileClonerCalls calls = interruptedShortWrites(300'000, writes);
    // Copies a few bytes in the kernel, then reports a cross-device pair.
    int kernelCopies = 0;
    calls.copyRange = [&](int from, off_t* fromOffset, int to, off_t* toOffset, size_t) {
        if (kernelCopies++ > 0) return (errno = EXDEV, ssize_t{-1});
        return ::copy_file_range(from, fromOffset, to, toOffset, 1000, 0);
    };
    FileCloner::clone(source, copy, CloneMethod::copyOnly, calls);
    EXPECT_EQ(readFile(copy), content);
    EXPECT_GT(writes, 2);
}

TEST_F(FileClonerClone, FailedCopyOrCloseFailsAndRemovesTheHalfMadeCopy) {
    FileClonerCalls noSpace = FileClonerCalls::system();
    noSpace.copyRange = [](int, off_t*, int, off_t*, size_t) { return (errno = ENOSPC, ssize_t{-1}); };
    FileClonerCalls badClose = FileClonerCalls::system();
    badClose.close = closeThenFail;
    for (const auto& [calls, errorNumber] : {std::pair{noSpace, ENOSPC}, std::pair{badClose, EIO}}) {
        EXPECT_EQ(
            accessFailure([&] { FileCloner::clone(source, copy, CloneMethod::copyOnly, calls); }).text(),
            openText(copy, errorNumber));
        EXPECT_FALSE(fs::exists(fs::symlink_status(copy)));
    }
}

TEST_F(FileClonerClone, ADirectoryInTheWayIsAFileSystemError) {
    fs::create_directory(copy);
    EXPECT_THROW(FileCloner::clone(source, copy), fs::filesystem_error);
    EXPECT_TRUE(fs::is_directory(copy));
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

TEST_F(FileClonerAppend, AppendsAfterTheExistingBytesAndFlushesEvenNothing) {
    writeFile(doc, "%PDF-1.7\n");
    FileCloner::appendDurably("first\n", doc, counting);
    FileCloner::appendDurably("", doc, counting);
    FileCloner::appendDurably(std::string_view("\0second", 7), doc, counting);
    EXPECT_EQ(readFile(doc), std::string("%PDF-1.7\nfirst\n\0second", 22));
    EXPECT_EQ(fsyncs, 3);
    EXPECT_EQ(closes, 3);
}

TEST_F(FileClonerAppend, GoesOnAfterShortAndInterruptedWrites) {
    int writes = 0;
    FileCloner::appendDurably("0123456789", doc, interruptedShortWrites(3, writes));
    EXPECT_EQ(readFile(doc), "0123456789");
}

TEST_F(FileClonerAppend, RefusesLinksAndMissingFilesWithoutCreatingOrFollowing) {
    writeFile(dir.file("target.pdf"), "target");
    fs::create_symlink(dir.file("target.pdf"), dir.file("link.pdf"));
    EXPECT_EQ(accessFailure([&] { FileCloner::appendDurably("x", dir.file("link.pdf")); }).text(),
              openText(dir.file("link.pdf"), ELOOP));
    EXPECT_EQ(readFile(dir.file("target.pdf")), "target");
    EXPECT_EQ(accessFailure([&] { FileCloner::appendDurably("x", dir.file("missing.pdf")); }).text(),
              openText(dir.file("missing.pdf"), ENOENT));
    EXPECT_FALSE(fs::exists(dir.file("missing.pdf")));
}

TEST_F(FileClonerAppend, AFullDeviceIsAnError) {
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    EXPECT_EQ(accessFailure([] { FileCloner::appendDurably("x", "/dev/full"); }).text(),
              openText("/dev/full", ENOSPC));
}

TEST_F(FileClonerAppend, AFailedFlushOrCloseIsNeverReportedAsDurable) {
    counting.fsync = [this](int) { return ++fsyncs, (errno = EIO, -1); };
    EXPECT_EQ(accessFailure([&] { FileCloner::appendDurably("x", doc, counting); }).text(),
              openText(doc, EIO));
    EXPECT_EQ(closes, 1);  // the descriptor is not leaked

    FileClonerCalls badClose = FileClonerCalls::system();
    badClose.close = closeThenFail;
    EXPECT_EQ(accessFailure([&] { FileCloner::appendDurably("y", doc, badClose); }).text(),
              openText(doc, EIO));
}

TEST_F(FileClonerAppend, AWriteThatMakesNoProgressFailsInsteadOfSpinning) {
    FileClonerCalls calls = FileClonerCalls::system();
    calls.write = [](int, const void*, size_t) { return ssize_t{0}; };
    EXPECT_EQ(accessFailure([&] { FileCloner::appendDurably("x", doc, calls); }).errorNumber(), EIO);
}

}  // namespace
}  // namespace quillet
