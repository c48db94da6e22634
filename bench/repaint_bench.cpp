// Repainting a page that holds 10,000 items at 100 % zoom, as the page view
// does it (the cached page image, then the store's items), against Poppler
// rendering the same page with the same items saved as annotations:
//   first paint: every appearance built and rasterized;
//   repaint: appearances and rasters kept;
//   one item changed: the changed item rebuilt, all others reused (the
//     counts of appearance builds and rasterizations say so).
//   repaint_bench [ITEMS]
// Prints medians and 99th percentiles in milliseconds.
#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/document/AnnotationStore.h"
#include "app/document/SaveEngine.h"
#include "app/platform/PopplerPDFDocument.h"
#include "app/view/ItemPainter.h"
#include "bench/BenchPDF.h"
#include "core/markup/ItemGeometry.h"

using namespace quillet;
using Clock = std::chrono::steady_clock;

namespace {

constexpr double kPageWidth = 595, kPageHeight = 842;

class EmptyPages : public PageItemSource {
  public:
    std::optional<std::vector<StoredAnnotation>> readPage(int) override {
        return std::vector<StoredAnnotation>{};
    }
    std::string failureText() const override { return {}; }
};

// One empty A4 page.
void writeBlankPage(const std::string& path) {
    const std::vector<std::string> objects = {
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Count 1 /Kids [3 0 R] >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] >>",
    };
    quillet::bench::writeObjectsPDF(path, objects);
}

