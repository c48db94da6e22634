// A file whose pages list annotations 10, 11 and 12, each an item whose
// payload inflates to a little over 1 MiB: a bound of 1.5 MiB is passed
// by the second new annotation a page decodes.
#pragma once

#include <filesystem>
#include <vector>

#include "core/markup/Base64.h"
#include "core/markup/ItemCodec.h"
#include "core/pdf/Flate.h"
#include "support/PdfFixtures.h"

namespace quillet::testing {

inline constexpr size_t kHeavyPagesBound = size_t{3} << 19;

// Page i (object 3 + i) lists pages[i]'s annotation numbers.
inline void writeHeavyPages(const std::filesystem::path& file, const std::vector<std::vector<int>>& pages) {
    PdfBuilder b;
    PDFArray kids;
    for (size_t i = 0; i < pages.size(); ++i) {
        PDFArray annots;
        for (int num : pages[i]) annots.push_back(PDFValue::ref(num, 0));
        const int num = 3 + static_cast<int>(i);
        kids.push_back(PDFValue::ref(num, 0));
        b.add(num, PDFValue::dict({{"Type", PDFValue::name("Page")},
                                   {"Parent", PDFValue::ref(2, 0)},
                                   {"Annots", PDFValue::array(annots)}}));
    }
    b.add(1, PDFValue::dict({{"Type", PDFValue::name("Catalog")}, {"Pages", PDFValue::ref(2, 0)}}));
    b.add(2, PDFValue::dict({{"Type", PDFValue::name("Pages")},
                             {"Kids", PDFValue::array(kids)},
                             {"Count", PDFValue::integer(static_cast<int64_t>(pages.size()))}}));
    for (int num = 10; num <= 12; ++num) {
        const std::string json = ItemCodec::jsonText(
            AnnotationItem(UUID::random(), InkShape{InkKind::pen, {{{10, 10}, {50, 80}}}}, RGBA(1, 0, 0, 1),
                           2, 0, std::chrono::sys_seconds{std::chrono::seconds{1'780'000'000}}));
        const std::string payload =
            "QLT1:" + Base64::encode(Flate::deflate(json + std::string(1 << 20, ' '), 9));
        b.add(num, PDFValue::dict({{"Type", PDFValue::name("Annot")},
                                   {"Subtype", PDFValue::name("Ink")},
                                   {"QuilletItem", PDFValue::string(payload)}}));
    }
    b.finishWithTable({{"Size", PDFValue::integer(13)}, {"Root", PDFValue::ref(1, 0)}});
    b.writeTo(file);
}

}  // namespace quillet::testing
