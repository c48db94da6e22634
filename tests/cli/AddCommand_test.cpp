// `quillet add`: every kind of item on the first and the last page of each
// source layout (plain and encrypted), checked by qpdf and read back by
// `quillet list`; the page's rotation and crop box, inherited from the page
// tree, shape the item; wrong calls are usage errors that write nothing.
#include <gtest/gtest.h>

#include <chrono>

#include "MarkupFixtures.h"
#include "core/markup/ItemCodec.h"
#include "core/markup/ItemGeometry.h"

namespace quillet {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using testing::quilletJSON;
using testing::runQuillet;
using testing::SourceLayout;
using testing::TempDir;

class AddEveryKind : public ::testing::TestWithParam<SourceLayout> {};

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
    };
}

TEST_P(AddEveryKind, OnFirstAndLastPageAppendsToTheInputAndListsBackInOrder) {
    if (!testing::qpdfAvailable()) GTEST_SKIP() << "qpdf not installed";
    const SourceLayout& layout = GetParam();
    TempDir dir;
    fs::path current = testing::makeSource(dir, layout);
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
    for (int page : {1, 3}) {
        for (const KindCase& c : kindCases(dir.file("item.json"))) {
            const fs::path next = dir.file("step" + std::to_string(++step) + ".pdf");
            std::vector<std::string> args = {"add", current.string(), next.string(), "--page",
                                             std::to_string(page)};
            args.insert(args.end(), c.args.begin(), c.args.end());
            json result = quilletJSON(testing::withPassword(args, layout.password));
            ASSERT_TRUE(result.is_object()) << c.kind;
            const std::string before = testing::readFile(current), after = testing::readFile(next);
            EXPECT_TRUE(after.starts_with(before)) << c.kind << " on page " << page;
            EXPECT_EQ(result["bytesAppended"], static_cast<int64_t>(after.size() - before.size()));
            EXPECT_EQ(result["annotationsWritten"], 1);
            EXPECT_EQ(result["annotationsReused"], expected[std::to_string(page - 1)].size());
            EXPECT_EQ(result["pagesUpdated"], 1);
            expected[std::to_string(page - 1)].emplace_back(result["id"], c.kind);
            current = next;
        }
    }
    testing::expectQpdfClean(current, layout.password);

    json listed = testing::listing(current, layout.password);
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
    json result = quilletJSON(testing::withPassword(
        {"write", current.string(), again.string(), "--markup", dir.file("listing.json").string()},
        layout.password));
    EXPECT_EQ(result, json({{"pagesUpdated", 0},
                            {"annotationsWritten", 0},
                            {"annotationsReused", 12},
                            {"bytesAppended", 0}}));
    EXPECT_EQ(testing::readFile(again), testing::readFile(current));
}

INSTANTIATE_TEST_SUITE_P(Layouts, AddEveryKind, ::testing::ValuesIn(testing::sourceLayouts()),
                         [](const auto& info) { return info.param.name; });

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

AnnotationItem onlyItem(const fs::path& file, int pageIndex) {
    json listed = testing::listing(file, std::nullopt);
    const json& list = listed["pages"][std::to_string(pageIndex)];
    EXPECT_EQ(list.size(), 1u) << listed.dump();
    return *ItemCodec::fromJSON(list.at(0));
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
        EXPECT_EQ(onlyItem(out, page - 1).rotation, rotation) << "page " << page;
    }
    // An item given whole keeps the rotation it names and takes the page's
    // when it names none.
    testing::writeFile(dir.file("item.json"),
                       R"({"v":1,"t":"arrow","c":[1,0,0,1],"lw":2,"p1":[1,2],"p2":[30,40]})");
    ASSERT_EQ(runQuillet({"add", source.string(), dir.file("a.pdf").string(), "--page", "3", "--item",
                          dir.file("item.json").string()})
                  .status,
              0);
    EXPECT_EQ(onlyItem(dir.file("a.pdf"), 2).rotation, 270);
}

