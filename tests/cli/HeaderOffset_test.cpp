// Files with bytes before "%PDF-": an update keeps the offset convention
// of the file, or lists every object when the file's own offsets count from
// its first byte, so that qpdf, Poppler and quillet read it without repair.
#include <gtest/gtest.h>

#include "MarkupFixtures.h"

namespace quillet {
namespace {

namespace fs = std::filesystem;
using testing::PdfBuilder;
using testing::runQuillet;
using testing::TempDir;

struct Layout {
    const char* name;
    std::vector<std::string> qpdfArgs;  // empty: offsets count from the first byte
    bool stream = false;
    bool hybrid = false;  // the page in an object stream only the table's /XRefStm lists
};

// One page whose offsets count from `start`'s first byte.
Bytes handMade(const std::string& start, bool stream, bool hybrid) {
    PdfBuilder b = PdfBuilder::appendingTo(start + "%PDF-1.7\n");
    const PDFValue box = PDFValue::array(
        {PDFValue::integer(0), PDFValue::integer(0), PDFValue::integer(612), PDFValue::integer(792)});
    b.add(1, PDFValue::dict({{"Type", PDFValue::name("Catalog")}, {"Pages", PDFValue::ref(2, 0)}}));
    b.add(2, PDFValue::dict({{"Type", PDFValue::name("Pages")},
                             {"Kids", PDFValue::array({PDFValue::ref(3, 0)})},
                             {"Count", PDFValue::integer(1)}}));
    const PDFValue page = PDFValue::dict(
        {{"Type", PDFValue::name("Page")}, {"Parent", PDFValue::ref(2, 0)}, {"MediaBox", box}});
    if (hybrid) {
        PdfBuilder streamPart = PdfBuilder::appendingTo(b.bytes());
        streamPart.addObjectStream(10, {{3, page}});
        const int64_t xrefStm = streamPart.finishWithXRefStream(11, {{"Size", PDFValue::integer(12)}}, false);
        PdfBuilder table = PdfBuilder::appendingTo(streamPart.bytes());
        for (int n = 1; n <= 2; ++n) table.recordInFile(n, b.offsetOf(n));
        table.finishWithTable({{"Size", PDFValue::integer(12)},
                               {"Root", PDFValue::ref(1, 0)},
                               {"XRefStm", PDFValue::integer(xrefStm)}});
        return table.bytes();
    }
    b.add(3, page);
    if (stream) {
        b.finishWithXRefStream(4, {{"Size", PDFValue::integer(5)}, {"Root", PDFValue::ref(1, 0)}});
    } else {
        b.finishWithTable({{"Size", PDFValue::integer(4)}, {"Root", PDFValue::ref(1, 0)}});
    }
    return b.bytes();
}

Bytes source(const TempDir& dir, const Layout& layout, const std::string& junk) {
    if (layout.qpdfArgs == std::vector<std::string>{"hand-made"})
        return junk + handMade("", layout.stream, layout.hybrid);
    if (layout.qpdfArgs.empty()) return handMade(junk, layout.stream, layout.hybrid);
    return junk + testing::readFile(testing::qpdfDocument(dir, "made.pdf", 2, layout.qpdfArgs));
}

class HeaderOffset : public ::testing::TestWithParam<Layout> {};

TEST_P(HeaderOffset, UpdateOpensEverywhereWithoutRepair) {
    if (!testing::qpdfAvailable()) GTEST_SKIP() << "qpdf not installed";
    for (size_t junkSize : {1, 14, 1000}) {
        SCOPED_TRACE(std::to_string(junkSize) + " bytes before the header");
        TempDir dir;
        const std::string junk = std::string(junkSize - 1, 'J') + "\n";
        const Bytes before = source(dir, GetParam(), junk);
        const fs::path in = dir.file("in.pdf"), out = dir.file("out.pdf");
        testing::writeFile(in, before);
        EXPECT_EQ(testing::quilletJSON({"info", in.string()})["headerOffset"], junkSize);

        testing::CommandResult added = runQuillet(
            {"add", in.string(), out.string(), "--page", "1", "--text", "after junk", "--at", "72,700"});
        ASSERT_EQ(added.status, 0) << added.err;
        EXPECT_TRUE(testing::readFile(out).starts_with(before)) << "the source stays an exact prefix";
        testing::expectQpdfClean(out);
        testing::CommandResult drawn = testing::runCommand(
            {"pdftoppm", "-r", "10", "-f", "1", "-l", "1", "-png", out.string(), dir.file("page").string()});
        EXPECT_EQ(drawn.status, 0);
        EXPECT_EQ(drawn.err, "") << "pdftoppm repaired the file";
        EXPECT_EQ(testing::itemsOn(out).size(), 1u);
    }
}

INSTANTIATE_TEST_SUITE_P(Layouts, HeaderOffset,
                         ::testing::Values(Layout{"TableFromHeader", {"--object-streams=disable"}},
                                           Layout{"StreamFromHeader", {"--object-streams=generate"}},
                                           Layout{"LinearizedFromHeader", {"--linearize"}},
                                           Layout{"HybridFromHeader", {"hand-made"}, false, true},
                                           Layout{"TableFromFirstByte", {}, false},
                                           Layout{"StreamFromFirstByte", {}, true},
                                           Layout{"HybridFromFirstByte", {}, false, true}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quillet
