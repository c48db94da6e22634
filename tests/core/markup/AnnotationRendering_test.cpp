// Every kind of item written into a real PDF, checked with qpdf and poppler.
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

struct Items {
    AnnotationItem pen = makeItem(InkShape{InkKind::pen, {{{50, 740}, {250, 740}}}}, kRed, 4);
    AnnotationItem highlighter =
        makeItem(InkShape{InkKind::highlighter, {{{250, 680}, {540, 680}}}}, kYellow, 14);
    AnnotationItem signature =
        makeItem(InkShape{InkKind::signature, {{{60, 620}, {90, 650}, {120, 600}, {150, 640}}}}, kBlue, 2);
    AnnotationItem boxed = makeItem(TextShape{{320, 660}, textSpec("Boxed", 14, true)}, kGreen);
    AnnotationItem plain = makeItem(TextShape{{320, 600}, textSpec("Plain", 14, false)}, kPurple);
    AnnotationItem arrow = makeItem(ArrowShape{{50, 450}, {250, 450}, std::nullopt}, kRust, 2);
    AnnotationItem labelled =
        makeItem(ArrowShape{{330, 450}, {530, 400}, textSpec("Label", 12, false)}, kTeal, 2);
    AnnotationItem note =
        makeItem(NoteShape{{100, 300}, {140, 300}, textSpec("Remember", 12, true)}, kOrange);
    AnnotationItem empty = makeItem(ArrowShape{{40, 40}, {40, 40}, std::nullopt}, kRed);
    AnnotationItem stamp =
        makeItem(NoteShape{{100, 300}, {140, 300}, textSpec("Stamped", 12, true)}, kOrange);
    AnnotationItem turned = makeItem(TextShape{{300, 400}, textSpec("Turned", 16, false)}, kRed, 1, 90);
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

TEST_F(AnnotationRendering, HighlighterMultipliesSoDarkStaysDark) {
    const auto [shown, hidden] = render(0);
    // The highlighter over white: 60 % white plus 40 % yellow.
    EXPECT_TRUE(shown.at({270, 680}).near({1, 1, 0.6, 1}, 12)) << int(shown.at({270, 680}).b);
    // Over the dark field, multiplying keeps red and green at the field's
    // 0.2 (a plain blend would lift them to 0.52) and darkens blue.
    const Pixel over = shown.at({400, 680});
    EXPECT_TRUE(over.near({0.2, 0.2, 0.12, 1}, 12))
        << int(over.r) << " " << int(over.g) << " " << int(over.b);
    EXPECT_TRUE(shown.at({400, 670}).near(kDark, 4));
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
