// Every kind of item written into a real PDF and checked with independent
// tools: qpdf finds nothing wrong, and poppler paints each item where the
// application paints it, in its colour, and nowhere else.
#include <gtest/gtest.h>

#include <algorithm>

#include "MarkupTestSupport.h"
#include "core/markup/ItemGeometry.h"
#include "support/AnnotatedPdf.h"
#include "support/PdfFixtures.h"
#include "support/RenderedPage.h"
#include "support/TempDir.h"

using namespace quillet;
using namespace quillet::testing;

namespace {

const RGBA kRed{1, 0, 0, 1}, kYellow{1, 1, 0, 1}, kBlue{0, 0, 1, 1}, kGreen{0, 0.6, 0, 1},
    kPurple{0.5, 0, 0.5, 1}, kRust{0.8, 0.3, 0, 1}, kTeal{0, 0.5, 0.5, 1}, kOrange{1, 0.5, 0, 1},
    kDark{0.2, 0.2, 0.2, 1};
// The page's own drawing: a dark field under the highlighter and two texts.
const Rect kDarkField{300, 500, 280, 200};

AnnotationItem item(Shape shape, RGBA color, double lineWidth = 2, int64_t rotation = 0) {
    return makeItem(std::move(shape), color, lineWidth, rotation);
}
TextSpec spec(std::string text, double size, bool boxed) {
    return textSpec(std::move(text), size, boxed);
}

struct Items {
    AnnotationItem pen = item(InkShape{InkKind::pen, {{{50, 740}, {250, 740}}}}, kRed, 4);
    AnnotationItem highlighter =
        item(InkShape{InkKind::highlighter, {{{250, 680}, {540, 680}}}}, kYellow, 14);
    AnnotationItem signature =
        item(InkShape{InkKind::signature, {{{60, 620}, {90, 650}, {120, 600}, {150, 640}}}}, kBlue, 2);
    AnnotationItem boxed = item(TextShape{{320, 660}, spec("Boxed", 14, true)}, kGreen);
    AnnotationItem plain = item(TextShape{{320, 600}, spec("Plain", 14, false)}, kPurple);
    AnnotationItem arrow = item(ArrowShape{{50, 450}, {250, 450}, std::nullopt}, kRust, 2);
    AnnotationItem labelled = item(ArrowShape{{330, 450}, {530, 400}, spec("Label", 12, false)}, kTeal, 2);
    AnnotationItem note = item(NoteShape{{100, 300}, {140, 300}, spec("Remember", 12, true)}, kOrange);
    AnnotationItem empty = item(ArrowShape{{40, 40}, {40, 40}, std::nullopt}, kRed);
    AnnotationItem stamp = item(NoteShape{{100, 300}, {140, 300}, spec("Stamped", 12, true)}, kOrange);
    AnnotationItem turned = item(TextShape{{300, 400}, spec("Turned", 16, false)}, kRed, 1, 90);
};

// Page 0 holds every kind but stamps, page 1 a note as a stamp, page 2 (turned
// by 90) a text item; written once for all tests.
struct Fixture {
    Items items;
    std::vector<AnnotatedPageSpec> pages{3};
    TempDir dir;
    AnnotatedPdf pdf;

    Fixture() {
        pages[0].content = filledRectContent(kDarkField, kDark);
        pages[0].items = {items.pen,   items.highlighter, items.signature, items.boxed, items.plain,
                          items.arrow, items.labelled,    items.note,      items.empty};
        pages[1].items = {items.stamp};
        pages[1].notesAsStamps = true;
        pages[2].frame.rotate = 90;
        pages[2].items = {items.turned};
        pdf = writeAnnotatedPdf(pages);
        writeFile(file(), pdf.bytes);
    }
    std::filesystem::path file() const { return dir.file("annotated.pdf"); }
};

class AnnotationRendering : public ::testing::Test {
  protected:
    const Fixture& f = fixture();
    const Items& items_ = f.items;

