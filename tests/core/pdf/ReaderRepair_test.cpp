// Damage the reader repairs (shifted offsets, wrong lengths, mis-numbered
// tables, looping chains) and the limits that stop hostile files.
#include <gtest/gtest.h>

#include <functional>

#include "core/pdf/PDFFileReader.h"
#include "support/ErrorText.h"
#include "support/ReaderFixtures.h"

namespace quillet {
namespace {

using namespace testing;
using ReaderRepair = SkeletonFileTest;
using ReaderLimits = SkeletonFileTest;

std::string entryLine(int64_t offset, int64_t gen, char type) {
    char line[32];
    std::snprintf(line, sizeof line, "%010lld %05lld %c\r\n", static_cast<long long>(offset),
                  static_cast<long long>(gen), type);
    return line;
}

// The skeleton followed by a table written by hand (`table` gets the
// skeleton's builder for its offsets), then startxref.
Bytes withHandMadeTable(const std::function<std::string(const PdfBuilder&)>& table) {
    PdfBuilder b;
    addSkeleton(b);
    const int64_t at = b.length();
    b.append(table(b));
    b.appendStartXref(at);
    return b.bytes();
}

// ---- startxref and section offsets ----

// The table is found near a wrong startxref, but offsets that are off for
// the section are off for its objects too: the table is rebuilt.
TEST_F(ReaderRepair, StartXrefOffByThirtyBytesEitherWayRebuildsTheTable) {
    Bytes good = simpleDocument(2);
    const auto table = static_cast<int64_t>(good.rfind("xref\n0 "));
    for (int shift : {-30, 30}) {
        auto reader = openBytes(dir, good.substr(0, good.rfind("startxref")) + "startxref\n" +
                                         std::to_string(table + shift) + "\n%%EOF\n");
        EXPECT_EQ(reader->startXref(), static_cast<int64_t>(good.rfind("trailer"))) << shift;
        EXPECT_TRUE(reader->wasRepaired());
        EXPECT_EQ(reader->pageRefs().size(), 2u);
        EXPECT_EQ(reader->warnings().size(), 2u) << "where the section was found, and the rebuild";
    }
}

TEST_F(ReaderRepair, PrevLoopsAndOutOfRangeOffsetsEndTheChainWithAWarning) {
    PdfBuilder self;
    addSkeleton(self);
    self.finishWithTable({{"Size", num(4)}, {"Root", ref(1)}, {"Prev", num(self.length())}});
    EXPECT_EQ(openBytes(dir, self.bytes())->pageRefs().size(), 1u);

    // Two sections pointing at each other, and bad XRefStm values.
    b.add(4, PDFValue::string("four"));
    const int64_t first = b.length(), second = first + 400;
    b.appendTable({{"Size", num(4)}, {"Root", ref(1)}, {"Prev", num(second)}, {"XRefStm", num(-5)}});
    b.append(Bytes(static_cast<size_t>(second - b.length()), ' '));
    b.appendTable(
        {{"Size", num(5)}, {"Root", ref(1)}, {"Prev", num(first)}, {"XRefStm", num(1'000'000'000)}});
    b.appendStartXref(second);
    auto reader = open();
    EXPECT_EQ(*reader->resolve(ref(4)).stringBytes(), "four");
    EXPECT_EQ(reader->pageRefs().size(), 1u);
    ASSERT_EQ(reader->warnings().size(), 3u) << "each bad /XRefStm, then the loop";
    EXPECT_EQ(reader->warnings()[2],
              "cross-reference chain loops back to " + std::to_string(second) + ", rest ignored");
}

// ---- table entries ----

TEST_F(ReaderRepair, FirstSubsectionWronglyStartingAtOneIsReadFromZero) {
    auto reader = openBytes(dir, withHandMadeTable([](const PdfBuilder& s) {
                                return "xref\n1 4\n" + entryLine(0, 65535, 'f') +
                                       entryLine(s.offsetOf(1), 0, 'n') + entryLine(s.offsetOf(2), 0, 'n') +
                                       entryLine(s.offsetOf(3), 0, 'n') +
                                       "trailer\n<< /Size 4 /Root 1 0 R >>\n";
                            }));
    EXPECT_EQ(reader->entries().entry(3), XRefEntry::inFile(b.offsetOf(3), 0));
    EXPECT_EQ(reader->entries().size(), 4);
    EXPECT_EQ(reader->pageRefs().size(), 1u);
}

TEST_F(ReaderRepair, WarningsStopAtTheirBoundAndCountTheRest) {
    auto reader = openBytes(dir, withHandMadeTable([](const PdfBuilder& s) {
                                std::string table = "xref\n0 154\n" + entryLine(0, 65535, 'f');
                                for (int n = 1; n <= 3; ++n) table += entryLine(s.offsetOf(n), 0, 'n');
                                for (int n = 4; n < 154; ++n) table += entryLine(0, 0, 'x');
                                return table + "trailer\n<< /Size 154 /Root 1 0 R >>\n";
                            }));
    EXPECT_EQ(reader->pageRefs().size(), 1u);
    ASSERT_EQ(reader->warnings().size(), kMaxReaderWarnings + 1);
    EXPECT_EQ(reader->warnings()[0].substr(0, 21), "entry for object 4 at");
    EXPECT_EQ(reader->warnings().back(), "50 more");
}

// No cross-reference data at all: the newest definition of a number wins,
// and one written directly wins over an object stream's.
TEST_F(ReaderRepair, RebuiltTableTakesTheNewestDirectDefinition) {
    b.add(4, PDFValue::string("old"));
    b.addObjectStream(6, {{5, PDFValue::string("in stream")}, {4, PDFValue::string("stream four")}});
    b.add(4, PDFValue::string("new"));
    b.append("trailer\n<< /Root 1 0 R >>\n");
    auto reader = open();
    EXPECT_TRUE(reader->wasRepaired());
    EXPECT_EQ(*reader->resolve(ref(4)).stringBytes(), "new");
    EXPECT_EQ(*reader->resolve(ref(5)).stringBytes(), "in stream");
    EXPECT_EQ(reader->pageRefs().size(), 1u);
}

// ---- object offsets ----

TEST_F(ReaderRepair, ObjectOffsetTenBytesOffIsFoundByTheHeaderSearchAndRebuildsTheTable) {
    for (int shift : {-10, 10}) {
        b = PdfBuilder();
        addSkeleton(b);
        b.append(Bytes(40, ' ') + "\n");
        const int64_t real = b.length();
        b.add(4, PDFValue::string("four"));
        b.append(Bytes(40, ' ') + "\n");
        b.recordInFile(4, real + shift);
        b.finishWithTable(rootTrailer(5));
        auto reader = open();
        EXPECT_EQ(*reader->resolve(ref(4)).stringBytes(), "four") << shift;
        // Blanks before a header are part of it; landing past its start
        // means the table is wrong, and it is rebuilt.
        EXPECT_EQ(reader->wasRepaired(), shift > 0);
        if (shift > 0) {
            EXPECT_EQ(reader->warnings().size(), 2u) << "where object 4 was found, and the rebuild";
        }
    }
}

// ---- stream lengths ----

// Object 4 written verbatim, with object 5 holding 4; or, when `atEnd`,
// after %%EOF so that it ends the file (its table entry patched to point there).
Bytes withObject4(const std::string& body, bool atEnd) {
    PdfBuilder b;
    addSkeleton(b);
    if (!atEnd) {
        b.addRaw(5, "4");
        b.addRaw(4, body);
        b.finishWithTable(rootTrailer(6));
        return b.bytes();
    }
    b.recordInFile(4, 9'999'999'999);
    b.finishWithTable(rootTrailer(6));
    Bytes bytes = b.bytes();
    const std::string offset = std::to_string(bytes.size());
    bytes.replace(bytes.find("9999999999"), 10, std::string(10 - offset.size(), '0') + offset);
    return bytes + "4 0 obj\n" + body;
}

TEST_F(ReaderRepair, StreamLengthsAreRepairedByScanningForEndstream) {
    const std::pair<std::string, std::string> cases[] = {
        {"<< /Length 2 >>\nstream\nabcdef\r\nendstream", "abcdef"},    // too short: CR LF not data
        {"<< >>\nstream\nabc\n\nendstream", "abc\n"},                  // missing: one EOL removed
        {"<< /Length 5 0 R >>\nstream\nabcdef\nendstream", "abcdef"},  // indirect and wrong
    };
    for (const auto& [body, data] : cases)
        EXPECT_EQ(openBytes(dir, withObject4(body, false))->object(4)->stream()->data, data) << body;
}

TEST_F(ReaderRepair, StreamsWithoutDataOrEndAreBadObjects) {
    auto reader = openBytes(dir, withObject4("<< /Length 10 >>\nstream\nabc", true));
    EXPECT_EQ(errorOf([&] { reader->object(4); }), "bad object: endstream not found");
    reader = openBytes(dir, withObject4("<< /Length 10 >>\nstream", true));
    EXPECT_EQ(errorOf([&] { reader->object(4); }), "bad object: stream without data");
    EXPECT_EQ(reader->nesting(), 0);
}

// ---- hostile limits ----

// Streams 10, 11, ... each measured by the next one's number: loading the
// first nests one load per stream.
Bytes lengthChain(int streams) {
    PdfBuilder b;
    addSkeleton(b);
    for (int k = 0; k < streams; ++k) {
        const std::string length = k + 1 < streams ? std::to_string(11 + k) + " 0 R" : "3";
        b.addRaw(10 + k, "<< /Length " + length + " >>\nstream\nabc\nendstream");
    }
    b.finishWithTable(rootTrailer(10 + streams));
    return b.bytes();
}

TEST_F(ReaderLimits, TwentyFourNestedLoadsAreAllowedAndOneMoreIsNot) {
    EXPECT_EQ(openBytes(dir, lengthChain(24))->object(10)->stream()->data, "abc");
    auto reader = openBytes(dir, lengthChain(25));
    EXPECT_EQ(errorOf([&] { reader->object(10); }), "bad object: references nested too deeply");
    EXPECT_EQ(reader->nesting(), 0);
    EXPECT_EQ(reader->object(30)->stream()->data, "abc");
}

TEST_F(ReaderLimits, PageTreeCyclesAreSkippedWithAWarning) {
    b = PdfBuilder();
    b.add(1, PDFValue::dict({{"Pages", ref(2)}}));
    b.add(2, PDFValue::dict({{"Type", PDFValue::name("Pages")}, {"Kids", PDFValue::array({ref(3)})}}));
    b.add(3,
          PDFValue::dict({{"Type", PDFValue::name("Pages")}, {"Kids", PDFValue::array({ref(4), ref(2)})}}));
    b.add(4, PDFValue::dict({{"Type", PDFValue::name("Page")}}));
    b.finishWithTable(rootTrailer(5));
    auto reader = open();
    EXPECT_EQ(reader->pageRefs(), (std::vector<PDFRef>{PDFRef{4, 0}}));
    EXPECT_EQ(reader->warnings(),
              std::vector<std::string>{"kid 1 of page-tree node 3 leads back to its ancestor 2, skipped"});
}

// Direct kids, in a node reached twice and inside a direct node: each is
// numbered once, past the table, and reads as the dictionary it is, with
// its parent named for what it inherits.
TEST_F(ReaderRepair, DirectKidsAreNumberedPastTheTableOnceEach) {
    b = PdfBuilder();
    auto page = [](int64_t width) {
        return PDFValue::dict({{"Type", PDFValue::name("Page")},
                               {"MediaBox", PDFValue::array({num(0), num(0), num(width), num(9)})}});
    };
    auto node = [](PDFArray kids) {
        return PDFValue::dict(
            {{"Type", PDFValue::name("Pages")}, {"Kids", PDFValue::array(std::move(kids))}});
    };
    b.add(1, PDFValue::dict({{"Pages", ref(2)}}));
    b.add(2, node({ref(3), page(1), ref(4), node({page(2)}), ref(4)}));
    b.add(3, page(3));
    b.add(4, node({page(4)}));
    b.finishWithTable(rootTrailer(5));
    auto reader = open();
    const std::vector<PDFRef> expected{{3, 0}, {5, 0}, {6, 0}, {8, 0}, {6, 0}};
    EXPECT_EQ(reader->pageRefs(), expected);
    EXPECT_EQ(reader->pageRefs(), expected);
    EXPECT_EQ(reader->nextFreeNumber(), 9);
    EXPECT_EQ(reader->object(8)->dictionary()->get("MediaBox"), page(2).dictValue()->get("MediaBox"));
    EXPECT_EQ(reader->object(8)->dictionary()->get("Parent"), ref(7));
    EXPECT_EQ(reader->object(7)->dictionary()->get("Parent"), ref(2));
    EXPECT_FALSE(reader->object(9));
    EXPECT_EQ(reader->warnings().front(),
              "kid 1 of page-tree node 2 is a direct dictionary, read as object 5");
}

// Viewers show as many pages as the root's /Count says when there are that
// many; a /Count above the pages found has nothing behind it.
TEST_F(ReaderRepair, RootCountBelowThePagesCutsTheList) {
    for (const auto& [count, pages] : {std::pair{1, 1}, {2, 2}, {3, 2}, {0, 2}}) {
        b = PdfBuilder();
        b.add(1, PDFValue::dict({{"Pages", ref(2)}}));
        b.add(2, PDFValue::dict({{"Type", PDFValue::name("Pages")},
                                 {"Kids", PDFValue::array({ref(3), ref(3)})},
                                 {"Count", num(count)}}));
        b.add(3, PDFValue::dict({{"Type", PDFValue::name("Page")}}));
        b.finishWithTable(rootTrailer(4));
        EXPECT_EQ(open()->pageRefs().size(), static_cast<size_t>(pages)) << "/Count " << count;
    }
}

// Each node lists the next one twice: the pages double with every level,
// and only a bounded number of repeated visits is made.
TEST_F(ReaderLimits, PageTreesFanningOutOntoSharedNodesStayBounded) {
    b = PdfBuilder();
    b.add(1, PDFValue::dict({{"Pages", ref(2)}}));
    for (int n = 2; n < 40; ++n)
        b.add(n, PDFValue::dict({{"Type", PDFValue::name("Pages")},
                                 {"Kids", PDFValue::array({ref(n + 1), ref(n + 1)})}}));
    b.add(40, PDFValue::dict({{"Type", PDFValue::name("Page")}}));
    b.finishWithTable(rootTrailer(41));
    auto reader = open();
    const size_t pages = reader->pageRefs().size();
    EXPECT_GT(pages, 1000u);
    EXPECT_LE(pages, PDFFileReader::kMaxRepeatedPageTreeVisits);
}

}  // namespace
}  // namespace quillet
