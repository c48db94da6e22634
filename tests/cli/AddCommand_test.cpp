#include <gtest/gtest.h>

#include "MarkupFixtures.h"
#include "core/markup/ItemCodec.h"
#include "core/pdf/PDFFileReader.h"
#include "core/pdf/PDFWriter.h"

namespace quillet {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using testing::quilletJSON;
using testing::runQuillet;
using testing::TempDir;

struct KindCase {
    std::vector<std::string> args;
    std::string kind;  // the item's kindName
};

std::vector<KindCase> kindCases(const fs::path& itemFile) {
    return {
        {{"--text", "Hello, page", "--at", "72,720", "--size", "15", "--boxed"}, "text"},
        {{"--note", "Look here", "--at", "500,700"}, "note"},
        {{"--ink", "100,100 120,130 140,125; 200,200 210,215", "--color", "0,0.5,1"}, "pen"},
        {{"--ink", "50,400 300,400", "--highlighter", "--width", "12"}, "highlighter"},
        {{"--arrow", "300,300,400,500", "--label", "this one", "--color", "0,0.6,0,0.8"}, "arrow"},
        {{"--item", itemFile.string()}, "signature"},
        {{"--strike-out", "--quads", "72,712,200,712,72,700,200,700", "--marked-text", "old"}, "strikeOut"},
        {{"--squiggly", "--quad-rect", "300,500,100,520", "--comment", "typo?"}, "squiggly"},
    };
}

TEST(AddCommand, EveryKindOnFirstAndLastPageAppendsListsBackInOrderAndRemovesOne) {
    if (!testing::qpdfAvailable()) GTEST_SKIP() << "qpdf not installed";
    TempDir dir;
    fs::path current = testing::makeSource(dir);
    const json signature = {{"v", 1},
                            {"t", "ink"},
                            {"k", "signature"},
                            {"c", {0.05, 0.15, 0.45, 1}},
                            {"lw", 1.6},
                            {"r", 0},
                            {"st", {{10, 10, 20, 25, 30, 12}}}};
    testing::writeFile(dir.file("item.json"), signature.dump());

    std::map<std::string, std::vector<std::pair<std::string, std::string>>> expected;  // page → (id, kind)
    int step = 0;
    size_t added = 0;
    for (int page : {1, 3}) {
        for (const KindCase& c : kindCases(dir.file("item.json"))) {
            const fs::path next = dir.file("step" + std::to_string(++step) + ".pdf");
            std::vector<std::string> args = {"add", current.string(), next.string(), "--page",
                                             std::to_string(page)};
            args.insert(args.end(), c.args.begin(), c.args.end());
            json result = quilletJSON(args);
            ASSERT_TRUE(result.is_object()) << c.kind;
            const std::string before = testing::readFile(current), after = testing::readFile(next);
            EXPECT_TRUE(after.starts_with(before)) << c.kind << " on page " << page;
            EXPECT_EQ(result["bytesAppended"], static_cast<int64_t>(after.size() - before.size()));
            EXPECT_EQ(result["annotationsWritten"], 1);
            EXPECT_EQ(result["annotationsReused"], expected[std::to_string(page - 1)].size());
            EXPECT_EQ(result["pagesUpdated"], 1);
            expected[std::to_string(page - 1)].emplace_back(result["id"], c.kind);
            ++added;
            current = next;
        }
    }
    testing::expectQpdfClean(current);

    json listed = testing::listing(current);
    ASSERT_EQ(listed["pages"].size(), 2u) << listed.dump();
    for (const auto& [page, items] : expected) {
        const json& list = listed["pages"][page];
        ASSERT_EQ(list.size(), items.size()) << page;
        for (size_t i = 0; i < items.size(); ++i) {
            std::optional<AnnotationItem> item = ItemCodec::fromJSON(list[i]);
            ASSERT_TRUE(item);
            EXPECT_EQ(item->id.text(), items[i].first);
            EXPECT_EQ(item->kindName(), items[i].second);
        }
    }

    // Writing back what was listed changes nothing and appends nothing.
    testing::writeFile(dir.file("listing.json"), listed.dump());
    const fs::path again = dir.file("again.pdf");
    json result = quilletJSON(
        {"write", current.string(), again.string(), "--markup", dir.file("listing.json").string()});
    EXPECT_EQ(result, json({{"pagesUpdated", 0},
                            {"annotationsWritten", 0},
                            {"annotationsReused", added},
                            {"bytesAppended", 0}}));
    EXPECT_EQ(testing::readFile(again), testing::readFile(current));

    // Removing one item rewrites its page only, reusing the others in order.
    std::vector<std::pair<std::string, std::string>>& last = expected["2"];
    const fs::path removed = dir.file("removed.pdf");
    result = quilletJSON({"remove", current.string(), removed.string(), "--id", last[1].first});
    EXPECT_EQ(result["pagesUpdated"], 1);
    EXPECT_EQ(result["annotationsWritten"], 0);
    EXPECT_EQ(result["annotationsReused"], last.size() - 1);
    EXPECT_TRUE(testing::readFile(removed).starts_with(testing::readFile(current)));
    testing::expectQpdfClean(removed);
    last.erase(last.begin() + 1);
    const json left = testing::itemsOn(removed, 2);
    ASSERT_EQ(left.size(), last.size());
    for (size_t i = 0; i < last.size(); ++i) EXPECT_EQ(left[i]["id"], last[i].first);
}

// Pages tree: node 2 (/Rotate 90, /CropBox 300 × 400) holds page 3 and
// node 4 (/Rotate 450), which holds page 5 and page 6 (/Rotate -90).
fs::path rotatedDocument(const TempDir& dir) {
    auto numbers = [](std::vector<int> v) {
        PDFArray a;
        for (int n : v) a.push_back(PDFValue::integer(n));
        return PDFValue::array(a);
    };
    testing::PdfBuilder b;
    b.add(1, PDFValue::dict({{"Type", PDFValue::name("Catalog")}, {"Pages", PDFValue::ref(2, 0)}}));
    b.add(2, PDFValue::dict({{"Type", PDFValue::name("Pages")},
                             {"Kids", PDFValue::array({PDFValue::ref(3, 0), PDFValue::ref(4, 0)})},
                             {"Count", PDFValue::integer(3)},
                             {"MediaBox", numbers({0, 0, 612, 792})},
                             {"CropBox", numbers({0, 0, 300, 400})},
                             {"Rotate", PDFValue::integer(90)}}));
    b.add(3, PDFValue::dict({{"Type", PDFValue::name("Page")}, {"Parent", PDFValue::ref(2, 0)}}));
    b.add(4, PDFValue::dict({{"Type", PDFValue::name("Pages")},
                             {"Parent", PDFValue::ref(2, 0)},
                             {"Kids", PDFValue::array({PDFValue::ref(5, 0), PDFValue::ref(6, 0)})},
                             {"Count", PDFValue::integer(2)},
                             {"Rotate", PDFValue::integer(450)}}));
    b.add(5, PDFValue::dict({{"Type", PDFValue::name("Page")}, {"Parent", PDFValue::ref(4, 0)}}));
    b.add(6, PDFValue::dict({{"Type", PDFValue::name("Page")},
                             {"Parent", PDFValue::ref(4, 0)},
                             {"Rotate", PDFValue::integer(-90)}}));
    b.finishWithTable({{"Size", PDFValue::integer(7)}, {"Root", PDFValue::ref(1, 0)}});
    const fs::path file = dir.file("rotated.pdf");
    b.writeTo(file);
    return file;
}

TEST(AddCommand, ItemsTakeTheInheritedRotationOfTheirPage) {
    TempDir dir;
    const fs::path source = rotatedDocument(dir);
    const std::vector<std::pair<int, int64_t>> pages = {{1, 90}, {2, 90}, {3, 270}};
    for (const auto& [page, rotation] : pages) {
        const fs::path out = dir.file("text" + std::to_string(page) + ".pdf");
        ASSERT_EQ(runQuillet({"add", source.string(), out.string(), "--page", std::to_string(page), "--text",
                              "upright", "--at", "100,100"})
                      .status,
                  0);
        const json items = testing::itemsOn(out, page - 1);
        ASSERT_EQ(items.size(), 1u) << "page " << page;
        EXPECT_EQ(ItemCodec::fromJSON(items[0])->rotation, rotation) << "page " << page;
    }
}

// The /Subtype and /QuadPoints (as written) of the annotations on a page.
std::vector<std::pair<std::string, std::string>> markupAnnotations(const fs::path& file, size_t page) {
    PDFFileReader reader(file);
    const PDFRef ref = reader.pageRefs().at(page);
    const PDFValue pageDict = reader.resolve(PDFValue::ref(ref.num, ref.gen));
    const PDFValue* annots = pageDict.dictValue() ? pageDict.dictValue()->find("Annots") : nullptr;
    std::vector<std::pair<std::string, std::string>> found;
    if (annots == nullptr) return found;
    const PDFValue list = reader.resolve(*annots);
    for (const PDFValue& entry : list.arrayValue() ? *list.arrayValue() : PDFArray{}) {
        const PDFValue annotation = reader.resolve(entry);
        const PDFValue* subtype = annotation.dictValue() ? annotation.dictValue()->find("Subtype") : nullptr;
        const PDFValue* quads = annotation.dictValue() ? annotation.dictValue()->find("QuadPoints") : nullptr;
        Bytes written;
        if (quads != nullptr) PDFWriter::write(*quads, written);
        found.emplace_back(subtype && subtype->nameValue() ? *subtype->nameValue() : "", written);
    }
    return found;
}

// Two lines marked bottom first: the order given is the order kept, in the
// item and in the annotation other viewers read.
TEST(AddCommand, HighlightKeepsItsQuadsInTheOrderGivenInItsItemAndItsQuadPoints) {
    if (!testing::qpdfAvailable()) GTEST_SKIP() << "qpdf not installed";
    TempDir dir;
    const fs::path source = testing::makeSource(dir), out = dir.file("out.pdf");
    json result =
        quilletJSON({"add", source.string(), out.string(), "--page", "2", "--highlight", "--quads",
                     "72,698,120,698,72,686,120,686; 72,712,200.5,712,72,700,200.5,700", "--marked-text",
                     "brown fox\nthe quick", "--comment", "check", "--color", "1,0.9,0.2,0.4"});
    ASSERT_TRUE(result.is_object());
    testing::expectQpdfClean(out);

    const json items = testing::itemsOn(out, 1);
    ASSERT_EQ(items.size(), 1u) << items.dump();
    EXPECT_EQ(items[0]["id"], result["id"]);
    EXPECT_EQ(items[0]["t"], "markup");
    EXPECT_EQ(items[0]["k"], "highlight");
    EXPECT_EQ(items[0]["q"],
              json::parse("[[72,698,120,698,72,686,120,686],[72,712,200.5,712,72,700,200.5,700]]"));
    EXPECT_EQ(items[0]["s"], "brown fox\nthe quick");
    EXPECT_EQ(items[0]["cm"], "check");
    EXPECT_EQ(items[0]["c"], json::parse("[1,0.9,0.2,0.4]"));

    const std::vector<std::pair<std::string, std::string>> expected = {
        {"Highlight", "[72 698 120 698 72 686 120 686 72 712 200.5 712 72 700 200.5 700]"}};
    EXPECT_EQ(markupAnnotations(out, 1), expected);
}

// Called wrongly as any other kind: exit 2 with the usage line, nothing
// written, also when the fault is only seen in the value.
TEST(AddCommand, TextMarkupCalledWronglyIsAUsageErrorAndWritesNothing) {
    TempDir dir;
    testing::writeFile(dir.file("in.pdf"), testing::simpleDocument(1));
    const std::vector<std::vector<std::string>> cases = {
        {"--underline"},
        {"--underline", "--quads", "72,712,200,712,72,700,200"},
        {"--text", "t", "--at", "1,2", "--quad-rect", "72,700,200,712"},
    };
    for (const std::vector<std::string>& options : cases) {
        std::vector<std::string> args = {"add", dir.file("in.pdf").string(), dir.file("out.pdf").string(),
                                         "--page", "1"};
        args.insert(args.end(), options.begin(), options.end());
        testing::CommandResult r = runQuillet(args);
        EXPECT_EQ(r.status, 2) << options.back();
        EXPECT_TRUE(r.err.starts_with("quillet: ")) << r.err;
        EXPECT_NE(r.err.find("\nusage: quillet add "), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
        EXPECT_FALSE(fs::exists(dir.file("out.pdf")));
    }
}

TEST(AddCommand, InkBeyondThePointCapIsRefused) {
    TempDir dir;
    testing::writeFile(dir.file("in.pdf"), testing::simpleDocument(1));
    json item = {
        {"v", 1},     {"t", "ink"},
        {"k", "pen"}, {"c", {0, 0, 1, 1}},
        {"lw", 2},    {"st", json::array({json(std::vector<int>(2 * ItemCodec::kMaxPoints + 2, 100))})}};
    testing::writeFile(dir.file("item.json"), item.dump());
    testing::CommandResult r = runQuillet({"add", dir.file("in.pdf").string(), dir.file("out.pdf").string(),
                                           "--page", "1", "--item", dir.file("item.json").string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(fs::exists(dir.file("out.pdf")));
}

}  // namespace
}  // namespace quillet
