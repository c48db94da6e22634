// The core's page geometry (what `quillet add` places items under) and
// Poppler's (what the application shows) agree on rotated, cropped and
// inherited-box pages, and a mark drawn at a page-space point shows where both
// transforms put it.
#include <gtest/gtest.h>

#include "app/platform/PopplerPDFDocument.h"
#include "core/pdf/PageBox.h"
#include "support/PdfFixtures.h"
#include "support/QtTestSupport.h"

namespace quillet {
namespace {

using namespace quillet::testing;

struct PageCase {
    std::string name;
    std::string own;  // the page's own entries besides /Type, /Parent, /Contents
    bool underNode;   // a kid of node 4 (/MediaBox, /CropBox, /Rotate 270) instead of the root
    PageBox expected;
};

std::vector<PageCase> cases() {
    return {
        {"plain", "/MediaBox [0 0 300 400]", false, {{0, 0, 300, 400}, 0}},
        {"rotated", "/MediaBox [0 0 300 400] /Rotate 90", false, {{0, 0, 300, 400}, 90}},
        {"cropped", "/MediaBox [0 0 300 400] /CropBox [50 60 250 300]", false, {{50, 60, 200, 240}, 0}},
        // Wider than the media box: the media box's width; then clipped.
        {"crop past the media box, turned back",
         "/MediaBox [100 100 400 500] /CropBox [0 150 350 900] /Rotate -90",
         false,
         {{100, 100, 300, 400}, 270}},
        {"crop across the media box's corner",
         "/MediaBox [100 100 400 500] /CropBox [50 300 250 550]",
         false,
         {{100, 300, 150, 200}, 0}},
        {"upside down, reversed corners",
         "/MediaBox [300 400 20 10] /Rotate 540",
         false,
         {{20, 10, 280, 390}, 180}},
        {"malformed rotation", "/MediaBox [0 0 300 400] /Rotate 100", false, {{0, 0, 300, 400}, 0}},
        {"inherited boxes and rotation", "", true, {{40, 30, 140, 190}, 270}},
        {"own rotation over the node's", "/Rotate 0", true, {{40, 30, 140, 190}, 0}},
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
    std::string rootKids, nodeKids;
    for (size_t i = 0; i < all.size(); ++i) {
        const std::string page = std::to_string(10 + 2 * i), content = std::to_string(11 + 2 * i);
        pdf.addRaw(10 + 2 * int64_t(i), "<< /Type /Page /Parent " +
                                            std::string(all[i].underNode ? "4" : "2") + " 0 R /Contents " +
                                            content + " 0 R " + all[i].own + " >>");
        const Point mark = markOf(all[i].expected);
        pdf.addStream(11 + 2 * int64_t(i), {},
                      "0 g " + std::to_string(mark.x - 3) + " " + std::to_string(mark.y - 3) + " 6 6 re f");
        (all[i].underNode ? nodeKids : rootKids) += page + " 0 R ";
    }
    pdf.addRaw(1, "<< /Type /Catalog /Pages 2 0 R >>");
    pdf.addRaw(2,
               "<< /Type /Pages /Kids [" + rootKids + "4 0 R] /Count " + std::to_string(all.size()) + " >>");
    pdf.addRaw(4, "<< /Type /Pages /Parent 2 0 R /Kids [" + nodeKids +
                      "] /Count 2 /MediaBox [0 0 200 250] /CropBox [40 30 180 220] /Rotate -450 >>");
    pdf.finishWithTable(
        {{"Size", PDFValue::integer(10 + 2 * int64_t(all.size()))}, {"Root", PDFValue::ref(1, 0)}});
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

        // Rendered at 200 %, the mark shows where both transforms put it; the
        // crop box's middle stays blank.
        const QImage image = poppler->renderPage(index, 2, {});
        const Size size = core.displaySize();
        EXPECT_EQ(image.size(), QSize(int(std::lround(2 * size.width)), int(std::lround(2 * size.height))));
        const Point at = core.pageToDisplay().apply(markOf(core)) * 2;
        const QPointF ours = shown->toDisplay(QPointF(markOf(core).x, markOf(core).y)) * 2;
        EXPECT_NEAR(ours.x(), at.x, 1e-6);
        EXPECT_NEAR(ours.y(), at.y, 1e-6);
        EXPECT_LT(image.pixelColor(int(at.x), int(at.y)).lightness(), 60)
            << "no mark at " << at.x << "," << at.y;
        const Point middle = core.pageToDisplay().apply(Point{core.cropBox.midX(), core.cropBox.midY()}) * 2;
        EXPECT_GT(image.pixelColor(int(middle.x), int(middle.y)).lightness(), 200);
    }
}

}  // namespace
}  // namespace quillet
