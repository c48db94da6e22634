// Files made to crash the reader or keep it busy, and files that change
// while they are read: each ends in the right objects or a clear error.
#include <gtest/gtest.h>
#include <unistd.h>

#include "core/pdf/Flate.h"
#include "core/pdf/PDFWriter.h"
#include "support/ReaderFixtures.h"

namespace quillet {
namespace {

using namespace testing;

PDFValue name(const char* text) {
    return PDFValue::name(text);
}

std::string bigEndianRow(int type, int64_t field, int64_t third) {
    std::string row(1, static_cast<char>(type));
    for (int shift = 24; shift >= 0; shift -= 8) row += static_cast<char>((field >> shift) & 0xff);
    row += static_cast<char>(third >> 8);
    row += static_cast<char>(third & 0xff);
    return row;
}

class HostileInput : public SkeletonFileTest {};

TEST_F(HostileInput, MetadataStreamsOfAPlainFileReadAsStreams) {
    // Where a page, a page-tree kid or the catalog should be.
    b.addStream(5, {{"Type", name("Metadata")}, {"Subtype", name("XML")}}, "<x:xmpmeta/>");
    b.add(6, PDFValue::dict(
                 {{"Type", name("Page")}, {"Parent", ref(2)}, {"Annots", PDFValue::array({ref(5)})}}));
    b.finishWithTable({{"Size", num(7)}, {"Root", ref(5)}});
    auto reader = open();
    std::optional<PDFObject> metadata = reader->object(5);
    ASSERT_TRUE(metadata && metadata->stream());
    EXPECT_EQ(metadata->stream()->data, "<x:xmpmeta/>");
    // A /Root that is no catalog: the catalog is found by its type.
    EXPECT_TRUE(reader->wasRepaired());
    EXPECT_EQ(reader->trailer().get("Root"), ref(1));
    EXPECT_EQ(reader->pageRefs().size(), 1u);
}

TEST_F(HostileInput, FreeEntriesOfNewerSectionsHideOlderDefinitions) {
    const int64_t firstTable = b.finishWithTable(rootTrailer(4));
    // A classic update frees the page...
    const int64_t tableAt = b.length();
    b.append("xref\n3 1\n0000000000 00001 f \ntrailer\n<< /Size 4 /Root 1 0 R /Prev " +
             std::to_string(firstTable) + " >>\n");
    b.appendStartXref(tableAt);
    EXPECT_FALSE(open()->object(3)) << "page freed by a table";
    EXPECT_TRUE(open()->object(2));

    // ...and a stream update frees everything else.
    const int64_t streamAt = b.length();
    const std::string rows = bigEndianRow(0, 0, 0) + bigEndianRow(0, 0, 0) + bigEndianRow(1, streamAt, 0);
    b.addStream(4,
                {{"Type", name("XRef")},
                 {"Size", num(5)},
                 {"Root", ref(1)},
                 {"Prev", num(tableAt)},
                 {"W", PDFValue::array({num(1), num(4), num(2)})},
                 {"Index", PDFValue::array({num(2), num(2), num(4), num(1)})}},
                rows);
    b.appendStartXref(streamAt);
    auto reader = open();
    EXPECT_TRUE(reader->object(1));
    EXPECT_FALSE(reader->object(2));
    EXPECT_FALSE(reader->wasRepaired());
    EXPECT_EQ(errorOf([&] { reader->pageRefs(); }), "bad page tree: node 2 missing");
}

TEST_F(HostileInput, TwelveThousandUpdatesStillReachTheOldestSection) {
    int64_t prev = b.finishWithTable(rootTrailer(4));
    for (int i = 0; i < 12'000; ++i) {
        const int64_t at = b.length();
        b.append("xref\n0 0\ntrailer\n<< /Size 4 /Prev " + std::to_string(prev) + " >>\n");
        prev = at;
    }
    b.appendStartXref(prev);
    EXPECT_EQ(open()->pageRefs(), (std::vector<PDFRef>{{3, 0}}));
}

TEST_F(HostileInput, OneStreamReachedThroughManyXRefStmOffsetsIsDecodedOnce) {
    int64_t prev = b.finishWithTable(rootTrailer(4));
    const int64_t spaces = b.length();
    b.append(std::string(400, ' '));
    constexpr int64_t kDecoded = 16 << 20;
    b.addStream(4,
                {{"Type", name("XRef")},
                 {"Size", num(5)},
                 {"W", PDFValue::array({num(1), num(4), num(2)})},
                 {"Index", PDFValue::array({})},
                 {"Filter", name("FlateDecode")}},
                Flate::deflate(std::string(kDecoded, '\0'), 9));
    for (int i = 0; i < 300; ++i) {
        const int64_t at = b.length();
        b.append("xref\n0 0\ntrailer\n<< /Size 5 /Prev " + std::to_string(prev) + " /XRefStm " +
                 std::to_string(spaces + i) + " >>\n");
        prev = at;
    }
    b.appendStartXref(prev);
    auto reader = open();
    EXPECT_EQ(reader->pageRefs().size(), 1u);
    EXPECT_EQ(reader->bytesInflated(), kDecoded);
}

// Pages taken in turn from four streams of 70 MiB each (more than the cache
// holds even raised): every stream is inflated once, since it keeps only its
// objects' own bytes; before, each page pushed out the stream the next needed
// and the walk ran into the inflation budget after minutes.
TEST(HostileObjectStreams, PagesTakenInTurnFromHugeStreamsInflateEachOnce) {
    constexpr int kStreams = 4, kPages = 16;
    constexpr size_t kFiller = 70u << 20;
    PdfBuilder b;
    PDFArray kids;
    for (int i = 0; i < kPages; ++i) kids.push_back(ref(10 + i));
    b.add(1, PDFValue::dict({{"Type", name("Catalog")}, {"Pages", ref(2)}}));
    b.add(2,
          PDFValue::dict({{"Type", name("Pages")}, {"Kids", PDFValue::array(kids)}, {"Count", num(kPages)}}));
    int64_t decoded = 0;
    // Stream 5 + k holds the pages k, k + 4, ..., far apart inside it.
    for (int k = 0; k < kStreams; ++k) {
        std::string header, body;
        for (int i = k, index = 0; i < kPages; i += kStreams, ++index) {
            header += std::to_string(10 + i) + " " + std::to_string(body.size()) + " ";
            body += "<< /Type /Page /Parent 2 0 R >>" + std::string(kFiller / (kPages / kStreams), ' ');
            b.recordCompressed(10 + i, 5 + k, index);
        }
        decoded += static_cast<int64_t>(header.size() + body.size());
        b.addStream(5 + k,
                    {{"Type", name("ObjStm")},
                     {"N", num(kPages / kStreams)},
                     {"First", num(static_cast<int64_t>(header.size()))},
                     {"Filter", name("FlateDecode")}},
                    Flate::deflate(header + body, 1));
    }
    b.finishWithXRefStream(30, {{"Size", num(31)}, {"Root", ref(1)}});
    TempDir dir;
    auto reader = openBytes(dir, b.bytes());
    ASSERT_EQ(reader->pageRefs().size(), static_cast<size_t>(kPages));
    EXPECT_LT(reader->bytesInflated(), decoded + (1 << 20));
    EXPECT_EQ(reader->object(10 + kPages - 1)->dictionary()->find("Parent")->refValue(), (PDFRef{2, 0}));
}

TEST(FileChangedWhileRead, TruncationIsAnErrorNeverABusSignal) {
    TempDir dir;
    auto reader = openBytes(dir, simpleDocument(3000));
    ASSERT_GT(reader->file().size(), 4u * 4096);
    ASSERT_EQ(::truncate(dir.file("doc.pdf").c_str(), 4096), 0);
    EXPECT_EQ(errorOf([&] { reader->pageRefs(); }),
              dir.file("doc.pdf").string() + " changed while it was read");
}

TEST(FileChangedWhileRead, AFolderIsNotAFileToMap) {
    TempDir dir;
    EXPECT_EQ(errorOf([&] { PDFFileReader::open(dir.path()); }),
              "cannot open " + dir.path().string() + ": Is a directory");
}

}  // namespace
}  // namespace quillet