TEST(AddCommand, NoteBubbleStaysInsideTheInheritedCropBox) {
    TempDir dir;
    const fs::path source = rotatedDocument(dir);
    const Rect crop{0, 0, 300, 400};
    // Icons near each edge of the crop box; the media box would leave room
    // beyond most of them.
    for (const std::string at : {"270,380", "20,380", "270,40", "20,40"}) {
        const fs::path out = dir.file("note.pdf");
        ASSERT_EQ(runQuillet({"add", source.string(), out.string(), "--page", "1", "--note",
                              "a comment long enough to need room", "--at", at})
                      .status,
                  0);
        AnnotationItem note = onlyItem(out, 0);
        ASSERT_TRUE(note.isNote());
        EXPECT_EQ(note.rotation, 90);
        Rect bubble =
            ItemGeometry::placeBubble(note.shape.note()->spec, note.shape.note()->bubble, 90).frame();
        EXPECT_TRUE(crop.insetBy(3.9, 3.9).contains(bubble))
            << "icon at " << at << ": bubble " << bubble.x << "," << bubble.y << " " << bubble.width << "×"
            << bubble.height;
    }
}

TEST(AddCommand, ItemGivenWholeGetsAFreshIdAndTheCurrentTimeWhenItHasNone) {
    TempDir dir;
    testing::writeFile(dir.file("in.pdf"), testing::simpleDocument(1));
    testing::writeFile(dir.file("item.json"), R"({"v":1,"t":"text","c":[0,0,0,1],"lw":1,"r":0,"p1":[50,60],)"
                                              R"("tx":{"s":"whole","f":12,"b":false}})");
    const auto before = std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
    json first = quilletJSON({"add", dir.file("in.pdf").string(), dir.file("one.pdf").string(), "--page", "1",
                              "--item", dir.file("item.json").string()});
    // Standard input too; the second item gets an id of its own.
    testing::CommandResult r = testing::runCommand(
        {"sh", "-c", "exec \"$0\" add \"$1\" \"$2\" --page 1 --item - < \"$3\"", testing::quilletBinary(),
         dir.file("one.pdf").string(), dir.file("two.pdf").string(), dir.file("item.json").string()});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto after = std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());

    json listed = testing::listing(dir.file("two.pdf"), std::nullopt);
    ASSERT_EQ(listed["pages"]["0"].size(), 2u);
    std::optional<AnnotationItem> a = ItemCodec::fromJSON(listed["pages"]["0"][0]);
    std::optional<AnnotationItem> b = ItemCodec::fromJSON(listed["pages"]["0"][1]);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->id.text(), first["id"]);
    EXPECT_NE(a->id, b->id);
    EXPECT_EQ(b->id.text(), json::parse(r.out)["id"]);
    for (const AnnotationItem* item : {&*a, &*b}) {
        EXPECT_GE(item->modified, before);
        EXPECT_LE(item->modified, after);
    }
}

