#include "core/save/PageItemReader.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "HeavyPages.h"
#include "support/ReaderFixtures.h"
#include "support/TempDir.h"

namespace quillet {
namespace {

using testing::kHeavyPagesBound;

struct PageItemReaderTest : ::testing::Test {
    PDFFileReader& build(const std::vector<std::vector<int>>& pages) {
        testing::writeHeavyPages(dir.file("heavy.pdf"), pages);
        return reader.emplace(dir.file("heavy.pdf"));
    }
    testing::TempDir dir;
    std::optional<PDFFileReader> reader;
};

// Two payloads are decoded and the third is not: the page says it was
// capped rather than pass for a page of two items.
TEST_F(PageItemReaderTest, StopsDecodingAPageAtItsPayloadBound) {
    build({{10, 11, 12}, {}});
    PageItemReader bounded(*reader, kHeavyPagesBound);
    EXPECT_EQ(bounded.pageItems({3, 0}).size(), 2u);
    EXPECT_TRUE(bounded.capped());
    EXPECT_TRUE(bounded.pageItems({4, 0}).empty());
    EXPECT_FALSE(bounded.capped()) << "each page has a bound of its own";

    PageItemReader whole(*reader);
    EXPECT_EQ(whole.pageItems({3, 0}).size(), 3u);
    EXPECT_FALSE(whole.capped());
}

// An annotation is decoded once per reader: referenced again, 2,000 times on
// one page or on another page, it costs that page nothing of its bound.
TEST_F(PageItemReaderTest, DecodesEachAnnotationOncePerReader) {
    std::vector<int> many(2'000, 10);
    many.push_back(11);
    build({many, {12, 10, 11}});
    PageItemReader reading(*reader, kHeavyPagesBound);
    EXPECT_EQ(reading.pageItems({3, 0}).size(), 2u);
    EXPECT_EQ(reading.pageItems({4, 0}).size(), 3u);
    EXPECT_FALSE(reading.capped());
}

// An annotation that cannot be read is left alone as foreign, and said so
// with its object number among the reader's warnings.
TEST_F(PageItemReaderTest, AnUnreadableAnnotationIsForeignAndWarnedOfOnce) {
    testing::PdfBuilder b;
    b.add(1, PDFValue::dict({{"Type", PDFValue::name("Catalog")}, {"Pages", testing::ref(2)}}));
    b.add(2, PDFValue::dict({{"Type", PDFValue::name("Pages")},
                             {"Kids", PDFValue::array({testing::ref(3)})},
                             {"Count", testing::num(1)}}));
    b.addRaw(3, "<< /Type /Page /Parent 2 0 R /Annots [4 0 R 4 0 R] >>");
    b.addRaw(4, "<< /Length 10 >>\nstream\nabc");
    b.finishWithTable(testing::rootTrailer(5));
    auto damaged = testing::openBytes(dir, b.bytes());
    std::vector<ReaderWarning> got;
    damaged->setWarningSink([&](const ReaderWarning& w) { got.push_back(w); });
    EXPECT_TRUE(PageItemReader(*damaged).pageItems({3, 0}).empty());
    const auto unreadable = std::count_if(got.begin(), got.end(), [](const ReaderWarning& w) {
        return w.kind == ReaderWarning::Kind::item && w.object == 4;
    });
    EXPECT_EQ(unreadable, 1);
}

}  // namespace
}  // namespace quillet