// A page's worth of mixed markup: mostly short pen strokes, with
// highlighter marks, arrows and text boxes among them. No notes: each saves
// as two annotations (its pop-up), and Poppler refuses a page with more than
// 10,000 annotations.
AnnotationItem itemNumber(int i) {
    const double x = 20 + (i * 7919LL % 540), y = 20 + (i * 104'729LL % 790);
    const auto now = AnnotationItem::currentModificationTime();
    const RGBA color(0.1 * (i % 7), 0.2, 0.9 - 0.1 * (i % 5), 1);
    switch (i % 20) {
        case 0: {
            TextSpec spec;
            spec.text = "Note " + std::to_string(i);
            spec.fontSize = 9;
            spec.boxed = i % 40 == 0;
            return AnnotationItem(UUID::random(), TextShape{{x, y}, spec}, color, 1, 0, now);
        }
        case 1:
        case 2:
        case 3:
            return AnnotationItem(UUID::random(), ArrowShape{{x, y}, {x + 25, y + 12}, std::nullopt}, color,
                                  1.5, 0, now);
        case 4:
            return AnnotationItem(UUID::random(), InkShape{InkKind::highlighter, {{{x, y}, {x + 40, y}}}},
                                  RGBA(1, 0.9, 0, 1), 10, 0, now);
        default: {
            std::vector<Point> stroke;
            for (int k = 0; k < 6; ++k) stroke.push_back({x + 4 * k, y + 3 * std::sin(k + i)});
            return AnnotationItem(UUID::random(), InkShape{InkKind::pen, {stroke}}, color, 1.5, 0, now);
        }
    }
}

double ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

void report(const char* what, std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    const auto at = [&](double q) {
        return samples[std::min(samples.size() - 1, static_cast<size_t>(q * samples.size()))];
    };
    std::printf("%-44s n=%-3zu median %8.3f ms   p99 %8.3f ms\n", what, samples.size(), at(0.5), at(0.99));
}

}  // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const int count = argc > 1 ? std::atoi(argv[1]) : 10'000;
    QTemporaryDir scratch;
    const std::string blank = (scratch.path() + "/blank.pdf").toStdString();
    const std::string marked = (scratch.path() + "/marked.pdf").toStdString();
    writeBlankPage(blank);

    std::vector<AnnotationItem> items;
    for (int i = 0; i < count; ++i) items.push_back(itemNumber(i));
    SaveJob job;
    job.source = blank;
    job.documentPath = blank;
    job.pageCount = 1;
    job.pages[0] = items;
    SaveEngine().run(job, marked);
    if (const char* keep = std::getenv("REPAINT_BENCH_KEEP")) std::filesystem::copy_file(marked, keep);

    // Poppler drawing the saved file: the page with its 10,000 annotations.
    auto pdf = PopplerPDFDocument::open(QString::fromStdString(marked));
    auto plain = PopplerPDFDocument::open(QString::fromStdString(blank));
    std::vector<double> poppler, page;
    QImage cachedPage;
    for (int round = 0; round < 7; ++round) {
        auto start = Clock::now();
        QImage withAnnotations = pdf->renderPage(0, 1.0, {});
        poppler.push_back(ms(Clock::now() - start));
        start = Clock::now();
        cachedPage = plain->renderPage(0, 1.0, {});
        page.push_back(ms(Clock::now() - start));
    }

    // The page view: the page image it keeps, then the items over it.
    AnnotationStore store(1, std::make_shared<EmptyPages>());
    std::vector<StoreChange::Insertion> insertions;
    for (int i = 0; i < count; ++i) insertions.push_back({items[static_cast<size_t>(i)], 0, i});
    store.apply(StoreChange::insert(std::move(insertions)));
    const QTransform pageToView(1, 0, 0, -1, 0, kPageHeight);
    QImage view(int(kPageWidth), int(kPageHeight), QImage::Format_ARGB32_Premultiplied);
    ItemPainter::PageItemLayers composed;
    auto repaint = [&] {
        QPainter painter(&view);
        painter.drawImage(0, 0, cachedPage);
        ItemPainter::paintAnnotations(painter, store.annotationsOnPage(0), pageToView, false,
                                      QRectF(0, 0, kPageWidth, kPageHeight), &composed);
    };
    auto start = Clock::now();
    repaint();
    const double first = ms(Clock::now() - start);

    std::vector<double> warm;
    for (int round = 0; round < 30; ++round) {
        start = Clock::now();
        repaint();
        warm.push_back(ms(Clock::now() - start));
    }

    // Where a repaint's time goes: the store's list of the page's items, and
    // drawing the page image alone.
    std::vector<double> lookup, pageOnly;
    for (int round = 0; round < 30; ++round) {
        start = Clock::now();
        const auto list = store.annotationsOnPage(0);
        lookup.push_back(ms(Clock::now() - start));
        start = Clock::now();
        QPainter painter(&view);
        painter.drawImage(0, 0, cachedPage);
        painter.end();
        pageOnly.push_back(ms(Clock::now() - start));
    }

    std::vector<double> changed;
    const int64_t builtBefore = ItemAnnotation::appearanceBuildCount();
    const int64_t rasterizedBefore = ItemPainter::rasterizedCount();
    const int64_t recomposedBefore = composed.recomposedPixels();
    const int rounds = 30;
    for (int round = 0; round < rounds; ++round) {
        const AnnotationItem moved =
            ItemGeometry::translated(items[static_cast<size_t>(5 + 20 * round)], 1, 1);
        store.apply(StoreChange::replace({moved}));
        start = Clock::now();
        repaint();
        changed.push_back(ms(Clock::now() - start));
    }

    std::printf("%d items on one A4 page at 100 %% zoom (%d x %d pixels), saved file %.1f MB\n", count,
                view.width(), view.height(), double(std::filesystem::file_size(marked)) / 1e6);
    report("Poppler: page with the items as annotations", poppler);
    report("Poppler: the page alone", page);
    std::printf("%-44s n=1   %15.3f ms\n", "ours: first paint (build + rasterize)", first);
    report("ours: repaint, everything kept", warm);
    report("ours: repaint after one item changed", changed);
    report("  of which the store's item list", lookup);
    report("  of which the page image", pageOnly);
    std::printf("per changed item: %.2f appearances built, %.2f items rasterized, %.0f pixels recomposed\n",
                double(ItemAnnotation::appearanceBuildCount() - builtBefore) / rounds,
                double(ItemPainter::rasterizedCount() - rasterizedBefore) / rounds,
                double(composed.recomposedPixels() - recomposedBefore) / rounds);
    return 0;
}
