// Printing to a PDF file, read back by pdftoppm: what the page shows, turned to
// the paper, as vectors or renders; off the main thread, and cancellable.
#include "app/ui/DocumentPrinter.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QPrinter>
#include <QThread>
#include <QTimer>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <set>

#include "app/document/AnnotationStore.h"
#include "app/document/FilePageItemSource.h"
#include "app/platform/RasterFidelity.h"
#include "core/save/SaveTestItems.h"
#include "support/AnnotatedPdf.h"
#include "support/ForwardingPDFDocument.h"
#include "support/QtTestSupport.h"
#include "support/RasterCompare.h"

namespace quillet::testing {
namespace {

// The real document, each render noting its thread and held until the main
// thread, handling its events, lets the first one go.
class HeldRenders : public ForwardingPDFDocument {
  public:
    using ForwardingPDFDocument::ForwardingPDFDocument;
    QImage renderPage(int page, double scale, const QSet<QString>& hidden) override {
        std::unique_lock lock(mutex);
        threads.insert(QThread::currentThread());
        waiting = true;
        if (!changed.wait_for(lock, std::chrono::seconds(10), [this] { return released; })) {
            heldTooLong = true;
        }
        waiting = false;
        lock.unlock();
        return ForwardingPDFDocument::renderPage(page, scale, hidden);
    }

    void releaseWhenWaiting() {
        std::lock_guard lock(mutex);
        released = released || waiting;
        changed.notify_all();
    }

    std::mutex mutex;
    std::condition_variable changed;
    bool waiting = false;
    bool released = false;
    bool heldTooLong = false;
    std::set<QThread*> threads;
};

constexpr int rasterDPI = 72;   // one pixel per point of paper
constexpr int rotatedPage = 3;  // /Rotate 90, shown 300 x 200

// A printer writing a PDF file to `output`.
void printToFile(QPrinter& printer, const std::filesystem::path& output) {
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(qpath(output));
}

class DocumentPrinterTest : public ::testing::Test {
  protected:
    void SetUp() override {
        testApplication();
        writeFile(dir.file("markup.pdf"), markupFixture());
        pdf = openPDFDocument(qpath(dir.file("markup.pdf")));
        store = std::make_shared<AnnotationStore>(pdf->pageCount(), std::make_shared<EmptyPages>());
    }

    // Prints `page` (0-based) on A4 paper without margins; the printed page as pdftoppm sees it.
    QImage printed(int page, QPageLayout::Orientation orientation) {
        QPrinter printer;
        printToFile(printer, output);
        printer.setPageSize(QPageSize(QPageSize::A4));
        printer.setPageOrientation(orientation);
        printer.setFullPage(true);
        printer.setPrintRange(QPrinter::PageRange);
        printer.setFromTo(page + 1, page + 1);
        EXPECT_TRUE(DocumentPrinter::print(printer, pdf, store, QStringLiteral("markup.pdf"), true));
        return rasterisePage(output, 1, rasterDPI);
    }

