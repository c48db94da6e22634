// Opening files of every cross-reference layout, merging trailers, loading
// objects (direct, in object streams, streams measured by /Length) and
// walking page trees.
#include "core/pdf/PDFFileReader.h"

#include <gtest/gtest.h>

#include "support/ErrorText.h"
#include "support/ReaderFixtures.h"

namespace quillet {
namespace {

using namespace testing;
using PDFFileReaderLayouts = SkeletonFileTest;
using PDFFileReaderXRefStreams = SkeletonFileTest;
using PDFFileReaderObjects = SkeletonFileTest;
using PDFFileReaderPages = SkeletonFileTest;

void expectSimpleDocument(PDFFileReader& reader, int pages) {
    std::vector<PDFRef> refs = reader.pageRefs();
    ASSERT_EQ(refs.size(), static_cast<size_t>(pages));
    for (int i = 0; i < pages; ++i) {
        const PDFValue page = reader.resolve(PDFValue::ref(refs[static_cast<size_t>(i)]));
        std::optional<PDFObject> contents =
            reader.object(page.dictValue()->find("Contents")->refValue()->num);
        ASSERT_TRUE(contents && contents->isStream());
        EXPECT_EQ(reader.decodeStream(contents->stream()->dict, contents->stream()->data),
                  simpleDocumentContent(i));
    }
    PDFValue info = reader.resolve(*reader.trailer().find("Info"));
    EXPECT_EQ(*reader.resolve(*info.dictValue()->find("Title")).stringBytes(), "Fixture");
    EXPECT_EQ(reader.nesting(), 0);
}

std::shared_ptr<PDFFileReader> openQpdfOutput(const TempDir& dir, int pages, std::vector<std::string> args) {
    writeFile(dir.file("in.pdf"), simpleDocument(pages));
    args.insert(args.end(), {dir.file("in.pdf").string(), dir.file("out.pdf").string()});
    EXPECT_EQ(runQpdf(args).status, 0);
    return PDFFileReader::open(dir.file("out.pdf"));
}

// ---- the object table ----

TEST(XRefTable, PacksTheWidestOffsetsGenerationsAndIndices) {
    XRefTable table;
    const int64_t maxLocation = XRefTable::kLocationLimit - 1;
    const XRefEntry widest = XRefEntry::inObjectStream(maxLocation, XRefTable::kIndexLimit - 1);
    EXPECT_TRUE(table.store(5, XRefEntry::inFile(maxLocation, 65535)));
    EXPECT_TRUE(table.store(9'999'999, widest));
    EXPECT_EQ(table.entry(5), XRefEntry::inFile(maxLocation, 65535));
    EXPECT_EQ(table.entry(9'999'999), widest);
    EXPECT_EQ(table.entry(4).kind, XRefEntry::Kind::none);
    EXPECT_EQ(table.size(), 10'000'000);
    EXPECT_LE(table.memoryBytes(), 8u * 10'000'000u);
}

TEST(XRefTable, KeepsTheFirstEntryAndDropsWhatCannotBePacked) {
    XRefTable table;
    EXPECT_TRUE(table.store(3, XRefEntry::inFile(100, 0)));
    EXPECT_FALSE(table.store(3, XRefEntry::inFile(200, 0)));
    EXPECT_EQ(table.entry(3).location, 100);
    EXPECT_FALSE(table.store(4, XRefEntry::inFile(XRefTable::kLocationLimit, 0)));
    EXPECT_FALSE(table.store(4, XRefEntry::inObjectStream(7, XRefTable::kIndexLimit)));
    EXPECT_FALSE(table.store(XRefTable::kMaxObjects, XRefEntry::inFile(100, 0)));
    EXPECT_FALSE(table.store(-1, XRefEntry::inFile(100, 0)));
    EXPECT_EQ(table.size(), 4);
}

// ---- layouts ----

TEST_F(PDFFileReaderLayouts, OpensAClassicTable) {
    Bytes bytes = simpleDocument(3);
    auto reader = openBytes(dir, bytes);
    EXPECT_FALSE(reader->newestSectionIsStream());
    EXPECT_EQ(reader->startXref(), static_cast<int64_t>(bytes.rfind("xref\n0 10")));
    EXPECT_EQ(reader->size(), 10);
    EXPECT_FALSE(reader->isEncrypted());
    EXPECT_EQ(reader->pageRefs(), (std::vector<PDFRef>{{4, 0}, {6, 0}, {8, 0}}));
    expectSimpleDocument(*reader, 3);
}

class QpdfLayouts : public ::testing::TestWithParam<std::vector<std::string>> {};

TEST_P(QpdfLayouts, OpensWhatQpdfWrites) {
    if (!qpdfAvailable()) GTEST_SKIP() << "qpdf not installed";
    TempDir dir;
    expectSimpleDocument(*openQpdfOutput(dir, 5, GetParam()), 5);
}

INSTANTIATE_TEST_SUITE_P(Layouts, QpdfLayouts,
                         ::testing::Values(std::vector<std::string>{"--object-streams=generate"},
                                           std::vector<std::string>{"--linearize"},
                                           std::vector<std::string>{"--linearize",
                                                                    "--object-streams=generate"},
                                           std::vector<std::string>{"--object-streams=disable", "--qdf"}));

TEST_F(PDFFileReaderLayouts, ObjectStreamsAreIndexedAsCompressedEntries) {
    if (!qpdfAvailable()) GTEST_SKIP() << "qpdf not installed";
    TempDir dir;
    auto reader = openQpdfOutput(dir, 2, {"--object-streams=generate"});
    EXPECT_TRUE(reader->newestSectionIsStream());
    int compressed = 0;
    for (int64_t n = 0; n < reader->entries().size(); ++n)
        compressed += reader->entries().entry(n).kind == XRefEntry::Kind::inObjectStream;
    EXPECT_GT(compressed, 0);
    EXPECT_FALSE(reader->trailer().contains("W") || reader->trailer().contains("Type"));
    reader->pageRefs();
    EXPECT_GT(reader->objectStreams().bytes(), 0);
}

TEST_F(PDFFileReaderLayouts, HybridFileFindsStreamOnlyObjectsAndPrefersTheTable) {
    b.add(4, PDFValue::string("from the table"));
    // The stream section has 4 and 5 in an object stream; the table also
    // lists 4 (over the same bytes) and must win.
    PdfBuilder streamPart = PdfBuilder::appendingTo(b.bytes());
    streamPart.addObjectStream(
        10, {{4, PDFValue::string("from the stream")}, {5, PDFValue::string("only in the stream")}});
    const int64_t xrefStm = streamPart.finishWithXRefStream(11, {{"Size", num(12)}}, false);
    PdfBuilder main = PdfBuilder::appendingTo(streamPart.bytes());
    for (int n = 1; n <= 4; ++n) main.recordInFile(n, b.offsetOf(n));
    main.finishWithTable({{"Size", num(12)}, {"Root", ref(1)}, {"XRefStm", num(xrefStm)}});

    auto reader = openBytes(dir, main.bytes());
    EXPECT_FALSE(reader->newestSectionIsStream());
    EXPECT_EQ(*reader->resolve(ref(4)).stringBytes(), "from the table");
    EXPECT_EQ(*reader->resolve(ref(5)).stringBytes(), "only in the stream");
    EXPECT_FALSE(reader->trailer().contains("XRefStm"));
    EXPECT_EQ(reader->pageRefs().size(), 1u);
}

TEST_F(PDFFileReaderLayouts, IncrementalUpdateRedefinesAnObjectAndMergesTrailers) {
    Bytes original = simpleDocument(2);
    const int64_t firstTable = static_cast<int64_t>(original.rfind("xref\n0 "));
    PdfBuilder update = PdfBuilder::appendingTo(original);
    update.add(3, PDFValue::dict({{"Title", PDFValue::string("Updated")}}));
    update.add(
        1, PDFValue::dict(
               {{"Type", PDFValue::name("Catalog")}, {"Pages", ref(2)}, {"Lang", PDFValue::string("en")}}));
    // The update's trailer has no Info: the older section's must survive.
    update.finishWithTable({{"Size", num(8)}, {"Root", ref(1)}, {"Prev", num(firstTable)}});

    auto reader = openBytes(dir, update.bytes());
    EXPECT_EQ(*reader->resolve(*reader->resolve(ref(3)).dictValue()->find("Title")).stringBytes(), "Updated");
    EXPECT_TRUE(reader->resolve(ref(1)).dictValue()->contains("Lang"));
    EXPECT_EQ(reader->trailer().keys(), (std::vector<std::string>{"Size", "Root", "Info", "ID"}));
    EXPECT_EQ(reader->pageRefs().size(), 2u);
    EXPECT_GT(reader->startXref(), firstTable);
}

TEST_F(PDFFileReaderLayouts, NewestRootReplacesAnOlderOne) {
    b.add(7, PDFValue::dict({{"Type", PDFValue::name("Catalog")}, {"Pages", ref(2)}}));
    const int64_t first = b.appendTable({{"Size", num(8)}, {"Root", ref(1)}, {"Info", ref(3)}});
    b.add(6, PDFValue::null());
    b.finishWithTable({{"Size", num(8)}, {"Root", ref(7)}, {"Prev", num(first)}});
    auto reader = open();
    // Size and Root were set in place, the older Info appended after them.
    EXPECT_EQ(reader->trailer(), (PDFDictionary{{"Size", num(8)}, {"Root", ref(7)}, {"Info", ref(3)}}));
}

TEST_F(PDFFileReaderXRefStreams, WithoutIndexRowsCoverZeroToSize) {
    Bytes rows;
    auto row = [&](int type, int64_t second, int third) {
        rows += {static_cast<char>(type), static_cast<char>(second >> 8), static_cast<char>(second & 0xFF),
                 static_cast<char>(third)};
    };
    row(0, 0, 255);
    for (int n = 1; n <= 3; ++n) row(1, b.offsetOf(n), 0);
    row(1, b.length(), 0);  // the stream itself, object 4
    finishWithHandMadeXRefStream(b, {{"W", PDFValue::array({num(1), num(2), num(1)})}}, rows);
    auto reader = open();
    EXPECT_TRUE(reader->newestSectionIsStream());
    EXPECT_EQ(reader->entries().entry(2), XRefEntry::inFile(b.offsetOf(2), 0));
    EXPECT_EQ(reader->entries().entry(0).kind, XRefEntry::Kind::none);
    EXPECT_EQ(reader->pageRefs().size(), 1u);
}

TEST_F(PDFFileReaderXRefStreams, ZeroWidthTypeFieldMeansInFileWithGenerationZero) {
    Bytes rows;
    for (int n = 1; n <= 3; ++n)
        rows += {static_cast<char>(b.offsetOf(n) >> 8), static_cast<char>(b.offsetOf(n))};
    finishWithHandMadeXRefStream(
        b, {{"Index", PDFValue::array({num(1), num(3)})}, {"W", PDFValue::array({num(0), num(2), num(0)})}},
        rows);
    auto reader = open();
    EXPECT_EQ(reader->entries().entry(3), XRefEntry::inFile(b.offsetOf(3), 0));
    EXPECT_EQ(reader->pageRefs(), (std::vector<PDFRef>{{3, 0}}));
}

TEST_F(PDFFileReaderXRefStreams, RefusesFieldsWiderThanEightBytesAndTrailersThatAreNotDictionaries) {
    PdfBuilder array = b;
    finishWithHandMadeXRefStream(b, {{"W", PDFValue::array({num(1), num(9), num(1)})}}, Bytes(22, '\0'));
    EXPECT_EQ(openError(), "bad xref: bad /W");
    array.append("xref\n0 1\n0000000000 65535 f \ntrailer\n[1 2 3]\nstartxref\n" +
                 std::to_string(array.length()) + "\n%%EOF\n");
    EXPECT_EQ(errorOf([&] { openBytes(dir, array.bytes()); }), "bad xref: trailer is not a dictionary");
}

TEST_F(PDFFileReaderXRefStreams, SizeCeilingIsTenMillionObjects) {
    PdfBuilder over = b;
    b.finishWithTable(rootTrailer(9'999'999));
    auto reader = open();
    EXPECT_EQ(reader->size(), 9'999'999);
    EXPECT_LT(reader->entries().memoryBytes(), 1024u);  // a large Size alone allocates nothing
    over.finishWithTable(rootTrailer(10'000'000));
    EXPECT_EQ(errorOf([&] { openBytes(dir, over.bytes()); }), "bad xref: too many objects (10000000)");
}

// ---- object loading ----

TEST_F(PDFFileReaderObjects, StreamLengthMayBeAnIndirectObject) {
    b.addRaw(4, "<< /Length 5 0 R >>\nstream\r\nabc\r\nxyz\nendstream");
    b.add(5, num(8));
    b.finishWithTable(rootTrailer(6));
    auto reader = open();
    EXPECT_EQ(reader->object(4)->stream()->data, "abc\r\nxyz");
    EXPECT_EQ(reader->nesting(), 0);
}

TEST_F(PDFFileReaderObjects, ObjectStreamWithFewerPairsThanNServesThoseItHas) {
    // "4 0 5 7 junk " is the 13-byte header.
    b.addStream(10, {{"Type", PDFValue::name("ObjStm")}, {"N", num(3)}, {"First", num(13)}},
                "4 0 5 7 junk (four) (five) (six)");
    for (int i = 0; i < 3; ++i) b.recordCompressed(4 + i, 10, i);
    b.finishWithXRefStream(11, rootTrailer(12));
    auto reader = open();
    EXPECT_EQ(*reader->resolve(ref(4)).stringBytes(), "four");
    EXPECT_EQ(*reader->resolve(ref(5)).stringBytes(), "five");
    EXPECT_TRUE(reader->resolve(ref(6)).isNull());
    EXPECT_FALSE(reader->object(6).has_value());
}

TEST_F(PDFFileReaderObjects, ObjectStreamEntriesAreFoundByNumberWhenTheIndexIsWrong) {
    b.addObjectStream(10, {{4, PDFValue::string("four")}, {5, PDFValue::string("five")}});
    b.recordCompressed(5, 10, 7);
    b.finishWithXRefStream(11, rootTrailer(12));
    EXPECT_EQ(*open()->resolve(ref(5)).stringBytes(), "five");
}

TEST_F(PDFFileReaderObjects, ObjectStreamProblemsAreBadObjects) {
    b.addStream(10, {{"Type", PDFValue::name("ObjStm")}, {"N", num(1'000'001)}, {"First", num(0)}}, "x");
    b.addObjectStream(12, {{13, PDFValue::integer(1)}});
    b.recordCompressed(4, 10, 0);
    b.recordCompressed(5, 12, 0);  // 12 is itself compressed below: nested streams are refused
    b.recordCompressed(6, 99, 0);  // no such stream
    b.recordCompressed(12, 10, 1);
    b.finishWithXRefStream(11, rootTrailer(14));
    auto reader = open();
    EXPECT_EQ(errorOf([&] { reader->object(4); }), "bad object: object stream 10 header");
    EXPECT_EQ(errorOf([&] { reader->object(5); }), "bad object: object stream 12 missing");
    EXPECT_EQ(errorOf([&] { reader->object(6); }), "bad object: object stream 99 missing");
    EXPECT_EQ(reader->nesting(), 0);
}

TEST_F(PDFFileReaderObjects, ResolveFollowsThirtyOneReferencesAndNoMore) {
    // Objects 10 .. 40 each refer to the next; 41 holds 7.
    for (int k = 10; k < 41; ++k) b.add(k, ref(k + 1));
    b.add(41, num(7));
    b.finishWithTable(rootTrailer(42));
    auto reader = open();
    EXPECT_EQ(reader->resolve(ref(11)), num(7));
    EXPECT_EQ(errorOf([&] { reader->resolve(ref(10)); }), "bad object: reference loop");
}

TEST_F(PDFFileReaderObjects, ResolveReadsMissingObjectsAsNullAndStreamsAsTheirDictionary) {
    b.addStream(4, {{"Kind", PDFValue::name("Test")}}, "data");
    b.finishWithTable(rootTrailer(5));
    auto reader = open();
    for (int64_t missing : {99, 0, -3}) EXPECT_TRUE(reader->resolve(ref(missing)).isNull()) << missing;
    EXPECT_TRUE(reader->resolve(ref(4)).dictValue()->find("Kind")->isName("Test"));
    EXPECT_EQ(reader->resolve(num(3)), num(3));
}

// ---- page trees ----

TEST_F(PDFFileReaderPages, WalksNestedTreesInDocumentOrderClassifyingNodesByTypeThenKids) {
    auto node = [](std::string_view type, std::optional<PDFValue> kids) {
        PDFDictionary d;
        if (!type.empty()) d.set("Type", PDFValue::name(std::string(type)));
        d.set("Kids", std::move(kids));
        return PDFValue::dict(std::move(d));
    };
    PdfBuilder tree;
    tree.add(1, PDFValue::dict({{"Pages", ref(2)}}));
    tree.add(2, node("Pages", PDFValue::array({ref(3), ref(6), ref(7)})));
    tree.add(3, node("", ref(8)));  // no Type but Kids: an inner node, its Kids an indirect array
    tree.add(8, PDFValue::array({ref(4), ref(5)}));
    tree.add(4, node("Page", std::nullopt));
    tree.add(5, node("", std::nullopt));
    tree.add(6, node("Page", PDFValue::array({ref(99)})));  // a /Page with Kids is still a leaf
    tree.add(7, node("Pages", PDFValue::array({})));
    tree.finishWithTable(rootTrailer(9));
    EXPECT_EQ(openBytes(dir, tree.bytes())->pageRefs(), (std::vector<PDFRef>{{4, 0}, {5, 0}, {6, 0}}));

    PdfBuilder empty;
    empty.add(1, PDFValue::dict({{"Pages", ref(2)}}));
    empty.add(2, node("Pages", PDFValue::array({})));
    empty.finishWithTable(rootTrailer(3));
    EXPECT_TRUE(openBytes(dir, empty.bytes())->pageRefs().empty());
}

TEST_F(PDFFileReaderPages, StructuralFaultsNameTheNode) {
    const PDFValue catalog = PDFValue::dict({{"Pages", ref(2)}});
    auto pages = [](PDFArray kids) {
        return PDFValue::dict({{"Type", PDFValue::name("Pages")}, {"Kids", PDFValue::array(kids)}});
    };
    const struct {
        PDFValue catalog;
        PDFValue node;
        std::string error;
    } cases[] = {
        {num(5), PDFValue::dict({}), "catalog is not a dictionary"},
        {PDFValue::dict({{"Pages", PDFValue::dict({})}}), PDFValue::dict({}), "/Pages is not a reference"},
        {catalog, pages({ref(2)}), "object 2 visited twice"},
        {catalog, pages({PDFValue::dict({})}), "direct kid in node 2"},
        {catalog, PDFValue::dict({{"Type", PDFValue::name("Pages")}}), "node 2 has no /Kids"},
        {catalog, num(1), "node 2 missing"},
        {catalog, pages({ref(40)}), "node 40 missing"},
    };
    TempDir dir;
    for (const auto& c : cases) {
        b = PdfBuilder();
        b.add(1, c.catalog);
        b.add(2, c.node);
        b.finishWithTable(rootTrailer(3));
        auto reader = open();
        EXPECT_EQ(errorOf([&] { reader->pageRefs(); }), "bad page tree: " + c.error);
        EXPECT_EQ(reader->nesting(), 0);
    }
}

// ---- the object-stream cache ----

ObjectStreamContents contentsOfSize(size_t n) {
    ObjectStreamContents c;
    c.data = Bytes(n, ' ');
    return c;
}

TEST(ObjectStreamCache, EvictsTheLeastRecentlyUsedStreamFirst) {
    ObjectStreamCache cache(100);
    cache.insert(1, contentsOfSize(40));
    cache.insert(2, contentsOfSize(40));
    EXPECT_NE(cache.touch(1), nullptr);  // 2 is now the oldest
    cache.insert(3, contentsOfSize(40));
    EXPECT_EQ(cache.order(), (std::vector<int64_t>{1, 3}));
    EXPECT_EQ(cache.bytes(), 80);
    EXPECT_EQ(cache.touch(2), nullptr);
}

TEST(ObjectStreamCache, KeepsAStreamLargerThanTheBudgetAlone) {
    ObjectStreamCache cache(100);
    cache.insert(1, contentsOfSize(10));
    cache.insert(2, contentsOfSize(500));
    EXPECT_EQ(cache.order(), (std::vector<int64_t>{2}));
    EXPECT_EQ(cache.bytes(), 500);
    cache.insert(3, contentsOfSize(10));
    EXPECT_EQ(cache.order(), (std::vector<int64_t>{3}));
    EXPECT_EQ(cache.bytes(), 10);
}

TEST_F(PDFFileReaderObjects, DecodedObjectStreamsAreCachedOnceInUseOrder) {
    b.addObjectStream(10, {{4, num(4)}, {5, num(5)}});
    b.addObjectStream(12, {{6, num(6)}});
    b.finishWithXRefStream(11, rootTrailer(13));
    auto reader = open();
    for (int n : {4, 6, 5}) reader->object(n);
    EXPECT_EQ(reader->objectStreams().order(), (std::vector<int64_t>{12, 10}));
}

}  // namespace
}  // namespace quillet
