// `quillet write`: whole pages' markup set from a listing: unchanged items
// reused, one changed item written alone, pages emptied, the same file
// replaced through a symbolic link without ever truncating it, bad listings
// refused before anything is written.
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
using testing::runQuillet;
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

json noteItem(int n) {
    json note = textItem(n, "a note");
    note["t"] = "note";
    note["p2"] = {300, 500};
    return note;
}

json writeListing(const TempDir& dir, const std::string& in, const std::string& out, const json& listing,
                  std::vector<std::string> extra = {}) {
    testing::writeFile(dir.file("markup.json"), listing.dump());
    std::vector<std::string> args = {"write", in, out, "--markup", dir.file("markup.json").string()};
    args.insert(args.end(), extra.begin(), extra.end());
    return quilletJSON(args);
}

std::vector<std::string> folderEntries(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(WriteCommand, ChangingOneItemOfFiveWritesOneAnnotationAndThePageOnce) {
    TempDir dir;
    testing::writeFile(dir.file("in.pdf"), testing::simpleDocument(2));
    json listing = {{"pages", {{"1", json::array()}}}};
    for (int n = 1; n <= 5; ++n) listing["pages"]["1"].push_back(textItem(n, "item " + std::to_string(n)));
    json first = writeListing(dir, dir.file("in.pdf").string(), dir.file("five.pdf").string(), listing);
    EXPECT_EQ(first["annotationsWritten"], 5);
    EXPECT_EQ(first["pagesUpdated"], 1);
    EXPECT_EQ(testing::listing(dir.file("five.pdf"), std::nullopt), listing);

    listing["pages"]["1"][2]["tx"]["s"] = "changed";
    json second = writeListing(dir, dir.file("five.pdf").string(), dir.file("changed.pdf").string(), listing);
    EXPECT_EQ(second["annotationsWritten"], 1);
    EXPECT_EQ(second["annotationsReused"], 4);
    EXPECT_EQ(second["pagesUpdated"], 1);
    EXPECT_EQ(testing::listing(dir.file("changed.pdf"), std::nullopt), listing);
}

TEST(WriteCommand, EmptyListClearsThatPageAndUnlistedPagesStay) {
    TempDir dir;
    testing::writeFile(dir.file("in.pdf"), testing::simpleDocument(3));
    json both = {{"pages", {{"0", {textItem(1, "a")}}, {"2", {textItem(2, "b")}}}}};
    writeListing(dir, dir.file("in.pdf").string(), dir.file("both.pdf").string(), both);
    json result = writeListing(dir, dir.file("both.pdf").string(), dir.file("one.pdf").string(),
                               {{"pages", {{"0", json::array()}}}});
    EXPECT_EQ(result, json({{"pagesUpdated", 1},
                            {"annotationsWritten", 0},
                            {"annotationsReused", 0},
                            {"bytesAppended", result["bytesAppended"]}}));
    EXPECT_EQ(testing::listing(dir.file("one.pdf"), std::nullopt),
              json({{"pages", {{"2", {textItem(2, "b")}}}}}));
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
    EXPECT_EQ(testing::listing(link, std::nullopt), listing);
    EXPECT_EQ(folderEntries(dir.file("real")), std::vector<std::string>{"doc.pdf"});

    // Nothing to change: the same bytes, still a link, no temporary file left.
    json again = writeListing(dir, link.string(), link.string(), listing);
    EXPECT_EQ(again["bytesAppended"], 0);
    EXPECT_EQ(again["annotationsReused"], 1);
    EXPECT_EQ(testing::readFile(real), updated);
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(folderEntries(dir.file("real")), std::vector<std::string>{"doc.pdf"});
}

TEST(WriteCommand, MarkupFromStandardInput) {
    TempDir dir;
    testing::writeFile(dir.file("in.pdf"), testing::simpleDocument(1));
    json listing = {{"pages", {{"0", {textItem(1, "piped")}}}}};
    testing::writeFile(dir.file("markup.json"), listing.dump());
    testing::CommandResult r = testing::runCommand(
        {"sh", "-c", "exec \"$0\" write \"$1\" \"$2\" --markup - < \"$3\"", testing::quilletBinary(),
         dir.file("in.pdf").string(), dir.file("out.pdf").string(), dir.file("markup.json").string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(testing::listing(dir.file("out.pdf"), std::nullopt), listing);
}

TEST(WriteCommand, ExpandedNotesAreWrittenWithoutPopups) {
    TempDir dir;
    const std::string plain = testing::simpleDocument(1);
    testing::writeFile(dir.file("in.pdf"), plain);
    json listing = {{"pages", {{"0", {noteItem(1)}}}}};
    writeListing(dir, dir.file("in.pdf").string(), dir.file("popup.pdf").string(), listing);
    writeListing(dir, dir.file("in.pdf").string(), dir.file("stamp.pdf").string(), listing,
                 {"--expand-notes"});
    EXPECT_NE(testing::readFile(dir.file("popup.pdf")).substr(plain.size()).find("/Popup"),
              std::string::npos);
    EXPECT_EQ(testing::readFile(dir.file("stamp.pdf")).substr(plain.size()).find("/Popup"),
              std::string::npos);
    EXPECT_EQ(testing::listing(dir.file("stamp.pdf"), std::nullopt), listing);
}

TEST(WriteCommand, BadListingsAndPagesFailBeforeAnythingIsWritten) {
    TempDir dir;
    testing::writeFile(dir.file("in.pdf"), testing::simpleDocument(2));
    json twice = {{"pages", {{"0", {textItem(1, "a"), textItem(1, "b")}}}}};
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"{\"pages\": ", dir.file("markup.json").string() + " is not valid JSON"},
        {R"({"page": {}})", R"(invalid markup: expected {"pages": {"0": [ITEM, ...], ...}})"},
        {R"({"pages": []})", R"(invalid markup: expected {"pages": {"0": [ITEM, ...], ...}})"},
        {R"({"pages": {"01": []}})", R"(invalid markup: page key "01" is not a page index from 0 up)"},
        {R"({"pages": {"-1": []}})", R"(invalid markup: page key "-1" is not a page index from 0 up)"},
        {R"({"pages": {"0": {}}})", "invalid markup: page 0 is not a list of items"},
        {R"({"pages": {"0": [{"v": 1}]}})", "invalid markup: item 0 of page 0 is not a valid markup item"},
        {twice.dump(), "invalid markup: page 0 lists item 5E6A1D2C-0000-4000-8000-000000000001 twice"},
        {json({{"pages", {{"2", {textItem(1, "a")}}}}}).dump(), "page index 2 out of range"},
    };
    const fs::path out = dir.file("out.pdf");
    for (const auto& [markup, message] : cases) {
        testing::writeFile(dir.file("markup.json"), markup);
        testing::CommandResult r = runQuillet({"write", dir.file("in.pdf").string(), out.string(), "--markup",
                                               dir.file("markup.json").string()});
        EXPECT_EQ(r.status, 1) << markup;
        EXPECT_EQ(r.err, "quillet: " + message + "\n");
        EXPECT_EQ(r.out, "");
        EXPECT_FALSE(fs::exists(out)) << markup;
    }
}

TEST(WriteCommand, EncryptedFileNeedsItsPassword) {
    if (!testing::qpdfAvailable()) GTEST_SKIP() << "qpdf not installed";
    TempDir dir;
    const fs::path source = testing::makeSource(dir, testing::sourceLayouts()[2]);
    testing::writeFile(dir.file("markup.json"), json({{"pages", {{"0", {textItem(1, "secret")}}}}}).dump());
    const std::string in = source.string(), out = dir.file("out.pdf").string();
    testing::CommandResult locked =
        runQuillet({"write", in, out, "--markup", dir.file("markup.json").string()});
    EXPECT_EQ(locked.status, 1);
    EXPECT_EQ(locked.err, "quillet: wrong password\n");
    testing::CommandResult wrong =
        runQuillet({"write", in, out, "--markup", dir.file("markup.json").string(), "--password", "guess"});
    EXPECT_EQ(wrong.status, 1);
    EXPECT_EQ(wrong.err, "quillet: wrong password\n");
    EXPECT_FALSE(fs::exists(out));
    EXPECT_EQ(
        runQuillet({"write", in, out, "--markup", dir.file("markup.json").string(), "--password", "owner pw"})
            .status,
        0);
    testing::expectQpdfClean(out, "user pw");
}

TEST(WriteCommand, WrongCallsAreUsageErrors) {
    const std::string usage = "usage: quillet write IN OUT --markup FILE|- [--password P] [--expand-notes]\n";
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"write", "a.pdf", "b.pdf"}, "--markup FILE|- is needed"},
        {{"write", "a.pdf", "--markup", "m.json"}, "missing OUT"},
        {{"write", "a.pdf", "b.pdf", "--markup"}, "--markup needs a value"},
        {{"write", "a.pdf", "b.pdf", "--markup", "m", "--expand-notes=yes"}, "--expand-notes takes no value"},
    };
    for (const auto& [args, message] : cases) {
        testing::CommandResult r = runQuillet(args);
        EXPECT_EQ(r.status, 2) << message;
        EXPECT_EQ(r.err, "quillet: " + message + "\n" + usage);
    }
    testing::CommandResult help = runQuillet({"write", "-h"});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.starts_with(usage)) << help.out;
}

}  // namespace
}  // namespace quillet
