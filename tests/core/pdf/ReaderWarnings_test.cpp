// The reader's warnings reach a sink as they are made, each once: those noted
// before the sink was set when it is set, later ones at the read that meets
// them, and none past the bound.
#include "core/pdf/ReaderWarnings.h"

#include <gtest/gtest.h>

#include "core/pdf/PageBox.h"
#include "support/ReaderFixtures.h"

namespace quillet {
namespace {

using namespace testing;
using Kind = ReaderWarning::Kind;

TEST(ReaderWarnings, ASinkGetsEachNotedWarningOnceAndNoneBeyondTheBound) {
    ReaderWarnings warnings;
    warnings.add("early");
    warnings.add("early");
    std::vector<std::string> got;
    warnings.setSink([&](const ReaderWarning& w) { got.push_back(w.text); });
    EXPECT_EQ(got, std::vector<std::string>{"early"});
    for (size_t i = 0; i < 2 * kMaxReaderWarnings; ++i) warnings.add("w" + std::to_string(i % 150));
    EXPECT_EQ(got.size(), kMaxReaderWarnings);
    EXPECT_EQ(got.back(), "w98");
    EXPECT_EQ(warnings.list().back(), "51 more");  // "early" and 150 others
}

// A page whose /MediaBox is a damaged object and whose page object has no
// /Type: the page-tree repair is made before the sink is set, the box's
// fallback after.
TEST(ReaderWarnings, APagesBoxFallbackIsReportedWithItsPageAsItHappens) {
    TempDir dir;
    PdfBuilder damaged;
    damaged.add(1, PDFValue::dict({{"Type", PDFValue::name("Catalog")}, {"Pages", ref(2)}}));
    damaged.add(
        2, PDFValue::dict(
               {{"Type", PDFValue::name("Pages")}, {"Kids", PDFValue::array({ref(3)})}, {"Count", num(1)}}));
    damaged.addRaw(3, "<< /Parent 2 0 R /MediaBox 4 0 R >>");
    damaged.addRaw(4, "<< /Length 10 >>\nstream\nabc");
    damaged.finishWithTable(rootTrailer(5));
    auto reader = openBytes(dir, damaged.bytes());
    const PDFRef page = reader->pageRefs().at(0);

    std::vector<ReaderWarning> got;
    reader->setWarningSink([&](const ReaderWarning& w) { got.push_back(w); });
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].kind, Kind::structure);

    EXPECT_EQ(pageBox(*reader, page), PageBox{});
    pageBox(*reader, page);
    // The stream's length repaired by this later read, then the unreadable
    // value and the Letter fallback, once each.
    ASSERT_EQ(got.size(), 4u);
    EXPECT_EQ(got[1].kind, Kind::structure);
    for (size_t i = 2; i < got.size(); ++i) {
        EXPECT_EQ(got[i].kind, Kind::pageBox);
        EXPECT_EQ(got[i].object, 3);
    }
    EXPECT_NE(got[2].text.find("endstream not found"), std::string::npos) << got[2].text;
    EXPECT_EQ(reader->warnings().size(), 4u);
}

}  // namespace
}  // namespace quillet
