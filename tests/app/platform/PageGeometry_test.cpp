// The core's page geometry (what `quillet add` places items under) and
// Poppler's (what the application shows and places items under) agree on
// rotated, cropped and inherited-box pages: same crop box, same rotation,
// and a mark the page draws at a page-space point shows where the core's
// display transform puts that point.
#include <gtest/gtest.h>

#include "app/platform/PopplerPDFDocument.h"
#include "core/pdf/PageBox.h"
#include "support/PdfFixtures.h"
#include "support/QtTestSupport.h"

namespace quillet {
namespace {

using namespace quillet::testing;

PDFValue box(double x0, double y0, double x1, double y1) {
    return PDFValue::array(
        {PDFValue::number(x0), PDFValue::number(y0), PDFValue::number(x1), PDFValue::number(y1)});
}

struct PageCase {
    std::string name;
    PDFDictionary own;  // the page's own entries besides /Type, /Parent, /Contents
    bool underNode;     // a kid of node 4 (/MediaBox, /CropBox, /Rotate 270) instead of the root
    PageBox expected;
};

std::vector<PageCase> cases() {
    return {
        {"plain", {{"MediaBox", box(0, 0, 300, 400)}}, false, {{0, 0, 300, 400}, 0}},
        {"rotated",
         {{"MediaBox", box(0, 0, 300, 400)}, {"Rotate", PDFValue::integer(90)}},
         false,
         {{0, 0, 300, 400}, 90}},
        {"cropped",
         {{"MediaBox", box(0, 0, 300, 400)}, {"CropBox", box(50, 60, 250, 300)}},
         false,
         {{50, 60, 200, 240}, 0}},
        // Wider than the media box: the media box's width; then clipped.
        {"crop past the media box, turned back",
         {{"MediaBox", box(100, 100, 400, 500)},
          {"CropBox", box(0, 150, 350, 900)},
          {"Rotate", PDFValue::integer(-90)}},
         false,
         {{100, 100, 300, 400}, 270}},
        {"crop across the media box's corner",
         {{"MediaBox", box(100, 100, 400, 500)}, {"CropBox", box(50, 300, 250, 550)}},
         false,
         {{100, 300, 150, 200}, 0}},
        {"upside down, reversed corners",
         {{"MediaBox", box(300, 400, 20, 10)}, {"Rotate", PDFValue::integer(540)}},
         false,
         {{20, 10, 280, 390}, 180}},
        {"malformed rotation",
         {{"MediaBox", box(0, 0, 300, 400)}, {"Rotate", PDFValue::integer(100)}},
         false,
         {{0, 0, 300, 400}, 0}},
        {"inherited boxes and rotation", {}, true, {{40, 30, 140, 190}, 270}},
        {"own rotation over the node's", {{"Rotate", PDFValue::integer(0)}}, true, {{40, 30, 140, 190}, 0}},
    };
}

// Each page fills a 6-point square at a point a third of the way into its
// expected crop box (not its centre, so a mirrored or shifted transform misses).
Point markOf(const PageBox& page) {
    return {page.cropBox.minX() + page.cropBox.width / 3, page.cropBox.minY() + page.cropBox.height / 4};
}

Bytes casesPdf() {
    const std::vector<PageCase> all = cases();
    PdfBuilder pdf;
    PDFArray rootKids, nodeKids;
    for (size_t i = 0; i < all.size(); ++i) {
        const int64_t page = 10 + 2 * static_cast<int64_t>(i);
        PDFDictionary dict = all[i].own;
        dict.set("Type", PDFValue::name("Page"));
        dict.set("Parent", PDFValue::ref(all[i].underNode ? 4 : 2, 0));
        dict.set("Contents", PDFValue::ref(page + 1, 0));
        pdf.add(page, PDFValue::dict(dict));
        const Point mark = markOf(all[i].expected);
        pdf.addStream(page + 1, {},
                      "0 g " + std::to_string(mark.x - 3) + " " + std::to_string(mark.y - 3) + " 6 6 re f");
        (all[i].underNode ? nodeKids : rootKids).push_back(PDFValue::ref(page, 0));
    }
    rootKids.push_back(PDFValue::ref(4, 0));
    pdf.add(1, PDFValue::dict({{"Type", PDFValue::name("Catalog")}, {"Pages", PDFValue::ref(2, 0)}}));
    pdf.add(2, PDFValue::dict({{"Type", PDFValue::name("Pages")},
                               {"Kids", PDFValue::array(rootKids)},
                               {"Count", PDFValue::integer(static_cast<int64_t>(all.size()))}}));
    pdf.add(4, PDFValue::dict({{"Type", PDFValue::name("Pages")},
                               {"Parent", PDFValue::ref(2, 0)},
                               {"Kids", PDFValue::array(nodeKids)},
                               {"Count", PDFValue::integer(static_cast<int64_t>(nodeKids.size()))},
                               {"MediaBox", box(0, 0, 200, 250)},
                               {"CropBox", box(40, 30, 180, 220)},
                               {"Rotate", PDFValue::integer(-450)}}));
    pdf.finishWithTable({{"Size", PDFValue::integer(10 + 2 * static_cast<int64_t>(all.size()))},
                         {"Root", PDFValue::ref(1, 0)}});
    return pdf.bytes();
}

TEST(PageGeometry, TheCoreAndPopplerPlaceAPageAlike) {
    testApplication();
    TempDir dir;
    writeFile(dir.file("pages.pdf"), casesPdf());
    PDFFileReader reader(dir.file("pages.pdf"));
    const std::vector<PDFRef> refs = reader.pageRefs();
    auto poppler = PopplerPDFDocument::open(qpath(dir.file("pages.pdf")));
    const std::vector<PageCase> all = cases();
    ASSERT_EQ(refs.size(), all.size());
    ASSERT_EQ(poppler->pageCount(), static_cast<int>(all.size()));
    // The root's kids come first, then node 4's.
    std::vector<PageCase> ordered;
    for (bool underNode : {false, true})
        for (const PageCase& c : all)
            if (c.underNode == underNode) ordered.push_back(c);

    for (size_t i = 0; i < ordered.size(); ++i) {
        SCOPED_TRACE(ordered[i].name);
        const int index = static_cast<int>(i);
        const PageBox core = pageBox(reader, refs[i]);
        EXPECT_EQ(core, ordered[i].expected);
        const std::optional<PDFPageGeometry> shown = poppler->pageGeometry(index);
        ASSERT_TRUE(shown);
        EXPECT_EQ(shown->rotation, core.rotation);
        const QRectF bounds = shown->bounds.normalized();
        EXPECT_NEAR(bounds.x(), core.cropBox.minX(), 1e-6);
        EXPECT_NEAR(bounds.y(), core.cropBox.minY(), 1e-6);
        EXPECT_NEAR(bounds.width(), core.cropBox.width, 1e-6);
        EXPECT_NEAR(bounds.height(), core.cropBox.height, 1e-6);

        const QImage image = poppler->renderPage(index, 1, {});
        const Size size = core.displaySize();
        EXPECT_EQ(image.size(), QSize(int(std::lround(size.width)), int(std::lround(size.height))));
        const Point at = core.pageToDisplay().apply(markOf(core));
        const QColor mark = image.pixelColor(int(at.x), int(at.y));
        EXPECT_LT(mark.lightness(), 60) << "no mark at " << at.x << "," << at.y;
    }
}

}  // namespace
}  // namespace quillet
