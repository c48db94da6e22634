// Opening files of every cross-reference layout, merging trailers, loading
// objects (direct, in object streams, streams measured by /Length) and
// walking page trees.
#include "core/pdf/PDFFileReader.h"

#include <gtest/gtest.h>

#include <functional>

#include "core/pdf/Flate.h"
#include "support/PdfFixtures.h"
#include "support/TempDir.h"

namespace quillet {
namespace {

using testing::PdfBuilder;
using testing::TempDir;

std::string errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "no error";
}

std::shared_ptr<PDFFileReader> openBytes(const TempDir& dir, const Bytes& bytes, std::string_view name = "doc.pdf") {
    testing::writeFile(dir.file(name), bytes);
    return PDFFileReader::open(dir.file(name));
}

PDFValue ref(int64_t num) { return PDFValue::ref(num, 0); }
PDFValue num(int64_t n) { return PDFValue::integer(n); }
PDFDictionary rootTrailer(int64_t size) { return {{"Size", num(size)}, {"Root", ref(1)}}; }

std::string pageContent(PDFFileReader& reader, const PDFRef& page) {
    std::optional<PDFObject> pageObject = reader.object(page.num);
    EXPECT_TRUE(pageObject && pageObject->dictionary());
    std::optional<PDFObject> contents = reader.object(pageObject->dictionary()->find("Contents")->refValue()->num);
    EXPECT_TRUE(contents && contents->isStream());
    return reader.decodeStream(contents->stream()->dict, contents->stream()->data);
}

void expectSimpleDocument(PDFFileReader& reader, int pages) {
    std::vector<PDFRef> refs = reader.pageRefs();
    ASSERT_EQ(refs.size(), static_cast<size_t>(pages));
    for (int i = 0; i < pages; ++i) EXPECT_EQ(pageContent(reader, refs[static_cast<size_t>(i)]), testing::simpleDocumentContent(i));
    PDFValue info = reader.resolve(*reader.trailer().find("Info"));
    ASSERT_TRUE(info.dictValue());
    EXPECT_EQ(*reader.resolve(*info.dictValue()->find("Title")).stringBytes(), "Fixture");
    EXPECT_EQ(reader.nesting(), 0);
}

// A single-page document skeleton: catalog 1, pages 2, page 3.
void addSkeleton(PdfBuilder& b) {
    b.add(1, PDFValue::dict({{"Type", PDFValue::name("Catalog")}, {"Pages", ref(2)}}));
    b.add(2, PDFValue::dict({{"Type", PDFValue::name("Pages")}, {"Kids", PDFValue::array({ref(3)})}, {"Count", num(1)}}));
    b.add(3, PDFValue::dict({{"Type", PDFValue::name("Page")}, {"Parent", ref(2)}}));
}

// ---- the object table ---------------------------------------------------------

TEST(XRefTable, PacksTheWidestOffsetsGenerationsAndIndices) {
    XRefTable table;
    const int64_t maxLocation = XRefTable::kLocationLimit - 1;
    EXPECT_TRUE(table.store(5, XRefEntry::inFile(maxLocation, 65535)));
    EXPECT_TRUE(table.store(9'999'999, XRefEntry::inObjectStream(maxLocation, XRefTable::kIndexLimit - 1)));
    EXPECT_EQ(table.entry(5), XRefEntry::inFile(maxLocation, 65535));
    EXPECT_EQ(table.entry(9'999'999), XRefEntry::inObjectStream(maxLocation, XRefTable::kIndexLimit - 1));
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

// ---- layouts ------------------------------------------------------------------

TEST(PDFFileReaderLayouts, OpensAClassicTable) {
    TempDir dir;
    Bytes bytes = testing::simpleDocument(3);
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
    if (!testing::qpdfAvailable()) GTEST_SKIP() << "qpdf not installed";
    TempDir dir;
    testing::writeFile(dir.file("in.pdf"), testing::simpleDocument(5));
    std::vector<std::string> args = GetParam();
    args.push_back(dir.file("in.pdf").string());
    args.push_back(dir.file("out.pdf").string());
    ASSERT_EQ(testing::runQpdf(args).status, 0);
    auto reader = PDFFileReader::open(dir.file("out.pdf"));
    expectSimpleDocument(*reader, 5);
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, QpdfLayouts,
    ::testing::Values(std::vector<std::string>{"--object-streams=generate"}, std::vector<std::string>{"--linearize"},
                      std::vector<std::string>{"--linearize", "--object-streams=generate"},
                      std::vector<std::string>{"--object-streams=disable", "--qdf"}));

TEST(PDFFileReaderLayouts, ObjectStreamsAreIndexedAsCompressedEntries) {
    if (!testing::qpdfAvailable()) GTEST_SKIP() << "qpdf not installed";
    TempDir dir;
    testing::writeFile(dir.file("in.pdf"), testing::simpleDocument(2));
    ASSERT_EQ(testing::runQpdf({"--object-streams=generate", dir.file("in.pdf").string(), dir.file("out.pdf").string()}).status, 0);
    auto reader = PDFFileReader::open(dir.file("out.pdf"));
    EXPECT_TRUE(reader->newestSectionIsStream());
    int compressed = 0;
    for (int64_t n = 0; n < reader->entries().size(); ++n)
        compressed += reader->entries().entry(n).kind == XRefEntry::Kind::inObjectStream;
    EXPECT_GT(compressed, 0);
    EXPECT_FALSE(reader->trailer().contains("W"));
    EXPECT_FALSE(reader->trailer().contains("Type"));
    reader->pageRefs();
    EXPECT_GT(reader->objectStreams().bytes(), 0);
}

TEST(PDFFileReaderLayouts, HybridFileFindsStreamOnlyObjectsAndPrefersTheTable) {
    TempDir dir;
    PdfBuilder b;
    addSkeleton(b);
    b.add(4, PDFValue::string("from the table"));
    // The stream section lists objects 4 and 5 in an object stream; the table
    // also has 4 and must win.
    PdfBuilder streamPart = PdfBuilder::appendingTo(b.bytes());
    streamPart.addObjectStream(10, {{4, PDFValue::string("from the stream")}, {5, PDFValue::string("only in the stream")}});
    const int64_t xrefStm = streamPart.finishWithXRefStream(11, {{"Size", num(12)}}, false);
    // Continue the main builder over the same bytes: the table lists 1-4.
    PdfBuilder main = PdfBuilder::appendingTo(streamPart.bytes());
    main.recordInFile(1, b.offsetOf(1));
    main.recordInFile(2, b.offsetOf(2));
    main.recordInFile(3, b.offsetOf(3));
    main.recordInFile(4, b.offsetOf(4));
    main.finishWithTable({{"Size", num(12)}, {"Root", ref(1)}, {"XRefStm", num(xrefStm)}});

    auto reader = openBytes(dir, main.bytes());
    EXPECT_FALSE(reader->newestSectionIsStream());
    EXPECT_EQ(*reader->resolve(ref(4)).stringBytes(), "from the table");
    EXPECT_EQ(*reader->resolve(ref(5)).stringBytes(), "only in the stream");
    EXPECT_FALSE(reader->trailer().contains("XRefStm"));
    EXPECT_EQ(reader->pageRefs().size(), 1u);
}

TEST(PDFFileReaderLayouts, IncrementalUpdateRedefinesAnObjectAndMergesTrailers) {
    TempDir dir;
    Bytes original = testing::simpleDocument(2);
    const int64_t firstTable = static_cast<int64_t>(original.rfind("xref\n0 "));
    PdfBuilder update = PdfBuilder::appendingTo(original);
    update.add(3, PDFValue::dict({{"Title", PDFValue::string("Updated")}}));
    update.add(1, PDFValue::dict({{"Type", PDFValue::name("Catalog")}, {"Pages", ref(2)}, {"Lang", PDFValue::string("en")}}));
    // The update's trailer has no Info: the older section's must survive.
    update.finishWithTable({{"Size", num(8)}, {"Root", ref(1)}, {"Prev", num(firstTable)}});

    auto reader = openBytes(dir, update.bytes());
    EXPECT_EQ(*reader->resolve(*reader->resolve(ref(3)).dictValue()->find("Title")).stringBytes(), "Updated");
    EXPECT_TRUE(reader->resolve(ref(1)).dictValue()->contains("Lang"));
    EXPECT_TRUE(reader->trailer().contains("Info"));
    EXPECT_FALSE(reader->trailer().contains("Prev"));
    EXPECT_EQ(reader->trailer().keys(), (std::vector<std::string>{"Size", "Root", "Info", "ID"}));
    EXPECT_EQ(reader->pageRefs().size(), 2u);
    EXPECT_GT(reader->startXref(), firstTable);
}

TEST(PDFFileReaderLayouts, NewestRootReplacesAnOlderOne) {
    TempDir dir;
    PdfBuilder b;
    addSkeleton(b);
    b.add(7, PDFValue::dict({{"Type", PDFValue::name("Catalog")}, {"Pages", ref(2)}}));
    const int64_t first = b.appendTable({{"Size", num(8)}, {"Root", ref(1)}, {"Info", ref(3)}});
    b.add(6, PDFValue::null());
    b.finishWithTable({{"Size", num(8)}, {"Root", ref(7)}, {"Prev", num(first)}});
    auto reader = openBytes(dir, b.bytes());
    EXPECT_EQ(reader->trailer().find("Root")->refValue(), (PDFRef{7, 0}));
    EXPECT_EQ(reader->trailer().find("Info")->refValue(), (PDFRef{3, 0}));
    // Size and Root were set in place, the older Info appended after them.
    EXPECT_EQ(reader->trailer().keys(), (std::vector<std::string>{"Size", "Root", "Info"}));
}

TEST(PDFFileReaderXRefStreams, WithoutIndexRowsCoverZeroToSize) {
    TempDir dir;
    PdfBuilder b;
    addSkeleton(b);
    Bytes rows;
    auto row = [&](int type, int64_t second, int third) {
        rows += static_cast<char>(type);
        rows += static_cast<char>((second >> 8) & 0xFF);
        rows += static_cast<char>(second & 0xFF);
        rows += static_cast<char>(third);
    };
    row(0, 0, 255);
    for (int n = 1; n <= 3; ++n) row(1, b.offsetOf(n), 0);
    const int64_t at = b.length();
    row(1, at, 0);  // the stream itself, object 4
    b.addStream(4, {{"Type", PDFValue::name("XRef")}, {"Size", num(5)}, {"Root", ref(1)},
                    {"W", PDFValue::array({num(1), num(2), num(1)})}}, rows);
    b.appendStartXref(at);
    auto reader = openBytes(dir, b.bytes());
    EXPECT_TRUE(reader->newestSectionIsStream());
    EXPECT_EQ(reader->entries().entry(2), XRefEntry::inFile(b.offsetOf(2), 0));
    EXPECT_EQ(reader->entries().entry(0).kind, XRefEntry::Kind::none);
    EXPECT_EQ(reader->pageRefs().size(), 1u);
}

TEST(PDFFileReaderXRefStreams, ZeroWidthTypeFieldMeansInFileWithGenerationZero) {
    TempDir dir;
    PdfBuilder b;
    addSkeleton(b);
    Bytes rows;
    for (int n = 1; n <= 3; ++n) {
        rows += static_cast<char>((b.offsetOf(n) >> 8) & 0xFF);
        rows += static_cast<char>(b.offsetOf(n) & 0xFF);
    }
    const int64_t at = b.length();
    b.addStream(4, {{"Type", PDFValue::name("XRef")}, {"Size", num(5)}, {"Root", ref(1)},
                    {"Index", PDFValue::array({num(1), num(3)})}, {"W", PDFValue::array({num(0), num(2), num(0)})}},
                rows);
    b.appendStartXref(at);
    auto reader = openBytes(dir, b.bytes());
    EXPECT_EQ(reader->entries().entry(3), XRefEntry::inFile(b.offsetOf(3), 0));
    EXPECT_EQ(reader->pageRefs(), (std::vector<PDFRef>{{3, 0}}));
}

TEST(PDFFileReaderXRefStreams, RefusesFieldsWiderThanEightBytes) {
    TempDir dir;
    PdfBuilder b;
    addSkeleton(b);
    const int64_t at = b.length();
    b.addStream(4, {{"Type", PDFValue::name("XRef")}, {"Size", num(5)}, {"Root", ref(1)},
                    {"W", PDFValue::array({num(1), num(9), num(1)})}}, Bytes(22, '\0'));
    b.appendStartXref(at);
    EXPECT_EQ(errorOf([&] { openBytes(dir, b.bytes()); }), "bad xref: bad /W");
}

TEST(PDFFileReaderXRefStreams, RefusesATrailerThatIsNotADictionary) {
    TempDir dir;
    PdfBuilder b;
    addSkeleton(b);
    const int64_t at = b.length();
    b.append("xref\n0 1\n0000000000 65535 f \ntrailer\n[1 2 3]\nstartxref\n" + std::to_string(at) + "\n%%EOF\n");
    EXPECT_EQ(errorOf([&] { openBytes(dir, b.bytes()); }), "bad xref: trailer is not a dictionary");
}

TEST(PDFFileReaderXRefStreams, SizeCeilingIsTenMillionObjects) {
    TempDir dir;
    for (int64_t size : {9'999'999, 10'000'000}) {
        PdfBuilder b;
        addSkeleton(b);
        b.finishWithTable(rootTrailer(size));
        if (size == 10'000'000) {
            EXPECT_EQ(errorOf([&] { openBytes(dir, b.bytes()); }), "bad xref: too many objects (10000000)");
        } else {
            auto reader = openBytes(dir, b.bytes());
            EXPECT_EQ(reader->size(), size);
            // A large Size alone allocates nothing.
            EXPECT_LT(reader->entries().memoryBytes(), 1024u);
        }
    }
}

// ---- object loading -------------------------------------------------------------

TEST(PDFFileReaderObjects, StreamLengthMayBeAnIndirectObject) {
    TempDir dir;
    PdfBuilder b;
    addSkeleton(b);
    b.addRaw(4, "<< /Length 5 0 R >>\nstream\r\nabc\r\nxyz\nendstream");
    b.add(5, num(8));
    b.finishWithTable(rootTrailer(6));
    auto reader = openBytes(dir, b.bytes());
    EXPECT_EQ(reader->object(4)->stream()->data, "abc\r\nxyz");
    EXPECT_EQ(reader->nesting(), 0);
}

TEST(PDFFileReaderObjects, ObjectStreamWithFewerPairsThanNServesThoseItHas) {
    TempDir dir;
    PdfBuilder b;
    addSkeleton(b);
    Bytes data = "4 0 5 7 junk (four) (five) (six)";
    const int64_t first = 13;  // "4 0 5 7 junk " is the header
    b.addStream(10, {{"Type", PDFValue::name("ObjStm")}, {"N", num(3)}, {"First", num(first)}}, data);
    b.recordCompressed(4, 10, 0);
    b.recordCompressed(5, 10, 1);
    b.recordCompressed(6, 10, 2);
    b.finishWithXRefStream(11, rootTrailer(12));
    auto reader = openBytes(dir, b.bytes());
    EXPECT_EQ(*reader->resolve(ref(4)).stringBytes(), "four");
    EXPECT_EQ(*reader->resolve(ref(5)).stringBytes(), "five");
    EXPECT_TRUE(reader->resolve(ref(6)).isNull());
    EXPECT_FALSE(reader->object(6).has_value());
}

TEST(PDFFileReaderObjects, ObjectStreamEntriesAreFoundByNumberWhenTheIndexIsWrong) {
    TempDir dir;
    PdfBuilder b;
    addSkeleton(b);
    b.addObjectStream(10, {{4, PDFValue::string("four")}, {5, PDFValue::string("five")}});
    b.recordCompressed(5, 10, 7);
    b.finishWithXRefStream(11, rootTrailer(12));
    auto reader = openBytes(dir, b.bytes());
    EXPECT_EQ(*reader->resolve(ref(5)).stringBytes(), "five");
}

TEST(PDFFileReaderObjects, ObjectStreamProblemsAreBadObjects) {
    TempDir dir;
    PdfBuilder b;
    addSkeleton(b);
    b.addStream(10, {{"Type", PDFValue::name("ObjStm")}, {"N", num(1'000'001)}, {"First", num(0)}}, "x");
    b.addObjectStream(12, {{13, PDFValue::integer(1)}});
    b.recordCompressed(4, 10, 0);
    b.recordCompressed(5, 12, 0);   // 12 is itself compressed below: nested streams are refused
    b.recordCompressed(6, 99, 0);   // no such stream
    b.recordCompressed(12, 10, 1);
    b.finishWithXRefStream(11, rootTrailer(14));
    auto reader = openBytes(dir, b.bytes());
    EXPECT_EQ(errorOf([&] { reader->object(4); }), "bad object: object stream 10 header");
    EXPECT_EQ(errorOf([&] { reader->object(5); }), "bad object: object stream 12 missing");
    EXPECT_EQ(errorOf([&] { reader->object(6); }), "bad object: object stream 99 missing");
    EXPECT_EQ(reader->nesting(), 0);
}

TEST(PDFFileReaderObjects, ResolveFollowsThirtyOneReferencesAndNoMore) {
    TempDir dir;
    for (int chain : {31, 32}) {
        PdfBuilder b;
        addSkeleton(b);
        // Objects 10 .. 10+chain-1 each refer to the next; the last holds 7.
        for (int k = 0; k < chain; ++k) b.add(10 + k, ref(11 + k));
        b.add(10 + chain, num(7));
        b.finishWithTable(rootTrailer(11 + chain));
        auto reader = openBytes(dir, b.bytes());
        if (chain == 31)
            EXPECT_EQ(reader->resolve(ref(11)), num(7));
        else
            EXPECT_EQ(errorOf([&] { reader->resolve(ref(10)); }), "bad object: reference loop");
    }
}

TEST(PDFFileReaderObjects, ResolveReadsMissingObjectsAsNullAndStreamsAsTheirDictionary) {
    TempDir dir;
    PdfBuilder b;
    addSkeleton(b);
    b.addStream(4, {{"Kind", PDFValue::name("Test")}}, "data");
    b.finishWithTable(rootTrailer(5));
    auto reader = openBytes(dir, b.bytes());
    EXPECT_TRUE(reader->resolve(ref(99)).isNull());
    EXPECT_TRUE(reader->resolve(ref(0)).isNull());
    EXPECT_TRUE(reader->resolve(ref(-3)).isNull());
    EXPECT_EQ(reader->resolve(ref(4)).dictValue()->find("Kind")->isName("Test"), true);
    EXPECT_EQ(reader->resolve(num(3)), num(3));
}

// ---- page trees -------------------------------------------------------------------

TEST(PDFFileReaderPages, WalksNestedTreesInDocumentOrderClassifyingNodesByTypeThenKids) {
    TempDir dir;
    PdfBuilder b;
    b.add(1, PDFValue::dict({{"Pages", ref(2)}}));
    b.add(2, PDFValue::dict({{"Type", PDFValue::name("Pages")}, {"Kids", PDFValue::array({ref(3), ref(6), ref(7)})}}));
    // 3 has no Type but Kids: an inner node; its Kids is an indirect array.
    b.add(3, PDFValue::dict({{"Kids", ref(8)}}));
    b.add(8, PDFValue::array({ref(4), ref(5)}));
    b.add(4, PDFValue::dict({{"Type", PDFValue::name("Page")}}));
    b.add(5, PDFValue::dict({}));
    // A /Page with Kids is still a leaf.
    b.add(6, PDFValue::dict({{"Type", PDFValue::name("Page")}, {"Kids", PDFValue::array({ref(99)})}}));
    b.add(7, PDFValue::dict({{"Type", PDFValue::name("Pages")}, {"Kids", PDFValue::array({})}}));
    b.finishWithTable(rootTrailer(9));
    auto reader = openBytes(dir, b.bytes());
    EXPECT_EQ(reader->pageRefs(), (std::vector<PDFRef>{{4, 0}, {5, 0}, {6, 0}}));
}

TEST(PDFFileReaderPages, StructuralFaultsNameTheNode) {
    struct Case {
        PDFValue catalog;
        PDFValue node;
        std::string error;
    };
    std::vector<Case> cases = {
        {num(5), PDFValue::dict({}), "bad page tree: catalog is not a dictionary"},
        {PDFValue::dict({{"Pages", PDFValue::dict({})}}), PDFValue::dict({}), "bad page tree: /Pages is not a reference"},
        {PDFValue::dict({{"Pages", ref(2)}}), PDFValue::dict({{"Type", PDFValue::name("Pages")}, {"Kids", PDFValue::array({ref(2)})}}),
         "bad page tree: object 2 visited twice"},
        {PDFValue::dict({{"Pages", ref(2)}}),
         PDFValue::dict({{"Type", PDFValue::name("Pages")}, {"Kids", PDFValue::array({PDFValue::dict({})})}}),
         "bad page tree: direct kid in node 2"},
        {PDFValue::dict({{"Pages", ref(2)}}), PDFValue::dict({{"Type", PDFValue::name("Pages")}}),
         "bad page tree: node 2 has no /Kids"},
        {PDFValue::dict({{"Pages", ref(2)}}), num(1), "bad page tree: node 2 missing"},
        {PDFValue::dict({{"Pages", ref(2)}}),
         PDFValue::dict({{"Type", PDFValue::name("Pages")}, {"Kids", PDFValue::array({ref(40)})}}),
         "bad page tree: node 40 missing"},
    };
    TempDir dir;
    for (const Case& c : cases) {
        PdfBuilder b;
        b.add(1, c.catalog);
        b.add(2, c.node);
        b.finishWithTable(rootTrailer(3));
        auto reader = openBytes(dir, b.bytes());
        EXPECT_EQ(errorOf([&] { reader->pageRefs(); }), c.error);
        EXPECT_EQ(reader->nesting(), 0);
    }
}

TEST(PDFFileReaderPages, AnEmptyTreeHasNoPages) {
    TempDir dir;
    PdfBuilder b;
    b.add(1, PDFValue::dict({{"Pages", ref(2)}}));
    b.add(2, PDFValue::dict({{"Type", PDFValue::name("Pages")}, {"Kids", PDFValue::array({})}}));
    b.finishWithTable(rootTrailer(3));
    EXPECT_TRUE(openBytes(dir, b.bytes())->pageRefs().empty());
}

// ---- the object-stream cache ---------------------------------------------------------

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

TEST(ObjectStreamCache, ReaderKeepsEachDecodedStreamOnce) {
    TempDir dir;
    PdfBuilder b;
    addSkeleton(b);
    b.addObjectStream(10, {{4, num(4)}, {5, num(5)}});
    b.addObjectStream(12, {{6, num(6)}});
    b.finishWithXRefStream(11, rootTrailer(13));
    auto reader = openBytes(dir, b.bytes());
    reader->object(4);
    reader->object(6);
    reader->object(5);
    EXPECT_EQ(reader->objectStreams().order(), (std::vector<int64_t>{12, 10}));
}

}  // namespace
}  // namespace quillet
