// Marking the page's own text: quads from the selected characters on plain,
// turned, offset and cropped pages, one item per page, the keys and the
// tool, and markup that stays on its text.
#include <gtest/gtest.h>

#include <QMenu>
#include <map>
#include <regex>
#include <sstream>

#include "core/markup/Quad.h"
#include "support/EditorFixture.h"
#include "support/PdfFixtures.h"

namespace quillet {
namespace {

using namespace quillet::testing;

struct PageSpec {
    std::string name;
    std::string boxes;  // the page dictionary's boxes and rotation
    Rect mediaBox;      // what pdftotext measures from
    int rotation = 0;
    std::string content;  // before the text: moves it onto an offset media box
};

const std::vector<PageSpec>& pageSpecs() {
    static const std::vector<PageSpec> specs = {
        {"plain", "/MediaBox [0 0 400 300]", {0, 0, 400, 300}, 0, ""},
        {"next", "/MediaBox [0 0 400 300]", {0, 0, 400, 300}, 0, ""},
        {"turned 90", "/MediaBox [0 0 400 300] /Rotate 90", {0, 0, 400, 300}, 90, ""},
        {"turned 270", "/MediaBox [0 0 400 300] /Rotate 270", {0, 0, 400, 300}, 270, ""},
        {"offset media box", "/MediaBox [100 200 500 500]", {100, 200, 400, 300}, 0, "1 0 0 1 100 200 cm "},
        {"cropped", "/MediaBox [0 0 400 300] /CropBox [30 40 380 290]", {0, 0, 400, 300}, 0, ""},
    };
    return specs;
}

// Three lines of Helvetica on each page.
Bytes textPages() {
    PdfBuilder b;
    const auto& specs = pageSpecs();
    std::string kids;
    for (size_t i = 0; i < specs.size(); ++i) kids += std::to_string(10 + 2 * i) + " 0 R ";
    b.addRaw(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.addRaw(2, "<< /Type /Pages /Count " + std::to_string(specs.size()) + " /Kids [" + kids +
                    "] /Resources << /Font << /F1 3 0 R >> >> >>");
    b.addRaw(3, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>");
    for (size_t i = 0; i < specs.size(); ++i) {
        const int64_t page = 10 + 2 * static_cast<int64_t>(i);
        b.addRaw(page, "<< /Type /Page /Parent 2 0 R " + specs[i].boxes + " /Contents " +
                           std::to_string(page + 1) + " 0 R >>");
        b.addStream(page + 1, PDFDictionary{},
                    specs[i].content +
                        "BT /F1 14 Tf 50 200 Td (alpha beta gamma) Tj 0 -20 Td (delta epsilon zeta) Tj "
                        "0 -20 Td (eta theta iota) Tj ET\n");
    }
    b.finishWithTable(PDFDictionary{{"Size", PDFValue::integer(10 + 2 * static_cast<int64_t>(specs.size()))},
                                    {"Root", PDFValue::ref(1, 0)}});
    return b.bytes();
}

// pdftotext's box of every word, page by page, in its own space: the media
// box as shown (turned, origin top left).
std::vector<std::map<std::string, Rect>> wordBoxes(const std::filesystem::path& pdf) {
    const CommandResult run = runCommand({"pdftotext", "-bbox", pdf.string(), "-"});
    std::vector<std::map<std::string, Rect>> pages;
    std::istringstream lines(run.out);
    const std::regex word(R"re(xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">(\w+)<)re");
    for (std::string line; std::getline(lines, line);) {
        if (line.find("<page ") != std::string::npos) pages.emplace_back();
        std::smatch m;
        if (!pages.empty() && std::regex_search(line, m, word)) {
            const double x0 = std::stod(m[1]), y0 = std::stod(m[2]), x1 = std::stod(m[3]),
                         y1 = std::stod(m[4]);
            pages.back().emplace(m[5], Rect{x0, y0, x1 - x0, y1 - y0});
        }
    }
    return pages;
}

class TextMarkupTest : public EditorTest {
  protected:
    Bytes fixture() const override { return textPages(); }

    // pdftotext's space of a page and back to page space.
    static PDFPageGeometry measured(int page) {
        const PageSpec& spec = pageSpecs()[static_cast<size_t>(page)];
        return PDFPageGeometry{toQRectF(spec.mediaBox), spec.rotation};
    }
    // A viewport point from pdftotext's space.
    QPointF viewPoint(int page, QPointF measuredPoint) const {
        return view->toViewport(page, measured(page).toPage(measuredPoint));
    }
    // Drags over a word along its longer side, with the current tool.
    void dragOver(int page, const Rect& word) {
        if (word.width >= word.height) {
            dragView(viewPoint(page, {word.minX() + 1, word.midY()}),
                     viewPoint(page, {word.maxX() - 1, word.midY()}));
        } else {
            dragView(viewPoint(page, {word.midX(), word.minY() + 1}),
                     viewPoint(page, {word.midX(), word.maxY() - 1}));
        }
    }
    // A quad in pdftotext's space.
    static Rect measuredBounds(int page, const Quad& quad) {
        const PDFPageGeometry g = measured(page);
        Rect r = Rect::null();
        for (Point p : {quad.upperLeft, quad.upperRight, quad.lowerLeft, quad.lowerRight}) {
            const QPointF d = g.toDisplay(QPointF(p.x, p.y));
            r = r.unitedWith({d.x(), d.y()});
        }
        return r;
    }
    std::vector<std::map<std::string, Rect>> words() { return wordBoxes(dir.file("markup.pdf")); }
};

TEST_F(TextMarkupTest, AHighlightedWordsQuadIsWherePdftotextFindsTheWordOnEveryKindOfPage) {
    const auto boxes = words();
    ASSERT_EQ(boxes.size(), pageSpecs().size()) << "pdftotext -bbox";
    editor->setTool(Tool::textHighlight);
    for (int page : {0, 2, 3, 4, 5}) {
        const std::string& name = pageSpecs()[static_cast<size_t>(page)].name;
        view->goToPage(page);
        const Rect beta = boxes[static_cast<size_t>(page)].at("beta");
        dragOver(page, beta);
        ASSERT_EQ(items(page).size(), 1u) << name;
        const TextMarkupShape* markup = items(page)[0].shape.markup();
        ASSERT_TRUE(markup) << name;
        EXPECT_EQ(markup->kind, TextMarkupKind::highlight);
        EXPECT_EQ(markup->text, "beta") << name;
        ASSERT_EQ(markup->quads.size(), 1u) << name;
        const Rect got = measuredBounds(page, markup->quads[0]);
        EXPECT_NEAR(got.minX(), beta.minX(), 0.5) << name;
        EXPECT_NEAR(got.maxX(), beta.maxX(), 0.5) << name;
        EXPECT_NEAR(got.minY(), beta.minY(), 0.5) << name;
        EXPECT_NEAR(got.maxY(), beta.maxY(), 0.5) << name;
        // The text is upright in page space on every page (on the turned ones
        // the page, not the text, is turned): its quad's upper edge is above.
        const Quad& q = markup->quads[0];
        EXPECT_GT(q.upperLeft.y, q.lowerLeft.y + 5) << name;
        EXPECT_GT(q.upperRight.x, q.upperLeft.x + 5) << name;
    }
    EXPECT_EQ(undo.count(), 5);
    EXPECT_EQ(undo.text(0), "Highlight Text");
}

TEST_F(TextMarkupTest, ASelectionOverThreeLinesAndAPageBreakMarksEachPageOnceInOneStep) {
    const auto boxes = words();
    ASSERT_GE(boxes.size(), 2u);
    // Select from "alpha" on the first page to "alpha" on the next, then H.
    dragView(viewPoint(0, {boxes[0].at("alpha").minX() + 1, boxes[0].at("alpha").midY()}),
             viewPoint(1, {boxes[1].at("alpha").maxX() - 1, boxes[1].at("alpha").midY()}));
    ASSERT_TRUE(view->hasTextSelection());
    EXPECT_TRUE(key(Qt::Key_H, {}, 0, QStringLiteral("h")));
    ASSERT_EQ(items(0).size(), 1u);
    ASSERT_EQ(items(1).size(), 1u);
    EXPECT_EQ(items(0)[0].shape.markup()->quads.size(), 3u);
    EXPECT_EQ(items(1)[0].shape.markup()->quads.size(), 1u);
    EXPECT_EQ(items(0)[0].shape.markup()->text, "alpha beta gamma\ndelta epsilon zeta\neta theta iota");
    EXPECT_EQ(items(1)[0].shape.markup()->text, "alpha");
    EXPECT_FALSE(view->hasTextSelection());
    EXPECT_EQ(editor->tool(), Tool::select) << "H highlighted rather than chose the highlighter";
    EXPECT_EQ(undo.count(), 1);
    undo.undo();
    EXPECT_TRUE(items(0).empty());
    EXPECT_TRUE(items(1).empty());

    // Without a selection H is the highlighter's key as ever.
    EXPECT_TRUE(key(Qt::Key_H, {}, 0, QStringLiteral("h")));
    EXPECT_EQ(editor->tool(), Tool::highlighter);
}

TEST_F(TextMarkupTest, MarkupOverTextIsSelectedByItsWordsAndStaysOnThem) {
    const Rect gamma = words()[0].at("gamma");
    dragOver(0, gamma);
    ASSERT_TRUE(editor->markSelectedText(TextMarkupKind::underline));
    ASSERT_EQ(items(0).size(), 1u);
    const AnnotationItem made = items(0)[0];
    EXPECT_EQ(made.color, ToolStyle::builtInDefault(Tool::underline)->color);
    // A click on the word (not just on its line) selects the item ...
    mouse(QEvent::MouseButtonPress, viewPoint(0, {gamma.midX(), gamma.minY() + 2}), Qt::LeftButton);
    EXPECT_EQ(editor->selectedID(), made.id);
    // ... a drag and the arrow keys leave it where its text is.
    mouse(QEvent::MouseMove, viewPoint(0, {gamma.midX() + 40, gamma.minY() + 30}), Qt::LeftButton);
    mouse(QEvent::MouseButtonRelease, viewPoint(0, {gamma.midX() + 40, gamma.minY() + 30}), Qt::NoButton);
    key(Qt::Key_Right);
    EXPECT_EQ(items(0)[0], made);
    EXPECT_EQ(undo.count(), 1);
    // Deleting it is one step like any other item.
    EXPECT_TRUE(editor->deleteSelection());
    EXPECT_TRUE(items(0).empty());
}

// The entry of the menu on screen with this title.
QAction* entry(QMenu* menu, const QString& title) {
    for (QAction* a : menu ? menu->actions() : QList<QAction*>{})
        if (a->text() == title) return a;
    return nullptr;
}

TEST_F(TextMarkupTest, TheMenuOnSelectedTextMarksItAndTheMenuOnMarkupChangesItsKind) {
    const Rect zeta = words()[0].at("zeta");
    dragOver(0, zeta);
    const QPoint on = viewPoint(0, {zeta.midX(), zeta.midY()}).toPoint();
    QContextMenuEvent onSelection(QContextMenuEvent::Mouse, on, view->viewport()->mapToGlobal(on));
    ASSERT_TRUE(editor->contextMenu(&onSelection));
    QAction* underline = entry(editor->contextMenuShown(), QStringLiteral("Underline"));
    ASSERT_NE(underline, nullptr);
    EXPECT_NE(entry(editor->contextMenuShown(), QStringLiteral("Copy")), nullptr);
    underline->trigger();
    ASSERT_EQ(items(0).size(), 1u);
    EXPECT_EQ(items(0)[0].shape.markup()->kind, TextMarkupKind::underline);
    editor->contextMenuShown()->close();

    QContextMenuEvent onItem(QContextMenuEvent::Mouse, on, view->viewport()->mapToGlobal(on));
    ASSERT_TRUE(editor->contextMenu(&onItem));
    EXPECT_EQ(entry(editor->contextMenuShown(), QStringLiteral("Duplicate Markup")), nullptr)
        << "a copy of markup over text has no text to lie on";
    QAction* strike = entry(editor->contextMenuShown(), QStringLiteral("Strike Out"));
    ASSERT_NE(strike, nullptr);
    strike->trigger();
    EXPECT_EQ(items(0)[0].shape.markup()->kind, TextMarkupKind::strikeOut);
    EXPECT_EQ(undo.count(), 2);
    EXPECT_EQ(undo.text(1), "Change Markup");
    undo.undo();
    EXPECT_EQ(items(0)[0].shape.markup()->kind, TextMarkupKind::underline);
}

}  // namespace
}  // namespace quillet
