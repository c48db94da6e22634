#include "support/AnnotatedPdf.h"

#include "core/pdf/PDFWriter.h"
#include "support/PdfFixtures.h"

namespace quillet::testing {

namespace {

constexpr int64_t kCatalog = 1;
constexpr int64_t kPageTree = 2;

PDFValue rectValue(const Rect& r) {
    return PDFValue::array({PDFValue::number(r.minX()), PDFValue::number(r.minY()),
                            PDFValue::number(r.maxX()), PDFValue::number(r.maxY())});
}

Rect rectOf(const PDFDictionary& d) {
    const PDFArray& a = *d.find("Rect")->arrayValue();
    return Rect::spanning({*a[0].doubleValue(), *a[1].doubleValue()},
                          {*a[2].doubleValue(), *a[3].doubleValue()});
}

// Serializes a page's items, numbering from `next`; returns the /Annots refs.
PDFArray placeItems(const AnnotatedPageSpec& spec, int pageIndex, PDFRef page, int64_t& next,
                    std::vector<PlacedAnnotation>& placed) {
    PDFArray annots;
    for (const AnnotationItem& item : spec.items) {
        const PDFRef annotation{next, 0}, appearance{next + 1, 0};
        const bool popup = item.isNote() && spec.withPopups && !spec.notesAsStamps;
        std::optional<AnnotationSerializer::PopupReferences> popupRefs;
        if (popup) popupRefs = AnnotationSerializer::PopupReferences{{next + 2, 0}, annotation};
        auto output = AnnotationSerializer::serialize(item, page, appearance, popupRefs, std::nullopt,
                                                      spec.notesAsStamps);
        next += popup ? 3 : 2;
        annots.push_back(PDFValue::ref(annotation));
        if (output.popup) annots.push_back(PDFValue::ref(popupRefs->popup));
        const Rect rect = rectOf(output.annotation);
        placed.push_back({item.id, pageIndex, annotation, appearance,
                          popupRefs ? std::optional<PDFRef>(popupRefs->popup) : std::nullopt, rect,
                          std::move(output)});
    }
    return annots;
}

}  // namespace

const PlacedAnnotation* AnnotatedPdf::find(const UUID& id) const {
    for (const PlacedAnnotation& a : annotations)
        if (a.id == id) return &a;
    return nullptr;
}

AnnotatedPdf writeAnnotatedPdf(const std::vector<AnnotatedPageSpec>& pages) {
    AnnotatedPdf pdf;
    PdfBuilder builder;
    int64_t next = kPageTree + 1;
    struct PageObjects {
        PDFRef page, content;
        PDFArray annots;
    };
    std::vector<PageObjects> objects;
    for (size_t i = 0; i < pages.size(); ++i) {
        const PDFRef page{next, 0}, content{next + 1, 0};
        next += 2;
        pdf.pages.push_back(page);
        objects.push_back(
            {page, content, placeItems(pages[i], static_cast<int>(i), page, next, pdf.annotations)});
    }

    builder.add(kCatalog, PDFValue::dict(
                              {{"Type", PDFValue::name("Catalog")}, {"Pages", PDFValue::ref(kPageTree, 0)}}));
    PDFArray kids;
    for (const PDFRef& page : pdf.pages) kids.push_back(PDFValue::ref(page));
    builder.add(kPageTree,
                PDFValue::dict({{"Type", PDFValue::name("Pages")},
                                {"Kids", PDFValue::array(std::move(kids))},
                                {"Count", PDFValue::integer(static_cast<int64_t>(pages.size()))}}));
    for (size_t i = 0; i < pages.size(); ++i) {
        PDFDictionary page{{"Type", PDFValue::name("Page")},
                           {"Parent", PDFValue::ref(kPageTree, 0)},
                           {"MediaBox", rectValue(pages[i].frame.mediaBox)},
                           {"Resources", PDFValue::dict({})},
                           {"Contents", PDFValue::ref(objects[i].content)}};
        if (pages[i].frame.rotate != 0) page.set("Rotate", PDFValue::integer(pages[i].frame.rotate));
        if (!objects[i].annots.empty()) page.set("Annots", PDFValue::array(objects[i].annots));
        builder.add(objects[i].page.num, PDFValue::dict(std::move(page)));
        builder.addStream(objects[i].content.num, {}, pages[i].content);
    }
    for (const PlacedAnnotation& a : pdf.annotations) {
        builder.add(a.annotation.num, PDFValue::dict(a.output.annotation));
        builder.addStream(a.appearance.num, a.output.appearance.dict, a.output.appearance.data);
        if (a.popup) builder.add(a.popup->num, PDFValue::dict(*a.output.popup));
    }
    builder.finishWithTable({{"Size", PDFValue::integer(next)}, {"Root", PDFValue::ref(kCatalog, 0)}});
    pdf.bytes = builder.bytes();
    return pdf;
}

std::string filledRectContent(const Rect& r, const RGBA& color) {
    return "q " + formatReal(color.r) + " " + formatReal(color.g) + " " + formatReal(color.b) + " rg " +
           formatReal(r.minX()) + " " + formatReal(r.minY()) + " " + formatReal(r.width) + " " +
           formatReal(r.height) + " re f Q\n";
}

}  // namespace quillet::testing
