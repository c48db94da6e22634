#include "core/pdf/MappedFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "core/pdf/FileAccessError.h"
#include "support/TempDir.h"

namespace quillet {
namespace {

using testing::TempDir;
using testing::writeFile;

FileAccessError openFailure(const std::filesystem::path& path) {
    try {
        MappedFile::open(path);
    } catch (const FileAccessError& error) {
        return error;
    }
    ADD_FAILURE() << "mapping " << path << " did not fail";
    return FileAccessError::empty("");
}

TEST(MappedFile, ExposesTheWholeFileIncludingNulBytes) {
    TempDir dir;
    const std::string content("%PDF-1.7\n\0\xff trailer", 20);
    writeFile(dir.file("a.pdf"), content);

    const auto file = MappedFile::open(dir.file("a.pdf"));
    EXPECT_EQ(file->bytes(), content);
    EXPECT_EQ(file->count(), 20);
    EXPECT_EQ(file->size(), 20u);
    EXPECT_EQ(file->base(), file->bytes().data());
    EXPECT_EQ(file->path(), dir.file("a.pdf"));
}

TEST(MappedFile, StaysReadableAfterTheFileIsRemovedOrRewritten) {
    TempDir dir;
    writeFile(dir.file("a.pdf"), "original");
    const auto file = MappedFile::open(dir.file("a.pdf"));
    std::filesystem::remove(dir.file("a.pdf"));
    writeFile(dir.file("a.pdf"), "replacement of another length");
    EXPECT_EQ(file->bytes(), "original");
}

TEST(MappedFile, RefusesMissingEmptyAndUnmappableFilesWithTheirTexts) {
    TempDir dir;
    const std::string missing = dir.file("missing.pdf").string();
    FileAccessError error = openFailure(missing);
    EXPECT_EQ(error.code(), FileAccessError::Code::open);
    EXPECT_EQ(error.errorNumber(), ENOENT);
    EXPECT_EQ(error.text(), "cannot open " + missing + ": " + std::strerror(ENOENT));
    EXPECT_STREQ(error.what(), error.text().c_str());

    const std::string empty = dir.file("empty.pdf").string();
    writeFile(empty, "");
    error = openFailure(empty);
    EXPECT_EQ(error.code(), FileAccessError::Code::empty);
    EXPECT_EQ(error.text(), "file is empty: " + empty);

    // A directory opens and has a size, but cannot be mapped.
    const std::string folder = dir.file("folder").string();
    std::filesystem::create_directory(folder);
    error = openFailure(folder);
    EXPECT_EQ(error.code(), FileAccessError::Code::map);
    EXPECT_EQ(error.text(), "cannot map " + folder + ": " + std::strerror(error.errorNumber()));
}

TEST(MappedFile, FailsOnAFifoInsteadOfWaitingForAWriter) {
    TempDir dir;
    const std::string fifo = dir.file("pipe").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(openFailure(fifo).code(), FileAccessError::Code::empty);
}

}  // namespace
}  // namespace quillet
