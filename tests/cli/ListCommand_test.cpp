// `quillet list`: the application's items per page, recognised the way a
// save recognises them, on files written by our own writer (plain and
// encrypted) and on hand-made pages mixing our annotations with foreign and
// damaged ones.
#include <gtest/gtest.h>

#include "QuilletProcess.h"
#include "core/markup/ItemCodec.h"
#include "core/pdf/PDFFileReader.h"
#include "core/save/IncrementalWriter.h"
#include "support/PdfFixtures.h"
#include "support/TempDir.h"

namespace quillet {
namespace {

using nlohmann::json;
using testing::quilletJSON;
using testing::runQuillet;
using testing::TempDir;

AnnotationItem item(const std::string& id, const std::string& text, double red = 1) {
    json object = {{"v", 1},
                   {"id", id},
                   {"t", "text"},
                   {"c", {red, 0, 0, 1}},
                   {"lw", 1},
                   {"m", 1733402400},
                   {"r", 0},
                   {"p1", {100, 700}},
                   {"tx", {{"s", text}, {"f", 12}, {"b", false}}}};
    std::optional<AnnotationItem> decoded = ItemCodec::fromJSON(object);
    EXPECT_TRUE(decoded) << object.dump();
    return *decoded;
}

AnnotationItem ink(const std::string& id) {
    json object = {{"v", 1},
                   {"id", id},
                   {"t", "ink"},
                   {"k", "pen"},
                   {"c", {0, 0, 1, 1}},
                   {"lw", 2},
                   {"m", 1733402400},
                   {"r", 0},
                   {"st", {{10, 20, 11, 21.25, 13.5, 22}}}};
    return *ItemCodec::fromJSON(object);
}

const std::string kIdA = "5E6A1D2C-0000-4000-8000-00000000000A";
const std::string kIdB = "5E6A1D2C-0000-4000-8000-00000000000B";
const std::string kIdC = "5E6A1D2C-0000-4000-8000-00000000000C";

json listing(const std::map<std::string, std::vector<AnnotationItem>>& pages) {
    json result = json::object();
    for (const auto& [page, items] : pages) {
        for (const AnnotationItem& i : items) result[page].push_back(ItemCodec::toJSON(i));
    }
    return {{"pages", result}};
}

TEST(ListCommand, FileWithoutMarkupListsNoPages) {
    TempDir dir;
    testing::writeFile(dir.file("plain.pdf"), testing::simpleDocument(2));
    EXPECT_EQ(quilletJSON({"list", dir.file("plain.pdf").string()}), json({{"pages", json::object()}}));
}

TEST(ListCommand, ListsWhatTheWriterSavedPerPageInOrder) {
    TempDir dir;
    testing::writeFile(dir.file("plain.pdf"), testing::simpleDocument(3));
    PageItemMap pages = {{0, {item(kIdA, "first"), ink(kIdB)}}, {2, {item(kIdC, "last page")}}};
    IncrementalWriter::appendUpdate(dir.file("plain.pdf"), dir.file("marked.pdf"), 3, pages);

    json expected = listing({{"0", pages[0]}, {"2", pages[2]}});
    EXPECT_EQ(quilletJSON({"list", dir.file("marked.pdf").string()}), expected);
}

TEST(ListCommand, EncryptedFileListsWithItsPasswordAndFailsWithoutIt) {
    if (!testing::qpdfAvailable()) GTEST_SKIP() << "qpdf not installed";
    TempDir dir;
    testing::writeFile(dir.file("plain.pdf"), testing::simpleDocument(2));
    testing::CommandResult q =
        testing::runQpdf({"--encrypt", "user-pw", "owner-pw", "256", "--", dir.file("plain.pdf").string(),
                          dir.file("locked.pdf").string()});
    ASSERT_EQ(q.status, 0) << q.err;
    PageItemMap pages = {{1, {item(kIdA, "secret")}}};
    IncrementalWriter::appendUpdate(dir.file("locked.pdf"), dir.file("marked.pdf"), 2, pages, {}, "user-pw");

    const std::string marked = dir.file("marked.pdf").string();
    EXPECT_EQ(quilletJSON({"list", marked, "--password", "owner-pw"}), listing({{"1", pages[1]}}));
    for (std::vector<std::string> args : {std::vector<std::string>{"list", marked, "--password", "nope"},
                                          std::vector<std::string>{"list", marked}}) {
        testing::CommandResult r = runQuillet(args);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "quillet: wrong password\n");
        EXPECT_EQ(r.out, "");
    }
}

// Page 1 of simpleDocument(2) (object 6) gets an /Annots array mixing our
// annotations with foreign, damaged and duplicate ones.
TEST(ListCommand, SkipsForeignDamagedInlineAndDuplicateAnnotations) {
    TempDir dir;
    const Bytes plain = testing::simpleDocument(2);
    testing::writeFile(dir.file("plain.pdf"), plain);
    auto reader = PDFFileReader::open(dir.file("plain.pdf"));
    PDFDictionary page = *reader->object(6)->dictionary();

    auto annotation = [](std::optional<std::string> payload) {
        PDFDictionary d = {{"Type", PDFValue::name("Annot")},
                           {"Subtype", PDFValue::name("FreeText")},
                           {"Rect", PDFValue::array({PDFValue::integer(0), PDFValue::integer(0),
                                                     PDFValue::integer(10), PDFValue::integer(10)})}};
        if (payload) d.set("QuilletItem", PDFValue::string(*payload));
        return d;
    };
    const AnnotationItem a = item(kIdA, "kept"), b = ink(kIdB);
    testing::PdfBuilder builder = testing::PdfBuilder::appendingTo(plain);
    builder.add(20, PDFValue::dict(annotation(ItemCodec::encode(a))));
    builder.add(21, PDFValue::dict(annotation(std::nullopt)));                 // foreign
    builder.add(22, PDFValue::dict(annotation("QLT1:bm90IGEgcGF5bG9hZA==")));  // does not decode
    builder.add(23, PDFValue::dict(annotation(ItemCodec::encode(item(kIdA, "second copy", 0)))));
    builder.add(24, PDFValue::dict(annotation(ItemCodec::encode(b))));
    builder.add(25, PDFValue::string(ItemCodec::encode(item(kIdC, "not a dictionary"))));
    page.set("Annots",
             PDFValue::array(
                 {PDFValue::ref(20, 0), PDFValue::ref(21, 0), PDFValue::ref(22, 0), PDFValue::ref(23, 0),
                  PDFValue::dict(annotation(ItemCodec::encode(item(kIdC, "inline")))), PDFValue::ref(99, 0),
                  PDFValue::integer(7), PDFValue::ref(25, 0), PDFValue::ref(24, 0)}));
    builder.add(6, PDFValue::dict(page));
    builder.finishWithTable({{"Size", PDFValue::integer(26)},
                             {"Root", PDFValue::ref(1, 0)},
                             {"Prev", PDFValue::integer(reader->startXref())}});
    builder.writeTo(dir.file("mixed.pdf"));

    EXPECT_EQ(quilletJSON({"list", dir.file("mixed.pdf").string()}), listing({{"1", {a, b}}}));
}

TEST(ListCommand, UnreadablePageTreeIsAnError) {
    TempDir dir;
    Bytes bytes = testing::simpleDocument(1);
    size_t kids = bytes.find("/Kids");
    ASSERT_NE(kids, std::string::npos);
    bytes.replace(kids, 5, "/Kidz");  // same length: offsets stay right
    testing::writeFile(dir.file("broken.pdf"), bytes);
    testing::CommandResult r = runQuillet({"list", dir.file("broken.pdf").string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.starts_with("quillet: ")) << r.err;
}

}  // namespace
}  // namespace quillet