    static const Fixture& fixture() {
        static const Fixture shared;
        return shared;
    }
    // Renders a page once with and once without its annotations.
    std::pair<RenderedPage, RenderedPage> render(int page) const {
        std::string error;
        auto shown = RenderedPage::render(f.file(), page, f.pages[size_t(page)].frame, {}, &error);
        auto hidden = RenderedPage::render(f.file(), page, f.pages[size_t(page)].frame, {72, true}, &error);
        if (!shown || !hidden) throw std::runtime_error(error);
        return {std::move(*shown), std::move(*hidden)};
    }
    const PlacedAnnotation& placed(const AnnotationItem& i) const { return *f.pdf.find(i.id); }
};

// Every pixel the annotations change lies inside (one pixel around, for
// anti-aliasing) the given page-space rectangles.
void expectChangesOnlyInside(const RenderedPage& shown, const RenderedPage& hidden,
                             const std::vector<Rect>& rects) {
    const auto diff = differingPixels(shown.raster(), hidden.raster(), 2);
    ASSERT_TRUE(diff);
    int outside = 0;
    for (auto [x, y] : *diff) {
        const bool inside = std::any_of(rects.begin(), rects.end(), [&](const Rect& r) {
            return shown.pixelBox(r).grown(1).contains(x, y);
        });
        if (!inside && ++outside <= 5)
            ADD_FAILURE() << "pixel (" << x << ", " << y << ") changed outside every Rect";
    }
    EXPECT_EQ(outside, 0);
}

int changedInside(const RenderedPage& shown, const RenderedPage& hidden, const Rect& r) {
    const auto box = shown.pixelBox(r);
    int count = 0;
    for (int y = box.top; y < box.bottom; ++y)
        for (int x = box.left; x < box.right; ++x)
            if (shown.raster().at(x, y).difference(hidden.raster().at(x, y)) > 2) ++count;
    return count;
}

}  // namespace

TEST_F(AnnotationRendering, QpdfFindsNoErrorOrWarning) {
    const CommandResult result = runQpdf({"--check", f.file().string()});
    EXPECT_EQ(result.status, 0) << result.out << result.err;
    EXPECT_EQ(result.out.find("WARNING"), std::string::npos) << result.out;
    EXPECT_EQ(result.err, "");
}

TEST_F(AnnotationRendering, EveryAnnotationPaintsOnlyInsideItsRect) {
    for (int page = 0; page < 3; ++page) {
        const auto [shown, hidden] = render(page);
        std::vector<Rect> rects;
        for (const PlacedAnnotation& a : f.pdf.annotations)
            if (a.pageIndex == page) rects.push_back(a.rect);
        expectChangesOnlyInside(shown, hidden, rects);
        for (const PlacedAnnotation& a : f.pdf.annotations) {
            if (a.pageIndex != page || a.id == items_.empty.id) continue;
            EXPECT_GT(changedInside(shown, hidden, a.rect), 20) << "page " << page << " item " << a.id.text();
        }
    }
}

TEST_F(AnnotationRendering, InkPaintsItsStrokeOnlyAndTheHighlighterMultipliesSoDarkStaysDark) {
    const auto [shown, hidden] = render(0);
    EXPECT_TRUE(shown.at({150, 740}).near(kRed)) << int(shown.at({150, 740}).g);
    EXPECT_TRUE(shown.at({150, 730}).isWhite());
    EXPECT_TRUE(shown.at({60.5, 620.5}).near(kBlue, 60));
    EXPECT_GT(shown.countNear(placed(items_.signature).rect, kBlue, 40), 40);
    EXPECT_TRUE(shown.at({100, 660}).isWhite());
    // The highlighter over white: 60 % white plus 40 % yellow.
    EXPECT_TRUE(shown.at({270, 680}).near({1, 1, 0.6, 1}, 12)) << int(shown.at({270, 680}).b);
    // Over the dark field, multiplying keeps red and green at the field's
    // 0.2 (a plain blend would lift them to 0.52) and darkens blue.
    const Pixel over = shown.at({400, 680});
    EXPECT_TRUE(over.near({0.2, 0.2, 0.12, 1}, 12))
        << int(over.r) << " " << int(over.g) << " " << int(over.b);
    EXPECT_TRUE(shown.at({400, 670}).near(kDark, 4));
}

