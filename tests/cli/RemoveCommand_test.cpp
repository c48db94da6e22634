// `quillet remove`: one item taken off its page by id, the page's other
// items reused as they are; in place, on encrypted files, and the failures.
#include <gtest/gtest.h>

#include "MarkupFixtures.h"

namespace quillet {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using testing::quilletJSON;
using testing::runQuillet;
using testing::TempDir;

// Three items on the last page of a layout's source, added one by one.
struct Marked {
    fs::path file;
    std::vector<std::string> ids;
};

Marked markLastPage(const TempDir& dir, const testing::SourceLayout& layout) {
    fs::path current = testing::makeSource(dir, layout);
    Marked marked;
    const std::vector<std::vector<std::string>> kinds = {
        {"--ink", "10,10 20,20"}, {"--text", "middle", "--at", "100,100"}, {"--arrow", "1,1,50,50"}};
    for (size_t i = 0; i < kinds.size(); ++i) {
        const fs::path next = dir.file("marked" + std::to_string(i) + ".pdf");
        std::vector<std::string> args = {"add", current.string(), next.string(), "--page", "3"};
        args.insert(args.end(), kinds[i].begin(), kinds[i].end());
        marked.ids.push_back(quilletJSON(testing::withPassword(args, layout.password))["id"]);
        current = next;
    }
    marked.file = current;
    return marked;
}

std::vector<std::string> idsOn(const fs::path& file, const std::string& page,
                               const std::optional<std::string>& password) {
    std::vector<std::string> ids;
    const json listed = testing::listing(file, password);
    for (const json& item : listed["pages"][page]) ids.push_back(item["id"]);
    return ids;
}

class RemoveOnLayout : public ::testing::TestWithParam<testing::SourceLayout> {};

TEST_P(RemoveOnLayout, TakesOneItemOffAndReusesTheOthers) {
    if (!testing::qpdfAvailable()) GTEST_SKIP() << "qpdf not installed";
    const testing::SourceLayout& layout = GetParam();
    TempDir dir;
    Marked marked = markLastPage(dir, layout);
    const fs::path out = dir.file("removed.pdf");
    json result = quilletJSON(testing::withPassword(
        {"remove", marked.file.string(), out.string(), "--id", marked.ids[1]}, layout.password));
    EXPECT_EQ(result["pagesUpdated"], 1);
    EXPECT_EQ(result["annotationsWritten"], 0);
    EXPECT_EQ(result["annotationsReused"], 2);
    EXPECT_TRUE(testing::readFile(out).starts_with(testing::readFile(marked.file)));
    testing::expectQpdfClean(out, layout.password);
    EXPECT_EQ(idsOn(out, "2", layout.password), (std::vector<std::string>{marked.ids[0], marked.ids[2]}));
}

INSTANTIATE_TEST_SUITE_P(Layouts, RemoveOnLayout, ::testing::ValuesIn(testing::sourceLayouts()),
                         [](const auto& info) { return info.param.name; });

TEST(RemoveCommand, LastItemInPlaceLeavesThePageWithoutMarkup) {
    TempDir dir;
    testing::writeFile(dir.file("doc.pdf"), testing::simpleDocument(1));
    const std::string doc = dir.file("doc.pdf").string();
    std::string id = quilletJSON({"add", doc, doc, "--page", "1", "--ink", "5,5"})["id"];
    const std::string withItem = testing::readFile(doc);
    // Ids are matched whatever the case of their hexadecimal digits.
    std::string lower = id;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return std::tolower(c); });
    quilletJSON({"remove", doc, doc, "--id", lower});
    EXPECT_TRUE(testing::readFile(doc).starts_with(withItem));
    EXPECT_EQ(testing::listing(doc, std::nullopt), json({{"pages", json::object()}}));
    std::vector<std::string> entries;
    for (const auto& e : fs::directory_iterator(dir.path())) entries.push_back(e.path().filename().string());
    EXPECT_EQ(entries, std::vector<std::string>{"doc.pdf"});
}

TEST(RemoveCommand, UnknownIdFailsAndMalformedIdIsAUsageError) {
    TempDir dir;
    testing::writeFile(dir.file("doc.pdf"), testing::simpleDocument(1));
    const std::string doc = dir.file("doc.pdf").string(), out = dir.file("out.pdf").string();
    testing::CommandResult unknown =
        runQuillet({"remove", doc, out, "--id", "5E6A1D2C-0000-4000-8000-00000000002A"});
    EXPECT_EQ(unknown.status, 1);
    EXPECT_EQ(unknown.err, "quillet: no item with id 5E6A1D2C-0000-4000-8000-00000000002A\n");
    EXPECT_FALSE(fs::exists(out));

    const std::string usage = "usage: quillet remove IN OUT --id UUID [--password P]\n";
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"remove", doc, out}, "--id UUID is needed"},
        {{"remove", doc, out, "--id", "{5E6A1D2C-0000-4000-8000-00000000002A}"},
         "--id: \"{5E6A1D2C-0000-4000-8000-00000000002A}\" is not a UUID"},
        {{"remove", doc, "--id", "x"}, "missing OUT"},
    };
    for (const auto& [args, message] : cases) {
        testing::CommandResult r = runQuillet(args);
        EXPECT_EQ(r.status, 2) << message;
        EXPECT_EQ(r.err, "quillet: " + message + "\n" + usage);
    }
    testing::CommandResult help = runQuillet({"remove", "--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.starts_with(usage)) << help.out;
}

}  // namespace
}  // namespace quillet