TEST(AddCommand, ItemWhoseIdIsAlreadyOnThePageIsRefused) {
    TempDir dir;
    testing::writeFile(dir.file("in.pdf"), testing::simpleDocument(1));
    const std::string id = "5E6A1D2C-0000-4000-8000-00000000002A";
    testing::writeFile(
        dir.file("item.json"),
        R"({"v":1,"id":")" + id + R"(","t":"ink","k":"pen","c":[0,0,0,1],"lw":1,"st":[[1,2]]})");
    const std::string in = dir.file("in.pdf").string(), one = dir.file("one.pdf").string();
    ASSERT_EQ(runQuillet({"add", in, one, "--page", "1", "--item", dir.file("item.json").string()}).status,
              0);
    testing::CommandResult r = runQuillet(
        {"add", one, dir.file("two.pdf").string(), "--page", "1", "--item", dir.file("item.json").string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "quillet: page 1 already has an item with id " + id + "\n");
    EXPECT_FALSE(fs::exists(dir.file("two.pdf")));
}

TEST(AddCommand, FailuresExitOneAndWriteNothing) {
    TempDir dir;
    testing::writeFile(dir.file("in.pdf"), testing::simpleDocument(2));
    testing::writeFile(dir.file("bad.json"), "{\"v\": 1,");
    testing::writeFile(dir.file("notitem.json"), R"({"v":1,"t":"sparkle"})");
    const std::string in = dir.file("in.pdf").string(), out = dir.file("out.pdf").string();
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"add", in, out, "--page", "3", "--ink", "1,1"}, "page 3 does not exist: the document has 2 pages"},
        {{"add", in, out, "--page", "1", "--item", dir.file("bad.json").string()},
         dir.file("bad.json").string() + " is not valid JSON"},
        {{"add", in, out, "--page", "1", "--item", dir.file("notitem.json").string()},
         "the item is not a valid markup item"},
        {{"add", in, out, "--page", "1", "--item", dir.file("none.json").string()},
         "cannot open " + dir.file("none.json").string() + ": No such file or directory"},
    };
    for (const auto& [args, message] : cases) {
        testing::CommandResult r = runQuillet(args);
        EXPECT_EQ(r.status, 1) << message;
        EXPECT_EQ(r.err, "quillet: " + message + "\n");
        EXPECT_EQ(r.out, "");
        EXPECT_FALSE(fs::exists(out)) << message;
    }
    testing::CommandResult missing =
        runQuillet({"add", dir.file("none.pdf").string(), out, "--page", "1", "--ink", "1,1"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_TRUE(missing.err.starts_with("quillet: ")) << missing.err;
}

TEST(AddCommand, WrongCallsAreUsageErrorsThatWriteNothing) {
    TempDir dir;
    testing::writeFile(dir.file("in.pdf"), testing::simpleDocument(1));
    const std::string in = dir.file("in.pdf").string(), out = dir.file("out.pdf").string();
    auto add = [&](std::vector<std::string> rest) {
        std::vector<std::string> args = {"add", in, out};
        args.insert(args.end(), rest.begin(), rest.end());
        return args;
    };
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {add({"--ink", "1,2"}), "--page N is needed"},
        {add({"--page", "0", "--ink", "1,2"}), "--page takes a page number from 1 up"},
        {add({"--page", "2x", "--ink", "1,2"}), "--page takes a page number from 1 up"},
        {add({"--page", "1"}), "one of --item, --text, --note, --ink or --arrow is needed"},
        {add({"--page", "1", "--text", "a", "--at", "1,2", "--ink", "1,2"}),
         "only one of --item, --text, --note, --ink or --arrow may be given"},
        {add({"--page", "1", "--text", "a"}), "--text needs --at X,Y"},
        {add({"--page", "1", "--note", "a"}), "--note needs --at X,Y"},
        {add({"--page", "1", "--text", "", "--at", "1,2"}), "--text needs some text"},
        {add({"--page", "1", "--ink", "1,2", "--at", "1,2"}), "--at goes only with --text or --note"},
        {add({"--page", "1", "--text", "a", "--at", "1,2", "--highlighter"}),
         "--highlighter goes only with --ink"},
        {add({"--page", "1", "--ink", "1,2", "--label", "x"}), "--label goes only with --arrow"},
        {add({"--page", "1", "--ink", "1,2", "--size", "9"}),
         "--size goes only with --text, --note or --arrow"},
        {add({"--page", "1", "--arrow", "1,2,3,4", "--size", "9"}),
         "--size and --boxed go with --arrow only together with --label"},
        {add({"--page", "1", "--item", "x.json", "--color", "1,0,0"}),
         "--color goes only with --text, --note, --ink or --arrow"},
        {add({"--page", "1", "--ink", "1,2", "--color", "1,0"}), "--color takes r,g,b or r,g,b,a"},
        {add({"--page", "1", "--ink", "1,2", "--color", "1.5,0,0"}),
         "--color: components lie between 0 and 1"},
        {add({"--page", "1", "--ink", "1,2", "--width", "0"}), "--width must lie above 0 and at most 1000"},
        {add({"--page", "1", "--ink", "1,2 3"}), "--ink takes X,Y"},
        {add({"--page", "1", "--ink", "1,2 a,3"}), "--ink: \"a\" is not a number"},
        {add({"--page", "1", "--ink", "1,2;"}), "--ink: every stroke needs at least one point x,y"},
        {add({"--page", "1", "--ink", "nan,2"}), "--ink: \"nan\" is not a number"},
        {add({"--page", "1", "--arrow", "1,2,3"}), "--arrow takes X1,Y1,X2,Y2"},
        {add({"--page", "1", "--text", "a", "--at", "1e8,0"}), "--at: coordinates lie within ±10000000"},
    };
    for (const auto& [args, message] : cases) {
        testing::CommandResult r = runQuillet(args);
        EXPECT_EQ(r.status, 2) << message;
        EXPECT_TRUE(r.err.starts_with("quillet: " + message + "\nusage: quillet add IN OUT")) << r.err;
        EXPECT_FALSE(fs::exists(out)) << message;
    }
    testing::CommandResult help = runQuillet({"add", "--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.starts_with("usage: quillet add IN OUT --page N")) << help.out;
    for (std::string option :
         {"--item", "--text", "--note", "--ink", "--arrow", "--color", "--width", "--password"})
        EXPECT_NE(help.out.find(option), std::string::npos) << option;
}

}  // namespace
}  // namespace quillet
