// Opening files of every cross-reference layout, merging trailers, loading
// objects and walking page trees.
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
                                           std::vector<std::string>{"--linearize"}));

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

TEST_F(PDFFileReaderXRefStreams, SizeCeilingIsTenMillionObjects) {
    PdfBuilder over = b;
    b.finishWithTable(rootTrailer(9'999'999));
    auto reader = open();
    EXPECT_EQ(reader->size(), 9'999'999);
    EXPECT_LT(reader->entries().memoryBytes(), 1024u);  // a large Size alone allocates nothing
    over.finishWithTable(rootTrailer(10'000'000));
    // A /Size past the ceiling is a damaged table: the objects are found by scanning.
    reader = openBytes(dir, over.bytes());
    EXPECT_TRUE(reader->wasRepaired());
    EXPECT_EQ(reader->size(), 4);
    EXPECT_NE(reader->warnings().front().find("too many objects"), std::string::npos);
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

}  // namespace
}  // namespace quillet
