#include "core/save/PageItemReader.h"

#include <gtest/gtest.h>

#include "core/markup/Base64.h"
#include "core/markup/ItemCodec.h"
#include "core/pdf/Flate.h"
#include "support/PdfFixtures.h"
#include "support/TempDir.h"

namespace quillet {
namespace {

// Pages 3 and 4 over annotations 10, 11 and 12, whose payloads each inflate
// to about 1 MiB: page 3 lists `first`, page 4 lists `second`.
class PageItemReaderTest : public ::testing::Test {
  protected:
    void build(const PDFArray& first, const PDFArray& second) {
        testing::PdfBuilder b;
        b.add(1, PDFValue::dict({{"Type", PDFValue::name("Catalog")}, {"Pages", PDFValue::ref(2, 0)}}));
        b.add(2, PDFValue::dict({{"Type", PDFValue::name("Pages")},
                                 {"Kids", PDFValue::array({PDFValue::ref(3, 0), PDFValue::ref(4, 0)})},
                                 {"Count", PDFValue::integer(2)}}));
        b.add(3, page(first));
        b.add(4, page(second));
        for (int num = 10; num <= 12; ++num) {
            const std::string json = ItemCodec::jsonText(AnnotationItem(
                UUID::random(), InkShape{InkKind::pen, {{{10, 10}, {50, 80}}}}, RGBA(1, 0, 0, 1), 2, 0,
                std::chrono::sys_seconds{std::chrono::seconds{1'780'000'000}}));
            const std::string payload =
                "QLT1:" + Base64::encode(Flate::deflate(json + std::string(1 << 20, ' '), 9));
            b.add(num, PDFValue::dict({{"Type", PDFValue::name("Annot")},
                                       {"Subtype", PDFValue::name("Ink")},
                                       {"QuilletItem", PDFValue::string(payload)}}));
        }
        b.finishWithTable({{"Size", PDFValue::integer(13)}, {"Root", PDFValue::ref(1, 0)}});
        b.writeTo(dir.file("heavy.pdf"));
        reader.emplace(dir.file("heavy.pdf"));
    }
    static PDFValue page(const PDFArray& annots) {
        return PDFValue::dict({{"Type", PDFValue::name("Page")},
                               {"Parent", PDFValue::ref(2, 0)},
                               {"Annots", PDFValue::array(annots)}});
    }
    static PDFValue annotation(int num) { return PDFValue::ref(num, 0); }

    testing::TempDir dir;
    std::optional<PDFFileReader> reader;
};

// With the bound at 1.5 MiB, two payloads are decoded and the third is not:
// the page says it was capped rather than pass for a page of two items.
TEST_F(PageItemReaderTest, StopsDecodingAPageAtItsPayloadBound) {
    build({annotation(10), annotation(11), annotation(12)}, {});
    PageItemReader bounded(*reader, size_t{3} << 19);
    EXPECT_EQ(bounded.pageItems({3, 0}).size(), 2u);
    EXPECT_TRUE(bounded.capped());
    EXPECT_TRUE(bounded.pageItems({4, 0}).empty());
    EXPECT_FALSE(bounded.capped()) << "each page has a bound of its own";

    PageItemReader whole(*reader);
    EXPECT_EQ(whole.pageItems({3, 0}).size(), 3u);
    EXPECT_FALSE(whole.capped());
    static_assert(PageItemReader::kMaxPayloadBytesPerPage == size_t{256} << 20);
}

// An annotation is decoded once per reader: referenced again, 2,000 times on
// one page or on another page, it costs that page nothing of its bound.
TEST_F(PageItemReaderTest, DecodesEachAnnotationOncePerReader) {
    PDFArray many(2'000, annotation(10));
    many.push_back(annotation(11));
    build(many, {annotation(12), annotation(10), annotation(11)});
    PageItemReader reading(*reader, size_t{3} << 19);
    EXPECT_EQ(reading.pageItems({3, 0}).size(), 2u);
    EXPECT_EQ(reading.pageItems({4, 0}).size(), 3u);
    EXPECT_FALSE(reading.capped());
}

}  // namespace
}  // namespace quillet
