// The editor's latency on a heavy page, as a user drawing feels it:
//   input to overlay: a synthetic mouse move of a 2,000-point pen stroke to the
//     end of the repaint it causes (page, items and the editor's drawing), on
//     the page alone and again over 10,000 items;
//   commit and undo: releasing a pen stroke (simplify, store, undo step) and
//     undoing it, on a page that already holds 10,000 items.
//   editor_bench [PDF [PAGE]]   without a PDF, a generated page of 40,000 strokes
// Prints medians, 99th percentiles and maxima in milliseconds.
#include <QApplication>
#include <QMouseEvent>
#include <QSettings>
#include <QTemporaryDir>
#include <QUndoStack>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "app/document/AnnotationStore.h"
#include "app/editor/EditorController.h"
#include "app/editor/ToolSettings.h"
#include "app/view/PageView.h"
#include "bench/BenchPDF.h"

using namespace quillet;
using Clock = std::chrono::steady_clock;

namespace {

class EmptyPages : public PageItemSource {
  public:
    std::optional<std::vector<StoredAnnotation>> readPage(int) override {
        return std::vector<StoredAnnotation>{};
    }
    std::string failureText() const override { return {}; }
};

// One A4 page of 40,000 short strokes in an uncompressed content stream.
void writeHeavyPage(const std::string& path) {
    std::string content;
    for (int i = 0; i < 40'000; ++i) {
        const double x = 20 + (i * 7919LL % 555), y = 20 + (i * 104'729LL % 800);
        content += std::to_string(x) + " " + std::to_string(y) + " m " + std::to_string(x + 3) + " " +
                   std::to_string(y + 2) + " l S\n";
    }
    std::vector<std::string> objects = {
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Count 1 /Kids [3 0 R] >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] /Contents 4 0 R >>",
        "<< /Length " + std::to_string(content.size()) + " >>\nstream\n" + content + "endstream",
    };
    quillet::bench::writeObjectsPDF(path, objects);
}

double ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

void report(const char* what, std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    const auto at = [&](double q) {
        return samples[std::min(samples.size() - 1, static_cast<size_t>(q * samples.size()))];
    };
    std::printf("%-34s n=%-5zu median %7.3f ms   p99 %7.3f ms   max %7.3f ms\n", what, samples.size(),
                at(0.5), at(0.99), samples.back());
}

void mouse(PageView& view, QEvent::Type type, QPointF at, Qt::MouseButtons buttons) {
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, at, view.viewport()->mapToGlobal(at), button, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(view.viewport(), &event);
}

// Counts the paint events a widget receives.
class PaintCounter : public QObject {
  public:
    int paints = 0;

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            ++paints;
        }
        return false;
    }
};

