// The page view's markup drawing: Poppler's page with the file's copies of
// our items left out, the store's items painted over it.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include "app/document/AnnotationStore.h"
#include "app/document/FilePageItemSource.h"
#include "app/platform/PopplerPDFDocument.h"
#include "app/view/ItemPainter.h"
#include "app/view/PageView.h"
#include "core/markup/ItemAppearanceBuilder.h"
#include "core/save/SaveTestItems.h"
#include "support/AnnotatedPdf.h"
#include "support/QtTestSupport.h"
#include "support/RenderedPage.h"

namespace quillet {
namespace {

using namespace quillet::testing;

const PageFrame kFrame{{0, 0, 300, 300}, 0};
const Rect kDarkField{0, 0, 150, 300};  // the left half of every page

struct Kind {
    std::string name;
    AnnotationItem item;
};

// Two lines of text markup across the dark field's edge, the second turned
// as on a page whose text runs up the page.
AnnotationItem markupItem(TextMarkupKind kind, RGBA color) {
    const Quad across = Quad::fromRect({60, 140, 180, 16});
    const Quad up{{110, 30}, {110, 120}, {126, 30}, {126, 120}};
    return AnnotationItem(UUID::random(), TextMarkupShape{kind, {across, up}, "marked", ""}, color, 1, 0,
                          std::chrono::sys_seconds{std::chrono::seconds{1700000000}});
}

std::vector<Kind> kinds() {
    AnnotationItem signature = inkItem(3, {{60, 150}, {90, 190}, {120, 120}, {160, 170}, {200, 140}},
                                       {0, 0, 0.8, 1}, InkKind::signature, 2);
    AnnotationItem boxedText = textItem(4, {60, 200}, "Boxed words", {0, 0.5, 0, 1}, 18);
    boxedText.shape.text()->spec.boxed = true;
    return {
        {"pen",
         inkItem(1, {{40, 150}, {120, 180}, {200, 140}, {260, 160}}, {0.9, 0.1, 0.1, 1}, InkKind::pen, 5)},
        {"highlighter", inkItem(2, {{40, 150}, {260, 150}}, {1, 0.9, 0, 1}, InkKind::highlighter, 18)},
        {"signature", signature},
        {"text", boxedText},
        {"arrow", arrowItem(5, {50, 100}, {250, 200}, std::string("Look"))},
        {"note", noteItem(6, {80, 220}, "Check this\nsecond line")},
        {"highlight", markupItem(TextMarkupKind::highlight, {1, 0.87, 0.2, 1})},
        {"underline", markupItem(TextMarkupKind::underline, {0.1, 0.45, 0.9, 1})},
        {"strike-out", markupItem(TextMarkupKind::strikeOut, {0.89, 0.16, 0.16, 0.6})},
        {"squiggly", markupItem(TextMarkupKind::squiggly, {0.95, 0.45, 0, 1})},
    };
}

// One page per kind, each with a dark field under half of the item.
AnnotatedPdf kindsPdf() {
    std::vector<AnnotatedPageSpec> pages;
    for (const Kind& kind : kinds()) {
        pages.push_back(
            AnnotatedPageSpec{kFrame, filledRectContent(kDarkField, {0.25, 0.3, 0.6, 1}), {kind.item}});
    }
    return writeAnnotatedPdf(pages);
}

struct Drawing {
    std::unique_ptr<PopplerPDFDocument> pdf;
    std::unique_ptr<AnnotationStore> store;

    explicit Drawing(const std::filesystem::path& file) {
        testApplication();
        pdf = PopplerPDFDocument::open(qpath(file));
        store = std::make_unique<AnnotationStore>(pdf->pageCount(),
                                                  std::make_shared<FilePageItemSource>(file, std::nullopt));
    }

