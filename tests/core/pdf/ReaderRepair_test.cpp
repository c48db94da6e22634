// Damage the reader repairs (shifted offsets, wrong lengths, mis-numbered
// tables, looping chains) and the limits that stop hostile files.
#include <gtest/gtest.h>

#include <functional>

#include "core/pdf/PDFFileReader.h"
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

std::shared_ptr<PDFFileReader> openBytes(const TempDir& dir, const Bytes& bytes) {
    testing::writeFile(dir.file("doc.pdf"), bytes);
    return PDFFileReader::open(dir.file("doc.pdf"));
}

PDFValue ref(int64_t num) { return PDFValue::ref(num, 0); }
PDFValue num(int64_t n) { return PDFValue::integer(n); }
PDFDictionary rootTrailer(int64_t size) { return {{"Size", num(size)}, {"Root", ref(1)}}; }

void addSkeleton(PdfBuilder& b) {
    b.add(1, PDFValue::dict({{"Type", PDFValue::name("Catalog")}, {"Pages", ref(2)}}));
    b.add(2, PDFValue::dict({{"Type", PDFValue::name("Pages")}, {"Kids", PDFValue::array({ref(3)})}, {"Count", num(1)}}));
    b.add(3, PDFValue::dict({{"Type", PDFValue::name("Page")}, {"Parent", ref(2)}}));
}

// A skeleton whose table and trailer the caller writes by hand.
std::string entryLine(int64_t offset, int64_t gen, char type) {
    char line[32];
    std::snprintf(line, sizeof line, "%010lld %05lld %c\r\n", static_cast<long long>(offset),
                  static_cast<long long>(gen), type);
    return line;
}

// ---- startxref and section offsets -----------------------------------------------

TEST(ReaderRepair, StartXrefOffByThirtyBytesEitherWayFindsTheTable) {
    TempDir dir;
    Bytes good = testing::simpleDocument(2);
    const size_t table = good.rfind("xref\n0 ");
    for (int shift : {-30, 30}) {
        Bytes damaged = good.substr(0, good.rfind("startxref")) + "startxref\n" +
                        std::to_string(static_cast<int64_t>(table) + shift) + "\n%%EOF\n";
        auto reader = openBytes(dir, damaged);
        EXPECT_EQ(reader->startXref(), static_cast<int64_t>(table)) << shift;
        EXPECT_EQ(reader->pageRefs().size(), 2u);
    }
}