void settle(int ms) {
    const auto end = Clock::now() + std::chrono::milliseconds(ms);
    while (Clock::now() < end) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    QTemporaryDir scratch;
    std::string pdfPath = argc > 1 ? argv[1] : (scratch.path() + "/heavy.pdf").toStdString();
    const int page = argc > 2 ? std::atoi(argv[2]) : 0;
    if (argc <= 1) {
        writeHeavyPage(pdfPath);
    }

    PageView view;
    view.resize(1000, 1300);
    view.setDocument(openPDFDocument(QString::fromStdString(pdfPath)));
    // The store shown by the view, as in a document window: each repaint
    // paints the page's items too.
    AnnotationStore store(view.pageCount(), std::make_shared<EmptyPages>());
    view.setAnnotationStore(&store);
    view.show();
    view.goToPage(page);
    settle(3000);  // the page rendered and cached
    QSettings settingsFile(scratch.path() + "/settings.ini", QSettings::IniFormat);
    ToolSettings settings(settingsFile);
    QUndoStack undo;
    EditorController editor(view, store, undo, settings);
    editor.setTool(Tool::pen);

    // Input to overlay: every move of one 2,000-point stroke, repainted.
    const QRectF shown = view.pageRectInViewport(page).intersected(QRectF(view.viewport()->rect()));
    const QPointF centre = shown.center();
    const double radius = std::min(shown.width(), shown.height()) * 0.4;
    auto spiral = [&](int i) {
        const double t = i * 0.02;
        const double r = radius * (0.2 + 0.8 * i / 2000.0);
        return centre + QPointF(r * std::cos(t), r * std::sin(t));
    };
    // The move is timed until the repaint it asked for has run: the window's
    // update request is handled and the overlay painted (with whatever of
    // the page lies under the part that changed).
    PaintCounter counter;
    view.overlay()->installEventFilter(&counter);
    const auto timeStroke = [&](const char* what) {
        std::vector<double> moves;
        mouse(view, QEvent::MouseButtonPress, spiral(0), Qt::LeftButton);
        settle(50);
        int unpainted = 0;
        for (int i = 1; i <= 2000; ++i) {
            const int before = counter.paints;
            const auto start = Clock::now();
            mouse(view, QEvent::MouseMove, spiral(i), Qt::LeftButton);
            const auto limit = start + std::chrono::milliseconds(500);
            while (counter.paints == before && Clock::now() < limit) {
                QCoreApplication::processEvents();
            }
            moves.push_back(ms(Clock::now() - start));
            unpainted += counter.paints == before ? 1 : 0;
        }
        if (unpainted > 0) {
            std::printf("(%d moves were not repainted within 500 ms)\n", unpainted);
        }
        mouse(view, QEvent::MouseButtonRelease, spiral(2000), Qt::NoButton);
        report(what, moves);
    };
    timeStroke("input to overlay (2,000-point stroke)");

    // Commit and undo next to 10,000 items.
    std::vector<StoreChange::Insertion> many;
    for (int i = 0; i < 10'000; ++i) {
        const double x = 30 + i % 100 * 5, y = 30 + i / 100 * 7;
        many.push_back(
            {AnnotationItem(UUID::random(), InkShape{InkKind::pen, {{{x, y}, {x + 3, y + 2}, {x + 4, y}}}},
                            RGBA(0, 0, 1, 1), 1, 0, AnnotationItem::currentModificationTime()),
             page, i});
    }
    store.apply(StoreChange::insert(std::move(many)));
    settle(200);
    // The same stroke over those items, then taken back.
    timeStroke("  ... over 10,000 items");
    undo.undo();
    std::vector<double> commits, undos, commitsShown, undosShown;
    PaintCounter pagePaints;
    view.viewport()->installEventFilter(&pagePaints);
    settle(200);
    // Until the page view has painted what changed.
    const auto painted = [&](Clock::time_point start, int before) {
        const auto limit = start + std::chrono::seconds(2);
        while (pagePaints.paints == before && Clock::now() < limit) {
            QCoreApplication::processEvents();
        }
        return ms(Clock::now() - start);
    };
    for (int round = 0; round < 40; ++round) {
        // Strokes 2 s apart never merge: each release inserts a new item.
        const auto when = std::chrono::system_clock::now() + std::chrono::seconds(2 * round);
        editor.setClock([when] { return when; });
        mouse(view, QEvent::MouseButtonPress, spiral(0), Qt::LeftButton);
        for (int i = 1; i <= 50; ++i) {
            mouse(view, QEvent::MouseMove, spiral(i * 10), Qt::LeftButton);
        }
        settle(20);
        int before = pagePaints.paints;
        auto start = Clock::now();
        mouse(view, QEvent::MouseButtonRelease, spiral(500), Qt::NoButton);
        commits.push_back(ms(Clock::now() - start));
        commitsShown.push_back(painted(start, before));
        settle(20);
        before = pagePaints.paints;
        start = Clock::now();
        undo.undo();
        undos.push_back(ms(Clock::now() - start));
        undosShown.push_back(painted(start, before));
        settle(20);
    }
    report("commit a stroke (10,000 items)", commits);
    report("  ... and its repaint", commitsShown);
    report("undo it (10,000 items)", undos);
    report("  ... and its repaint", undosShown);
    view.setAnnotationStore(nullptr);
    return 0;
}