TEST_F(AnnotationRendering, TextPaintsGlyphsOnlyBoxedAFrameAndArrowsShaftHeadAndLabel) {
    const auto [shown, hidden] = render(0);
    const PlacedBox boxed = ItemGeometry::placeText(items_.boxed.shape.text()->spec, {320, 660}, 0);
    const PlacedBox plain = ItemGeometry::placeText(items_.plain.shape.text()->spec, {320, 600}, 0);
    EXPECT_GT(shown.countNear(boxed.frame(), kGreen, 40), 15);
    EXPECT_GT(shown.countNear(plain.frame(), kPurple, 40), 15);
    // Between border and glyphs, the boxed text's white fill covers the
    // dark field; the plain text leaves it dark.
    const Point inBoxedMargin{boxed.frame().minX() + 3.5, boxed.frame().midY()};
    EXPECT_TRUE(shown.at(inBoxedMargin).near({0.944, 0.944, 0.944, 1}, 10)) << int(shown.at(inBoxedMargin).r);
    EXPECT_TRUE(shown.at({plain.frame().minX() + 0.5, plain.frame().maxY() - 0.5}).near(kDark, 4));
    EXPECT_TRUE(shown.at({boxed.frame().minX() + 0.5, boxed.frame().midY()}).near(kGreen, 90));
    // Arrows: shaft, head and label.
    EXPECT_TRUE(shown.at({150, 450}).near(kRust));
    EXPECT_TRUE(shown.at({150, 440}).isWhite());
    const auto head = ItemGeometry::arrowHead({50, 450}, {250, 450}, 2);
    ASSERT_TRUE(head);
    EXPECT_TRUE(shown.at((head->tip + head->left + head->right) / 3).near(kRust));
    EXPECT_TRUE(shown.at({430, 425}).near(kTeal, 40));
    const PlacedBox label =
        ItemGeometry::placeLabel(*items_.labelled.shape.arrow()->label, {330, 450}, {530, 400}, 0);
    EXPECT_GT(shown.countNear(label.frame(), kTeal, 40), 15);
}

TEST_F(AnnotationRendering, CollapsedNoteIconLandsWhereTheApplicationDrawsIt) {
    const auto [shown, hidden] = render(0);
    const Rect icon = ItemGeometry::noteIconFrame({100, 300}, 0);
    EXPECT_TRUE(placed(items_.note).rect.contains(Rect{98, 278, 24, 24}));
    // The icon's fill between its text lines.
    EXPECT_TRUE(shown.at({110, 290.5}).near(kOrange));
    // Stretched over the 24-point Rect, the outline would reach these.
    for (Point p : {Point{99.5, 290}, Point{120.5, 290}, Point{110, 300.5}, Point{110, 279.5}})
        EXPECT_TRUE(shown.at(p).isWhite()) << p.x << ", " << p.y;
    // Every other annotation's Rect, but only the icon for the note.
    std::vector<Rect> rects{icon};
    for (const PlacedAnnotation& a : f.pdf.annotations)
        if (a.pageIndex == 0 && a.id != items_.note.id) rects.push_back(a.rect);
    expectChangesOnlyInside(shown, hidden, rects);
}

TEST_F(AnnotationRendering, StampShowsIconBubbleAndConnector) {
    const auto [shown, hidden] = render(1);
    EXPECT_TRUE(shown.at({110, 290.5}).near(kOrange));
    const PlacedBox bubble = ItemGeometry::placeBubble(items_.stamp.shape.note()->spec, {140, 300}, 0);
    // The bubble's fill: 14 % of the colour over white.
    EXPECT_TRUE(shown.at({bubble.frame().minX() + 2.5, bubble.frame().midY()}).near({1, 0.93, 0.86, 1}, 8));
    EXPECT_GT(shown.countNear(bubble.frame(), {0.1, 0.1, 0.12, 1}, 40), 15);
    // The connector between icon and bubble, in the bubble's border colour.
    EXPECT_TRUE(shown.at({130, 290}).near({0.8, 0.4, 0, 1}, 60)) << int(shown.at({130, 290}).r);
}

TEST_F(AnnotationRendering, TextOnARotatedPageIsPaintedTurnedInsideItsRect) {
    const auto [shown, hidden] = render(2);
    EXPECT_EQ(shown.raster().width, 792);
    EXPECT_EQ(shown.raster().height, 612);
    const PlacedBox box = ItemGeometry::placeText(items_.turned.shape.text()->spec, {300, 400}, 90);
    EXPECT_GT(box.frame().height, box.frame().width);
    EXPECT_GT(shown.countNear(box.frame(), kRed, 40), 20);
    EXPECT_EQ(shown.countNear(Rect{0, 0, 612, 792}, kRed, 40), shown.countNear(box.frame(), kRed, 40));
}
