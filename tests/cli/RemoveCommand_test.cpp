#include <gtest/gtest.h>

#include "MarkupFixtures.h"

namespace quillet {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using testing::quilletJSON;
using testing::TempDir;

// Three items on the last page of a source, added one by one.
struct Marked {
    fs::path file;
    std::vector<std::string> ids;
};

Marked markLastPage(const TempDir& dir) {
    fs::path current = testing::makeSource(dir);
    Marked marked;
    const std::vector<std::vector<std::string>> kinds = {
        {"--ink", "10,10 20,20"}, {"--text", "middle", "--at", "100,100"}, {"--arrow", "1,1,50,50"}};
    for (size_t i = 0; i < kinds.size(); ++i) {
        const fs::path next = dir.file("marked" + std::to_string(i) + ".pdf");
        std::vector<std::string> args = {"add", current.string(), next.string(), "--page", "3"};
        args.insert(args.end(), kinds[i].begin(), kinds[i].end());
        marked.ids.push_back(quilletJSON(args)["id"]);
        current = next;
    }
    marked.file = current;
    return marked;
}

TEST(RemoveCommand, TakesOneItemOffAndReusesTheOthers) {
    if (!testing::qpdfAvailable()) GTEST_SKIP() << "qpdf not installed";
    TempDir dir;
    Marked marked = markLastPage(dir);
    const fs::path out = dir.file("removed.pdf");
    json result = quilletJSON({"remove", marked.file.string(), out.string(), "--id", marked.ids[1]});
    EXPECT_EQ(result["pagesUpdated"], 1);
    EXPECT_EQ(result["annotationsWritten"], 0);
    EXPECT_EQ(result["annotationsReused"], 2);
    EXPECT_TRUE(testing::readFile(out).starts_with(testing::readFile(marked.file)));
    testing::expectQpdfClean(out);
    std::vector<std::string> ids;
    for (const json& item : testing::itemsOn(out, 2)) ids.push_back(item["id"]);
    EXPECT_EQ(ids, (std::vector<std::string>{marked.ids[0], marked.ids[2]}));
}

}  // namespace
}  // namespace quillet
