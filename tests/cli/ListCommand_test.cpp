#include "cli/ListCommand.h"

#include <gtest/gtest.h>

#include "MarkupFixtures.h"
#include "core/markup/Base64.h"
#include "core/markup/ItemCodec.h"
#include "core/pdf/Flate.h"

namespace quillet {
namespace {

using testing::TempDir;

// One annotation whose payload inflates to 4 MiB, listed 2,000 times on one
// page and on a second page: decoding it per reference would take minutes.
TEST(ListCommand, AnAnnotationReferencedOverAndOverIsDecodedOnce) {
    const std::string json = ItemCodec::jsonText(
        AnnotationItem(UUID::random(), InkShape{InkKind::pen, {{{10, 10}, {50, 80}}}}, RGBA(1, 0, 0, 1), 2, 0,
                       std::chrono::sys_seconds{std::chrono::seconds{1'780'000'000}}));
    const std::string payload = "QLT1:" + Base64::encode(Flate::deflate(json + std::string(4 << 20, ' '), 9));
    PDFArray annots(2'000, PDFValue::ref(5, 0));
    testing::PdfBuilder b;
    b.add(1, PDFValue::dict({{"Type", PDFValue::name("Catalog")}, {"Pages", PDFValue::ref(2, 0)}}));
    b.add(2, PDFValue::dict({{"Type", PDFValue::name("Pages")},
                             {"Kids", PDFValue::array({PDFValue::ref(3, 0), PDFValue::ref(4, 0)})},
                             {"Count", PDFValue::integer(2)}}));
    for (int page = 3; page <= 4; ++page)
        b.add(page, PDFValue::dict({{"Type", PDFValue::name("Page")},
                                    {"Parent", PDFValue::ref(2, 0)},
                                    {"Annots", PDFValue::array(annots)}}));
    b.add(5, PDFValue::dict({{"Type", PDFValue::name("Annot")},
                             {"Subtype", PDFValue::name("Ink")},
                             {"QuilletItem", PDFValue::string(payload)}}));
    b.finishWithTable({{"Size", PDFValue::integer(6)}, {"Root", PDFValue::ref(1, 0)}});
    TempDir dir;
    b.writeTo(dir.file("many.pdf"));
    nlohmann::json listed = testing::listing(dir.file("many.pdf"));
    ASSERT_TRUE(listed.is_object());
    EXPECT_EQ(listed["pages"]["0"].size(), 1u);
    EXPECT_EQ(listed["pages"]["1"], listed["pages"]["0"]);
}

// Three distinct annotations on one page, each inflating to about 1 MiB: with
// the per-page cap at 1.5 MiB the first two are decoded, the third is not, and
// a caller that rewrites the page is refused rather than handed a partial list.
TEST(ListCommand, PayloadsPastThePerPageCapAreNotDecoded) {
    testing::PdfBuilder b;
    b.add(1, PDFValue::dict({{"Type", PDFValue::name("Catalog")}, {"Pages", PDFValue::ref(2, 0)}}));
    b.add(2, PDFValue::dict({{"Type", PDFValue::name("Pages")},
                             {"Kids", PDFValue::array({PDFValue::ref(3, 0)})},
                             {"Count", PDFValue::integer(1)}}));
    b.add(3, PDFValue::dict({{"Type", PDFValue::name("Page")},
                             {"Parent", PDFValue::ref(2, 0)},
                             {"Annots", PDFValue::array({PDFValue::ref(4, 0), PDFValue::ref(5, 0),
                                                         PDFValue::ref(6, 0)})}}));
    for (int num = 4; num <= 6; ++num) {
        const std::string json = ItemCodec::jsonText(
            AnnotationItem(UUID::random(), InkShape{InkKind::pen, {{{10, 10}, {50, 80}}}}, RGBA(1, 0, 0, 1),
                           2, 0, std::chrono::sys_seconds{std::chrono::seconds{1'780'000'000}}));
        const std::string payload =
            "QLT1:" + Base64::encode(Flate::deflate(json + std::string(1 << 20, ' '), 9));
        b.add(num, PDFValue::dict({{"Type", PDFValue::name("Annot")},
                                   {"Subtype", PDFValue::name("Ink")},
                                   {"QuilletItem", PDFValue::string(payload)}}));
    }
    b.finishWithTable({{"Size", PDFValue::integer(7)}, {"Root", PDFValue::ref(1, 0)}});
    TempDir dir;
    b.writeTo(dir.file("heavy.pdf"));
    PDFFileReader reader(dir.file("heavy.pdf"));
    const size_t cap = size_t{3} << 19;

    EXPECT_EQ(cli::listItems(reader)["pages"]["0"].size(), 3u);
    EXPECT_EQ(cli::listItems(reader, cap)["pages"]["0"].size(), 2u);
    PageItemReader bounded(reader, cap), whole(reader);
    EXPECT_THROW(cli::pageItems(bounded, {3, 0}), std::runtime_error);
    EXPECT_EQ(cli::pageItems(whole, {3, 0}).size(), 3u);
}

}  // namespace
}  // namespace quillet