TEST(ReaderRepair, StartXrefIsFoundBehindTrailingJunkAndRefusedWhenAbsent) {
    TempDir dir;
    Bytes good = testing::simpleDocument(1);
    EXPECT_EQ(openBytes(dir, good + Bytes(5000, '\n'))->pageRefs().size(), 1u);
    // A startxref value outside the file is passed over for an earlier one.
    EXPECT_EQ(openBytes(dir, good + "startxref\n99999999\n")->pageRefs().size(), 1u);
    EXPECT_EQ(errorOf([&] { openBytes(dir, good + Bytes(300'000, ' ')); }), "startxref not found");
    EXPECT_EQ(errorOf([&] { openBytes(dir, "%PDF-1.7\n"); }), "startxref not found");
    EXPECT_EQ(errorOf([&] { openBytes(dir, "%PDF"); }), "startxref not found");
}

TEST(ReaderRepair, SectionFarFromItsRecordedOffsetIsAnError) {
    TempDir dir;
    PdfBuilder b;
    addSkeleton(b);
    b.append(Bytes(3000, 'a') + "\n");
    const int64_t table = b.appendTable(rootTrailer(4));
    b.appendStartXref(table - 2000);
    EXPECT_EQ(errorOf([&] { openBytes(dir, b.bytes()); }), "bad xref: no section at " + std::to_string(table - 2000));
}

TEST(ReaderRepair, SectionReachedThroughPrevThatCannotBeReadFailsTheOpen) {
    TempDir dir;
    PdfBuilder b;
    addSkeleton(b);
    b.append(Bytes(3000, 'x') + "\n");
    b.finishWithTable({{"Size", num(4)}, {"Root", ref(1)}, {"Prev", num(1500)}});
    EXPECT_EQ(errorOf([&] { openBytes(dir, b.bytes()); }), "bad xref: no section at 1500");
}

TEST(ReaderRepair, PrevLoopsAndOutOfRangeOffsetsEndTheChainQuietly) {
    TempDir dir;
    {
        PdfBuilder b;
        addSkeleton(b);
        const int64_t at = b.length();
        b.finishWithTable({{"Size", num(4)}, {"Root", ref(1)}, {"Prev", num(at)}});
        EXPECT_EQ(openBytes(dir, b.bytes())->pageRefs().size(), 1u);
    }
    {
        // Two sections pointing at each other, and bad XRefStm values.
        PdfBuilder b;
        addSkeleton(b);
        b.add(4, PDFValue::string("four"));
        const int64_t first = b.length();
        const int64_t second = first + 400;
        b.appendTable({{"Size", num(4)}, {"Root", ref(1)}, {"Prev", num(second)}, {"XRefStm", num(-5)}});
        b.append(Bytes(static_cast<size_t>(second - b.length()), ' '));
        b.appendTable({{"Size", num(5)}, {"Root", ref(1)}, {"Prev", num(first)}, {"XRefStm", num(1'000'000'000)}});
        b.appendStartXref(second);
        auto reader = openBytes(dir, b.bytes());
        EXPECT_EQ(*reader->resolve(ref(4)).stringBytes(), "four");
        EXPECT_EQ(reader->pageRefs().size(), 1u);
    }
}

// ---- table entries --------------------------------------------------------------------

TEST(ReaderRepair, FirstSubsectionWronglyStartingAtOneIsReadFromZero) {
    TempDir dir;
    PdfBuilder b;
    addSkeleton(b);
    const int64_t at = b.length();
    b.append("xref\n1 4\n" + entryLine(0, 65535, 'f') + entryLine(b.offsetOf(1), 0, 'n') +
             entryLine(b.offsetOf(2), 0, 'n') + entryLine(b.offsetOf(3), 0, 'n') +
             "trailer\n<< /Size 4 /Root 1 0 R >>\n");
    b.appendStartXref(at);
    auto reader = openBytes(dir, b.bytes());
    EXPECT_EQ(reader->entries().entry(3), XRefEntry::inFile(b.offsetOf(3), 0));
    EXPECT_EQ(reader->entries().size(), 4);
    EXPECT_EQ(reader->pageRefs().size(), 1u);
}

TEST(ReaderRepair, LoneFreeHeadNumberedOneLeavesTheNextSubsectionAlone) {
    TempDir dir;
    PdfBuilder b;
    addSkeleton(b);
    const int64_t at = b.length();
    b.append("xref\n1 1\n" + entryLine(0, 65535, 'f') + "1 3\n" + entryLine(b.offsetOf(1), 0, 'n') +
             entryLine(b.offsetOf(2), 0, 'n') + entryLine(b.offsetOf(3), 70000, 'n') +
             "trailer\n<< /Size 4 /Root 1 0 R >>\n");
    b.appendStartXref(at);
    auto reader = openBytes(dir, b.bytes());
    EXPECT_EQ(reader->entries().entry(1), XRefEntry::inFile(b.offsetOf(1), 0));
    // Generations beyond 65535 are clamped.
    EXPECT_EQ(reader->entries().entry(3), XRefEntry::inFile(b.offsetOf(3), 65535));
}

TEST(ReaderRepair, EntriesNeedNotHaveTheFixedLayout) {
    TempDir dir;
    PdfBuilder b;
    addSkeleton(b);
    const int64_t at = b.length();
    b.append("xref\n0 4 0 65535 f " + std::to_string(b.offsetOf(1)) + " 0 n\n" + std::to_string(b.offsetOf(2)) +
             " 0 % a comment\n n " + std::to_string(b.offsetOf(3)) + " 0n trailer<</Size 4/Root 1 0 R>>\n");
    b.appendStartXref(at);
    EXPECT_EQ(openBytes(dir, b.bytes())->pageRefs().size(), 1u);
}

TEST(ReaderRepair, MalformedTablesNameWhereReadingStopped) {
    TempDir dir;
    struct Case {
        std::string table;
        std::string error;
    };
    // Offsets are relative to the table start; the skeleton comes before it.
    std::vector<Case> cases = {
        {"xref\n0 x\n", "subsection header at +7"},
        {"xref\n10000000 1\n", "subsection header at +15"},
        {"xref\n0 2\n0000000000 65535 f\r\n000000001x 00000 n\r\n", "entry at +38"},
        {"xref\n0 1\n0000000000 1234567890123456789 f\r\n", "entry at +38"},
    };
    for (const Case& c : cases) {
        PdfBuilder b;
        addSkeleton(b);
        const int64_t at = b.length();
        b.append(c.table);
        b.append("\n\n\n");
        b.appendStartXref(at);
        std::string expected = c.error;
        if (auto plus = expected.find('+'); plus != std::string::npos)
            expected = expected.substr(0, plus) + std::to_string(at + std::stoll(expected.substr(plus + 1)));
        EXPECT_EQ(errorOf([&] { openBytes(dir, b.bytes()); }), "bad xref: " + expected) << c.table;
    }
}

TEST(ReaderRepair, TableEndingTheFileIsTruncated) {
    TempDir dir;
    PdfBuilder b;
    addSkeleton(b);
    // startxref points forward to a table after %%EOF.
    const int64_t at = b.length() + 30;
    b.appendStartXref(at);
    b.append(Bytes(static_cast<size_t>(at - b.length()), ' '));
    b.append("xref\n0 1\n0000000000 65535");
    EXPECT_EQ(errorOf([&] { openBytes(dir, b.bytes()); }), "bad xref: truncated");
}

TEST(ReaderRepair, TrailerWithoutRootIsRefused) {
    TempDir dir;
    PdfBuilder b;
    addSkeleton(b);
    b.finishWithTable({{"Size", num(4)}});
    EXPECT_EQ(errorOf([&] { openBytes(dir, b.bytes()); }), "trailer has no /Root");
}

// ---- object offsets ---------------------------------------------------------------------

TEST(ReaderRepair, ObjectOffsetTenBytesOffIsFoundByTheHeaderSearch) {
    TempDir dir;
    for (int shift : {-10, 10}) {
        PdfBuilder b;
        addSkeleton(b);
        b.append(Bytes(40, ' ') + "\n");
        const int64_t real = b.length();
        b.add(4, PDFValue::string("four"));
        b.append(Bytes(40, ' ') + "\n");
        b.recordInFile(4, real + shift);
        b.finishWithTable(rootTrailer(5));
        EXPECT_EQ(*openBytes(dir, b.bytes())->resolve(ref(4)).stringBytes(), "four") << shift;
    }
}

TEST(ReaderRepair, HeaderSearchPrefersTheEarlierOfTwoEquallyNearHeaders) {
    TempDir dir;
    PdfBuilder b;
    addSkeleton(b);
    const int64_t early = b.length();
    b.append("4 0 obj (early) endobj\n");
    b.append("xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx\n");
    const int64_t late = b.length();
    b.append("4 0 obj (late) endobj\n");
    ASSERT_EQ((late - early) % 2, 0);
    b.recordInFile(4, (early + late) / 2);
    b.finishWithTable(rootTrailer(5));
    EXPECT_EQ(*openBytes(dir, b.bytes())->resolve(ref(4)).stringBytes(), "early");
}

TEST(ReaderRepair, ObjectTooFarFromItsOffsetIsAnError) {
    TempDir dir;
    PdfBuilder b;
    addSkeleton(b);
    const int64_t real = b.length();
    b.add(4, PDFValue::string("four"));
    b.append(Bytes(600, ' ') + "\n");
    b.recordInFile(4, real + 400);
    b.finishWithTable(rootTrailer(5));
    auto reader = openBytes(dir, b.bytes());
    EXPECT_EQ(errorOf([&] { reader->object(4); }), "bad object: no object 4 at " + std::to_string(real + 400));
    // Another object's header at the offset is not taken for this one.
    PdfBuilder c;
    addSkeleton(c);
    const int64_t three = c.offsetOf(3);
    c.recordInFile(4, three);
    c.finishWithTable(rootTrailer(5));
    auto other = openBytes(dir, c.bytes());
    EXPECT_EQ(errorOf([&] { other->object(4); }), "bad object: no object 4 at " + std::to_string(three));
}

// ---- stream lengths -----------------------------------------------------------------------

// Object 4 written verbatim (its offset in the table), optionally after the
// end of the file so that it can end the file.
Bytes withObject4(const std::string& body, bool atEnd, int64_t extra = -1, const std::string& extraBody = "") {
    PdfBuilder b;
    addSkeleton(b);
    if (extra >= 0) b.addRaw(extra, extraBody);
    if (!atEnd) {
        b.addRaw(4, body);
        b.finishWithTable(rootTrailer(6));
        return b.bytes();
    }
    // The table is written with a placeholder entry for 4, patched to point
    // past %%EOF where the object goes.
    b.recordInFile(4, 9'999'999'999);
    b.finishWithTable(rootTrailer(6));
    Bytes bytes = b.bytes();
    std::string offset = std::to_string(bytes.size());
    offset = std::string(10 - offset.size(), '0') + offset;
    bytes.replace(bytes.find("9999999999"), 10, offset);
    return bytes + "4 0 obj\n" + body;
}

TEST(ReaderRepair, StreamLengthsAreRepairedByScanningForEndstream) {
    TempDir dir;
    struct Case {
        std::string body;
        std::string data;
    };
    std::vector<Case> cases = {
        {"<< /Length 3 >>\nstream\nabc\nendstream", "abc"},                  // right
        {"<< /Length 2 >>\nstream\nabcdef\r\nendstream", "abcdef"},         // too short: CR LF not data
        {"<< /Length 900 >>\nstream\r\nabc\rendstream", "abc"},             // too long, lone CR
        {"<< /Length -1 >>\nstream\nabc endstream", "abc "},
        {"<< /Length /Three >>\nstream\nabc\nendstream", "abc"},
        {"<< >>\nstream\nabc\n\nendstream", "abc\n"},                         // missing: one EOL removed
        {"<< /Length 4 0 R >>\nstream\nabcdef\nendstream", "abcdef"},       // refers to itself
        {"<< /Length 5 0 R >>\nstream\nabcdef\nendstream", "abcdef"},       // indirect and wrong
        {"<< /Length 3 >>\nstream\nabc\n% comment\n endstream", "abc"},
    };
    for (const Case& c : cases) {
        auto reader = openBytes(dir, withObject4(c.body, false, 5, "4"));
        EXPECT_EQ(reader->object(4)->stream()->data, c.data) << c.body;
    }
}

TEST(ReaderRepair, StreamsWithoutDataOrEndAreBadObjects) {
    TempDir dir;
    auto reader = openBytes(dir, withObject4("<< /Length 10 >>\nstream\nabc", true));
    EXPECT_EQ(errorOf([&] { reader->object(4); }), "bad object: endstream not found");
    reader = openBytes(dir, withObject4("<< /Length 10 >>\nstream", true));
    EXPECT_EQ(errorOf([&] { reader->object(4); }), "bad object: stream without data");
    EXPECT_EQ(reader->nesting(), 0);
}

// ---- hostile limits ---------------------------------------------------------------------------

// Streams 10, 11, ... each measured by the next one's number: loading the
// first nests one load per stream.
Bytes lengthChain(int streams) {
    PdfBuilder b;
    addSkeleton(b);
    for (int k = 0; k < streams; ++k) {
        std::string length = k + 1 < streams ? std::to_string(11 + k) + " 0 R" : "3";
        b.addRaw(10 + k, "<< /Length " + length + " >>\nstream\nabc\nendstream");
    }
    b.finishWithTable(rootTrailer(10 + streams));
    return b.bytes();
}

TEST(ReaderLimits, TwentyFourNestedLoadsAreAllowedAndOneMoreIsNot) {
    TempDir dir;
    auto reader = openBytes(dir, lengthChain(24));
    EXPECT_EQ(reader->object(10)->stream()->data, "abc");
    reader = openBytes(dir, lengthChain(25));
    EXPECT_EQ(errorOf([&] { reader->object(10); }), "bad object: references nested too deeply");
    EXPECT_EQ(reader->nesting(), 0);
    EXPECT_EQ(reader->object(30)->stream()->data, "abc");
}

TEST(ReaderLimits, ReferenceChainOfFortyIsALoop) {
    TempDir dir;
    PdfBuilder b;
    addSkeleton(b);
    for (int k = 0; k < 40; ++k) b.add(10 + k, ref(11 + k));
    b.add(50, ref(10));
    b.finishWithTable(rootTrailer(51));
    auto reader = openBytes(dir, b.bytes());
    EXPECT_EQ(errorOf([&] { reader->resolve(ref(10)); }), "bad object: reference loop");
    EXPECT_EQ(errorOf([&] { reader->resolve(ref(50)); }), "bad object: reference loop");
}

TEST(ReaderLimits, PageTreeCyclesAreCaught) {
    TempDir dir;
    PdfBuilder b;
    b.add(1, PDFValue::dict({{"Pages", ref(2)}}));
    b.add(2, PDFValue::dict({{"Type", PDFValue::name("Pages")}, {"Kids", PDFValue::array({ref(3)})}}));
    b.add(3, PDFValue::dict({{"Type", PDFValue::name("Pages")}, {"Kids", PDFValue::array({ref(4), ref(2)})}}));
    b.add(4, PDFValue::dict({{"Type", PDFValue::name("Page")}}));
    b.finishWithTable(rootTrailer(5));
    EXPECT_EQ(errorOf([&] { openBytes(dir, b.bytes())->pageRefs(); }), "bad page tree: object 2 visited twice");
}

TEST(ReaderLimits, DeepPageTreesAreWalkedWithoutRecursion) {
    TempDir dir;
    PdfBuilder b;
    constexpr int kDepth = 20'000;
    b.add(1, PDFValue::dict({{"Pages", ref(2)}}));
    for (int k = 0; k < kDepth; ++k)
        b.add(2 + k, PDFValue::dict({{"Kids", PDFValue::array({ref(3 + k)})}}));
    b.add(2 + kDepth, PDFValue::dict({{"Type", PDFValue::name("Page")}}));
    b.finishWithTable(rootTrailer(3 + kDepth));
    EXPECT_EQ(openBytes(dir, b.bytes())->pageRefs(), (std::vector<PDFRef>{{2 + kDepth, 0}}));
}

TEST(ReaderLimits, HugeCountsInXRefDataAllocateOnlyWhatTheDataHolds) {
    TempDir dir;
    PdfBuilder b;
    addSkeleton(b);
    const int64_t at = b.length();
    // Claims ten million rows; the data has three.
    b.addStream(4, {{"Type", PDFValue::name("XRef")}, {"Size", num(9'999'999)}, {"Root", ref(1)},
                    {"Index", PDFValue::array({num(0), num(9'999'999)})},
                    {"W", PDFValue::array({num(1), num(2), num(1)})}},
                Bytes("\x01\x00\x0f\x00\x01\x00\x30\x00\x01\x00\x60\x00", 12));
    b.appendStartXref(at);
    auto reader = openBytes(dir, b.bytes());
    EXPECT_EQ(reader->size(), 9'999'999);
    EXPECT_LT(reader->entries().memoryBytes(), 1024u);
}

}  // namespace
}  // namespace quillet
