#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "MarkupFixtures.h"

namespace quillet {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using testing::quilletJSON;
using testing::TempDir;

json textItem(int n, const std::string& text) {
    char id[37];
    std::snprintf(id, sizeof id, "5E6A1D2C-0000-4000-8000-%012d", n);
    return {{"v", 1},
            {"id", id},
            {"t", "text"},
            {"c", {0.9, 0.1, 0.1, 1}},
            {"lw", 1},
            {"m", 1733402400 + n},
            {"r", 0},
            {"p1", {72, 700 - 40 * n}},
            {"tx", {{"s", text}, {"f", 12}, {"b", false}}}};
}

json writeListing(const TempDir& dir, const std::string& in, const std::string& out, const json& listing) {
    testing::writeFile(dir.file("markup.json"), listing.dump());
    return quilletJSON({"write", in, out, "--markup", dir.file("markup.json").string()});
}

std::vector<std::string> folderEntries(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(WriteCommand, SameFileThroughASymbolicLinkIsReplacedNeverTruncated) {
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

    json listing = {{"pages", {{"1", {textItem(1, "in place")}}}}};
    json result = writeListing(dir, link.string(), link.string(), listing);
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
    EXPECT_EQ(folderEntries(dir.file("real")), std::vector<std::string>{"doc.pdf"});
}

}  // namespace
}  // namespace quillet
