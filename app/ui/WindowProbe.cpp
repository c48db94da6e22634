#include "app/ui/WindowProbe.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>
#include <algorithm>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "app/platform/PlatformLog.h"
#include "app/ui/DocumentWindowController.h"
#include "app/ui/FindController.h"
#include "app/ui/ThumbnailView.h"
#include "app/view/PageRenderer.h"
#include "app/view/PageView.h"

namespace quillet::WindowProbe {

namespace {

constexpr int pollMilliseconds = 5;

bool currentPageOnScreen(DocumentWindowController& window) {
    PageView* view = window.pageView();
    if (!window.isVisible() || view->pageCount() == 0 || view->renderer() == nullptr) {
        return false;
    }
    const double pixelScale = view->scale() * view->viewport()->devicePixelRatioF();
    return !view->renderer()->cachedImage(view->currentPage(), pixelScale).isNull();
}

// Milliseconds since the process started, from /proc (the kernel's clock
// ticks since boot) so that the time before main() counts too.
qint64 millisecondsSinceProcessStart() {
    // The benchmark's own clock reading (nanoseconds since 1970, taken just
    // before the start) is finer than the kernel's start time in clock ticks.
    if (const QByteArray launched = qgetenv("BENCH_LAUNCHED_NS"); !launched.isEmpty()) {
        return (QDateTime::currentMSecsSinceEpoch() * 1000000 - launched.toLongLong()) / 1000000;
    }
    std::ifstream stat("/proc/self/stat");
    std::string field;
    for (int i = 0; i < 22 && stat >> field; ++i) {
    }
    std::ifstream uptimeFile("/proc/uptime");
    double uptime = 0;
    uptimeFile >> uptime;
    const double startSeconds = std::stod(field.empty() ? "0" : field) / 100.0;
    return static_cast<qint64>((uptime - startSeconds) * 1000);
}

std::string peakMemory() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) {
            return line;
        }
    }
    return "VmHWM: unknown";
}

// Calls `ready` every few milliseconds until it returns true.
void pollUntil(DocumentWindowController& window, std::function<bool()> ready) {
    auto* timer = new QTimer(&window);
    timer->setInterval(pollMilliseconds);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, ready = std::move(ready)] {
        if (ready()) {
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start();
}

void exitAfterFirstPaint(DocumentWindowController& window) {
    QObject::connect(&window, &DocumentWindowController::firstPageShown, &window, [] {
        logLine("first page painted after " + std::to_string(millisecondsSinceProcessStart()) + " ms");
        QCoreApplication::exit(0);
    });
}

void saveScreenshot(DocumentWindowController& window, const QString& path) {
    if (!window.thumbnailsShown()) {
        window.toggleThumbnails();
    }
    pollUntil(window, [&window, path] {
        ThumbnailView* thumbnails = window.thumbnails();
        const int visible = std::min(window.pageView()->pageCount(), 4);
        for (int page = 0; page < visible; ++page) {
            if (!thumbnails->hasThumbnail(page)) {
                return false;
            }
        }
        if (!currentPageOnScreen(window)) {
            return false;
        }
        if (!window.grab().save(path)) {
            logLine("cannot write the screenshot " + path.toStdString());
        }
        QCoreApplication::exit(0);
        return true;
    });
}

void scrollThrough(DocumentWindowController& window) {
    auto next = std::make_shared<int>(0);
    pollUntil(window, [&window, next] {
        PageView* view = window.pageView();
        if (view->pageCount() == 0) {
            return false;
        }
        // A page at a time, each one painted before the next.
        if (*next > 0 && !currentPageOnScreen(window)) {
            return false;
        }
        if (*next >= view->pageCount()) {
            logLine("scrolled through " + std::to_string(view->pageCount()) + " pages, " + peakMemory());
            window.close();
            return true;
        }
        view->goToPage((*next)++);
        return false;
    });
}

// A 10 ms timer on the main thread while a search runs: the gaps between its
// ticks are how long the interface could not answer.
struct SearchWatch {
    QElapsedTimer clock;
    QTimer ticker;
    qint64 last = 0;
    std::vector<qint64> gaps;
};

void searchAfterFirstPaint(DocumentWindowController& window, const QString& text) {
    QObject::connect(&window, &DocumentWindowController::firstPageShown, &window, [&window, text] {
        auto watch = std::make_shared<SearchWatch>();
        watch->ticker.setInterval(10);
        QObject::connect(&watch->ticker, &QTimer::timeout, &window, [watch] {
            const qint64 now = watch->clock.elapsed();
            watch->gaps.push_back(now - watch->last);
            watch->last = now;
        });
        QObject::connect(&window.finder(), &FindController::searchEnded, &window, [&window, text, watch] {
            const qint64 took = watch->clock.elapsed();
            watch->ticker.stop();
            std::vector<qint64> gaps = watch->gaps;
            std::sort(gaps.begin(), gaps.end());
            const qint64 longest = gaps.empty() ? took : gaps.back();
            const qint64 p99 = gaps.empty() ? took : gaps[(gaps.size() - 1) * 99 / 100];
            logLine("search for \"" + text.toStdString() + "\" over " +
                    std::to_string(window.pageView()->pageCount()) +
                    " pages: " + std::to_string(window.finder().matches().size()) + " matches in " +
                    std::to_string(took) + " ms, main-thread timer gaps: longest " + std::to_string(longest) +
                    " ms, 99th percentile " + std::to_string(p99) + " ms");
            QCoreApplication::exit(0);
        });
        watch->clock.start();
        watch->ticker.start();
        window.finder().submit(text, false);
    });
}

}  // namespace

void attachIfRequested(DocumentWindowController& window) {
    if (qEnvironmentVariableIsSet(searchVariable)) {
        searchAfterFirstPaint(window, qEnvironmentVariable(searchVariable));
    }
    if (qEnvironmentVariable(firstPaintVariable) == QStringLiteral("exit")) {
        exitAfterFirstPaint(window);
    }
    if (qEnvironmentVariableIsSet(screenshotVariable)) {
        saveScreenshot(window, qEnvironmentVariable(screenshotVariable));
    }
    if (qEnvironmentVariableIsSet(scrollThroughVariable)) {
        scrollThrough(window);
    }
}

}  // namespace quillet::WindowProbe