    TempDir dir;
    std::filesystem::path output = dir.file("printed.pdf");
    std::shared_ptr<PDFDocument> pdf;
    std::shared_ptr<AnnotationStore> store;
};

TEST_F(DocumentPrinterTest, UnsavedMarkupIsPrintedWhereThePageShowsIt) {
    // A thick red stroke the file knows nothing about.
    ASSERT_TRUE(store->apply(
        StoreChange::insert(inkItem(1, {{150, 250}, {250, 250}}, {1, 0, 0, 1}, InkKind::pen, 12), 0, 0)));
    const QImage paper = printed(0, QPageLayout::Portrait);
    ASSERT_FALSE(paper.isNull());
    EXPECT_EQ(paper.size(), QSize(595, 842));
    // The 300 x 400 page at its own size, centred on A4: its origin is at (147.5, 221).
    const QPointF origin(147.5, 221);
    for (double x : {160.0, 200.0, 240.0}) {
        EXPECT_TRUE(isRed(paper.pixelColor((origin + pdf->pageGeometry(0)->toDisplay({x, 250})).toPoint())))
            << x;
    }
    EXPECT_TRUE(
        isWhite(paper.pixelColor((origin + pdf->pageGeometry(0)->toDisplay(QPointF(200, 200))).toPoint())));
}

TEST_F(DocumentPrinterTest, RotatedPagePrintsAsShownAndTurnsToThePapersOrientation) {
    const PDFPageGeometry geometry = *pdf->pageGeometry(rotatedPage);
    ASSERT_EQ(geometry.displaySize(), QSizeF(300, 200));
    const QPointF green = geometry.toDisplay(rotatedGreen.center());
    const QPointF pageCentre(150, 100);

    // Landscape paper: upright, centred, no turn.
    const QImage landscape = printed(rotatedPage, QPageLayout::Landscape);
    ASSERT_EQ(landscape.size(), QSize(842, 595));
    EXPECT_TRUE(isGreen(landscape.pixelColor((QPointF(421, 297.5) - pageCentre + green).toPoint())));

    // Portrait paper: the landscape page turns a quarter clockwise.
    const QImage portrait = printed(rotatedPage, QPageLayout::Portrait);
    ASSERT_EQ(portrait.size(), QSize(595, 842));
    const QPointF fromCentre = green - pageCentre;
    EXPECT_TRUE(isGreen(
        portrait.pixelColor((QPointF(297.5, 421) + QPointF(-fromCentre.y(), fromCentre.x())).toPoint())));
    // Where it would be unturned there is none.
    EXPECT_FALSE(isGreen(portrait.pixelColor((QPointF(297.5, 421) + fromCentre).toPoint())));
}

TEST_F(DocumentPrinterTest, TheFilesCopyOfAnItemIsLeftOutAlsoWithoutItsName) {
    // Our red stroke saved in the file, its /NM then dropped by another program
    // (same length, so offsets stay valid); deleted in the store, not saved yet.
    const AnnotationItem saved = inkItem(1, {{100, 150}, {200, 150}}, {1, 0, 0, 1}, InkKind::pen, 12);
    Bytes bytes = writeAnnotatedPdf({{PageFrame{Rect{0, 0, 300, 300}, 0}, "", {saved}}}).bytes;
    for (size_t at = bytes.find("/NM"); at != Bytes::npos; at = bytes.find("/NM", at)) {
        bytes.replace(at, 3, "/XM");
    }
    writeFile(dir.file("unnamed.pdf"), bytes);
    pdf = openPDFDocument(qpath(dir.file("unnamed.pdf")));
    store = std::make_shared<AnnotationStore>(
        1, std::make_shared<FilePageItemSource>(dir.file("unnamed.pdf"), std::nullopt));
    ASSERT_EQ(store->itemsOnPage(0).size(), 1u);
    ASSERT_TRUE(store->apply(StoreChange::remove({saved.id})));
    const QImage paper = printed(0, QPageLayout::Portrait);
    ASSERT_FALSE(paper.isNull());
    // The 300 x 300 page centred on A4: its origin is at (147.5, 271).
    EXPECT_TRUE(isWhite(paper.pixelColor(
        (QPointF(147.5, 271) + pdf->pageGeometry(0)->toDisplay(QPointF(150, 150))).toPoint())));
}

// A red square seen through a soft mask that lets only its left half through:
// something the painter backend cannot draw.
Bytes softMaskedPage() {
    PdfBuilder builder;
    builder.addRaw(1, "<< /Type /Catalog /Pages 2 0 R >>");
    builder.addRaw(2, "<< /Type /Pages /Count 1 /Kids [3 0 R] >>");
    builder.addRaw(3,
                   "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 300 300] /Contents 4 0 R "
                   "/Resources << /ExtGState << /G1 5 0 R >> >> >>");
    builder.addStream(4, {}, "q /G1 gs 1 0 0 rg 50 50 200 200 re f Q\n");
    builder.addRaw(5, "<< /Type /ExtGState /SMask << /Type /Mask /S /Luminosity /G 6 0 R >> >>");
    builder.addStream(
        6,
        PDFDictionary{{"Type", PDFValue::name("XObject")},
                      {"Subtype", PDFValue::name("Form")},
                      {"BBox", PDFValue::array({PDFValue::integer(0), PDFValue::integer(0),
                                                PDFValue::integer(300), PDFValue::integer(300)})},
                      {"Group", PDFValue::dict({{"S", PDFValue::name("Transparency")},
                                                {"CS", PDFValue::name("DeviceGray")}})}},
        "1 g 0 0 150 300 re f\n");
    builder.finishWithTable(PDFDictionary{{"Size", PDFValue::integer(7)}, {"Root", PDFValue::ref(1, 0)}});
    return builder.bytes();
}

// Every page of `pdf` on paper of its own size, to `output`.
bool printWhole(const std::shared_ptr<PDFDocument>& pdf, const std::filesystem::path& output) {
    QPrinter printer;
    printToFile(printer, output);
    printer.setPageSize(QPageSize(pdf->pageGeometry(0)->displaySize(), QPageSize::Point));
    printer.setFullPage(true);
    auto store = std::make_shared<AnnotationStore>(pdf->pageCount(), std::make_shared<EmptyPages>());
    return DocumentPrinter::print(printer, pdf, store, QStringLiteral("printed"), true);
}

TEST_F(DocumentPrinterTest, PagesPrintAsVectorsThatKeepTheirTextAndLookAsRendered) {
    const std::filesystem::path welcome =
        std::filesystem::path(QUILLET_SOURCE_DIR) / "samples" / "welcome.pdf";
    std::shared_ptr<PDFDocument> sample(openPDFDocument(qpath(welcome)));
    ASSERT_TRUE(printWhole(sample, output));

    const CommandResult text = runCommand({"pdftotext", output.string(), "-"});
    EXPECT_NE(text.out.find("Welcome to Verda Edits PDF"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("Opening your own files"), std::string::npos);
    const CommandResult images = runCommand({"pdfimages", "-list", output.string()});
    EXPECT_EQ(std::count(images.out.begin(), images.out.end(), '\n'), 2) << "no page became a picture:\n"
                                                                         << images.out;
    for (int page = 1; page <= sample->pageCount(); ++page) {
        EXPECT_GE(RasterFidelity::matchingShare(rasterisePage(output, page, 150),
                                                rasterisePage(welcome, page, 150)),
                  RasterFidelity::faithfulShare)
            << "page " << page;
    }
}

TEST_F(DocumentPrinterTest, APageTheVectorsWouldDrawWronglyPrintsAsItsRender) {
    writeFile(dir.file("masked.pdf"), softMaskedPage());
    std::shared_ptr<PDFDocument> masked(openPDFDocument(qpath(dir.file("masked.pdf"))));
    ASSERT_TRUE(printWhole(masked, output));

    const QImage paper = rasterisePage(output, 1, rasterDPI);
    ASSERT_EQ(paper.size(), QSize(300, 300));
    EXPECT_TRUE(isRed(paper.pixelColor(100, 150)));
    EXPECT_TRUE(isWhite(paper.pixelColor(200, 150))) << "the mask hides the square's right half";
    const CommandResult images = runCommand({"pdfimages", "-list", output.string()});
    EXPECT_GT(std::count(images.out.begin(), images.out.end(), '\n'), 2) << images.out;
}

TEST(DocumentPrinterLayout, PagesLargerThanThePaperAreScaledDownToFit) {
    const QRectF paper(0, 0, 600, 800);
    // 72 dpi: one pixel per point. A 1200 x 1600 page is halved; a small one keeps its size.
    EXPECT_EQ(DocumentPrinter::displayToPaper({1200, 1600}, paper, 72).mapRect(QRectF(0, 0, 1200, 1600)),
              paper);
    EXPECT_EQ(DocumentPrinter::displayToPaper({300, 400}, paper, 72).mapRect(QRectF(0, 0, 300, 400)),
              QRectF(150, 200, 300, 400));
    EXPECT_EQ(DocumentPrinter::displayToPaper({1600, 1200}, paper, 72).mapRect(QRectF(0, 0, 1600, 1200)),
              paper);
}

TEST_F(DocumentPrinterTest, PagesRenderOffTheMainThreadWhileItHandlesEvents) {
    auto held = std::make_shared<HeldRenders>(pdf);
    QTimer mainThreadEvents;
    QObject::connect(&mainThreadEvents, &QTimer::timeout, [&] { held->releaseWhenWaiting(); });
    mainThreadEvents.start(1);
    QPrinter printer;
    printToFile(printer, output);
    EXPECT_TRUE(DocumentPrinter::print(printer, held, store, QStringLiteral("markup.pdf"), true));
    EXPECT_FALSE(held->heldTooLong) << "the main thread was stuck in a render";
    EXPECT_FALSE(held->threads.empty());
    EXPECT_FALSE(held->threads.contains(QThread::currentThread()));
    EXPECT_EQ(printer.outputFileName(), qpath(output));
}

TEST_F(DocumentPrinterTest, CancellingStopsTheJobAndLeavesTheFileAsItWas) {
    writeFile(output, "the earlier print");
    QPrinter printer;
    printToFile(printer, output);
    int calls = 0;
    EXPECT_FALSE(DocumentPrinter::print(printer, pdf, store, QStringLiteral("markup.pdf"), true,
                                        [&](int, int) { return ++calls < 2; }));
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(readFile(output), "the earlier print");
    EXPECT_EQ(QDir(qpath(dir.path())).entryList(QDir::Files | QDir::Hidden),
              (QStringList{"markup.pdf", "printed.pdf"}));
}

TEST_F(DocumentPrinterTest, AJobEndedWhileAnotherRunsNeitherWaitsForItNorWrites) {
    QPrinter first;
    QPrinter second;
    printToFile(first, output);
    printToFile(second, dir.file("ended.pdf"));
    PrintJob running(first, pdf, store, QStringLiteral("markup.pdf"), true);
    std::optional<bool> printed;
    QObject::connect(&running, &PrintJob::finished, [&](bool ok) { printed = ok; });
    auto* ended = new PrintJob(second, pdf, store, QStringLiteral("markup.pdf"), true);
    running.start();
    ended->start();
    delete ended;  // the other job's worker may be waiting for this thread meanwhile
    ASSERT_TRUE(pumpUntil([&] { return printed.has_value(); }, std::chrono::seconds(60)));
    EXPECT_TRUE(*printed);
    EXPECT_FALSE(std::filesystem::exists(dir.file("ended.pdf")));
}

}  // namespace
}  // namespace quillet::testing