    // What the page view shows of the page at `zoom`, in device pixels.
    QImage page(int index, double zoom, bool withItems = true) {
        store->loadPage(index);
        QImage image = pdf->renderPageHiding(
            index, zoom, PageItemLayer::hiddenAnnotations(store->storedAnnotationKeys(index)));
        if (withItems) {
            QPainter painter(&image);
            QTransform toImage =
                pdf->pageGeometry(index)->pageToDisplay() * QTransform::fromScale(zoom, zoom);
            ItemPainter::paintAnnotations(painter, store->annotationsOnPage(index), toImage, false);
        }
        return image.convertToFormat(QImage::Format_RGB32);
    }
};

// The share of pixels inside `area` (page space) where both agree within 24/255.
double agreement(const QImage& ours, const RenderedPage& theirs, const Rect& area) {
    RenderedPage::PixelBox box = theirs.pixelBox(area);
    int total = 0, close = 0;
    for (int y = box.top; y < box.bottom; ++y) {
        for (int x = box.left; x < box.right; ++x) {
            if (x >= ours.width() || y >= ours.height()) continue;
            ++total;
            const QRgb p = ours.pixel(x, y);
            const Pixel shown{uint8_t(qRed(p)), uint8_t(qGreen(p)), uint8_t(qBlue(p))};
            close += shown.difference(theirs.raster().at(x, y)) <= 24;
        }
    }
    return total == 0 ? 0 : static_cast<double>(close) / total;
}

TEST(PageViewItems, EachKindLooksAsAnotherRendererShowsItSaved) {
    TempDir dir;
    writeFile(dir.file("kinds.pdf"), kindsPdf().bytes);
    Drawing drawing(dir.file("kinds.pdf"));
    std::vector<Kind> all = kinds();
    for (double zoom : {1.0, 2.0}) {
        for (size_t i = 0; i < all.size(); ++i) {
            std::string error;
            std::optional<RenderedPage> reference = RenderedPage::render(
                dir.file("kinds.pdf"), static_cast<int>(i), kFrame, {72 * zoom, false}, &error);
            if (!reference) GTEST_SKIP() << "pdftoppm: " << error;
            // Saved notes show their icon; the bubble opens in the viewer.
            Rect bounds = ItemAppearanceBuilder::build(all[i].item, false).bounds;
            // Splash's own edges (ItemRaster): all but the odd pixel of a
            // stroke's round joins agree.
            EXPECT_GE(agreement(drawing.page(static_cast<int>(i), zoom), *reference, bounds), 0.99)
                << all[i].name << " at " << zoom * 100 << " %";
        }
    }
}

// The file's copy of every item is left out of the page image, also once
// another program has dropped the /NM (same length, so offsets stay valid).
TEST(PageViewItems, TheFilesCopiesAreLeftOutByNameOrPlace) {
    TempDir dir;
    Bytes bytes = kindsPdf().bytes;
    writeFile(dir.file("named.pdf"), bytes);
    for (size_t at = bytes.find("/NM"); at != Bytes::npos; at = bytes.find("/NM", at))
        bytes.replace(at, 3, "/XM");
    writeFile(dir.file("unnamed.pdf"), bytes);
    std::vector<Kind> all = kinds();
    for (const char* file : {"named.pdf", "unnamed.pdf"}) {
        Drawing drawing(dir.file(file));
        for (size_t i = 0; i < all.size(); ++i) {
            std::optional<RenderedPage> blank =
                RenderedPage::render(dir.file(file), static_cast<int>(i), kFrame, {72, true});
            if (!blank) GTEST_SKIP() << "pdftoppm missing";
            Rect bounds = ItemAppearanceBuilder::build(all[i].item, true).bounds;
            EXPECT_GE(agreement(drawing.page(static_cast<int>(i), 1, false), *blank, bounds), 0.99)
                << all[i].name << " in " << file;
        }
    }
}

TEST(PageViewItems, ForeignAnnotationsShowAsPopplerDrawsThem) {
    TempDir dir;
    AnnotationItem ours = inkItem(1, {{40, 40}, {100, 60}}, {1, 0, 0, 1});
    PDFDictionary ourAnnotation =
        AnnotationSerializer::serialize(ours, PDFRef{3, 0}, PDFRef{11, 0}, std::nullopt, std::nullopt, false)
            .annotation;
    PdfBuilder pdf;
    pdf.addRaw(1, "<< /Type /Catalog /Pages 2 0 R >>");
    pdf.addRaw(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
    pdf.addRaw(3,
               "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 300 300] /Annots [10 0 R 12 0 R 13 0 R 14 0 R 15 "
               "0 R] >>");
    pdf.add(10, PDFValue::dict(ourAnnotation));
    ItemAppearanceBuilder::FormXObject form =
        ItemAppearanceBuilder::formXObject(ItemAppearanceBuilder::build(ours, false));
    pdf.addStream(11, form.dict, form.data);
    pdf.addRaw(12, "<< /Type /Annot /Subtype /Square /Rect [150 150 250 250] /C [0 1 0] /BS << /W 4 >> >>");
    pdf.addRaw(13, "<< /Type /Annot /Subtype /Link /Rect [20 200 120 230] /Border [0 0 2] /C [0 1 0] >>");
    pdf.addRaw(14,
               "<< /Type /Annot /Subtype /Ink /Rect [150 20 280 120] /C [0 1 0] /InkList [[160 30 270 110]] "
               "/BS << /W 3 >> >>");
    // Another program's highlight, without an appearance of its own.
    pdf.addRaw(15,
               "<< /Type /Annot /Subtype /Highlight /Rect [20 250 120 280] /C [0 1 0] "
               "/QuadPoints [20 280 120 280 20 250 120 250] >>");
    pdf.finishWithTable({{"Size", PDFValue::integer(16)}, {"Root", PDFValue::ref(1, 0)}});
    pdf.writeTo(dir.file("mixed.pdf"));

    Drawing drawing(dir.file("mixed.pdf"));
    QImage shown = drawing.page(0, 1, false);
    QImage plain = drawing.pdf->renderPage(0, 1, {}).convertToFormat(QImage::Format_RGB32);
    // The pixels of a page-space rectangle for which `counts(x, y)` holds.
    auto pixelsWhere = [&](const QRectF& pageRect, const std::function<bool(int, int)>& counts) {
        QRect box = drawing.pdf->pageGeometry(0)->toDisplay(pageRect).toAlignedRect();
        int count = 0;
        for (int y = box.top(); y <= box.bottom(); ++y)
            for (int x = box.left(); x <= box.right(); ++x) count += counts(x, y);
        return count;
    };
    auto differing = [&](const QRectF& r) {
        return pixelsWhere(r, [&](int x, int y) { return shown.pixel(x, y) != plain.pixel(x, y); });
    };
    auto drawn = [&](const QRectF& r) {
        return pixelsWhere(r, [&](int x, int y) {
            return qGreen(plain.pixel(x, y)) > 150 && qRed(plain.pixel(x, y)) < 100;
        });
    };
    EXPECT_GT(differing(QRectF(30, 30, 80, 40)), 0);  // ours is left out
    for (const QRectF& foreign : {QRectF(150, 150, 100, 100), QRectF(20, 200, 100, 30),
                                  QRectF(150, 20, 130, 100), QRectF(20, 250, 100, 30)}) {
        EXPECT_EQ(differing(foreign), 0) << foreign.x() << "," << foreign.y();
    }
    EXPECT_GT(drawn(QRectF(150, 150, 100, 100)), 0);  // Poppler does draw the square
    EXPECT_GT(drawn(QRectF(150, 20, 130, 100)), 0);   // and the foreign ink
    EXPECT_GT(drawn(QRectF(20, 250, 100, 30)), 0);    // and the foreign highlight
    EXPECT_EQ(drawing.store->itemsOnPage(0), std::vector<AnnotationItem>{ours});
}

}  // namespace
}  // namespace quillet
