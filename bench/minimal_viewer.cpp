// The peer of the window benchmark: the least a Poppler-Qt6 program does to
// show page 1 of a PDF in a widget — open the file, render the first page at
// the scale that fits it to the width of a 1080 x 820 window, paint it, and
// quit right after the first paint, printing the time since the process
// started. Same platform plugin and zoom as verda-pdf under the benchmark.
//
//   minimal_viewer FILE.pdf
#include <poppler-qt6.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

namespace {

long long millisecondsSinceProcessStart() {
    // The benchmark's own clock reading (nanoseconds since 1970, taken just
    // before the start) is finer than the kernel's start time in clock ticks.
    if (const char* launched = std::getenv("BENCH_LAUNCHED_NS")) {
        const auto now = std::chrono::system_clock::now().time_since_epoch();
        return (std::chrono::duration_cast<std::chrono::nanoseconds>(now).count() - std::atoll(launched)) /
               1000000;
    }
    std::ifstream stat("/proc/self/stat");
    std::string field;
    for (int i = 0; i < 22 && stat >> field; ++i) {
    }
    std::ifstream uptimeFile("/proc/uptime");
    double uptime = 0;
    uptimeFile >> uptime;
    return static_cast<long long>((uptime - std::stod(field) / 100.0) * 1000);
}

class PageWidget : public QWidget {
  public:
    explicit PageWidget(std::unique_ptr<Poppler::Document> document) : document_(std::move(document)) {}

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), QColor(0x8a, 0x8d, 0x91));
        if (image_.isNull()) {
            std::unique_ptr<Poppler::Page> page = document_->page(0);
            const double points = page->pageSizeF().width();
            // The application's fit-to-width: the viewport less a scroll bar and 8-point margins.
            const double scale = (width() - 16 - 16) / points;
            image_ = page->renderToImage(72 * scale * devicePixelRatioF(), 72 * scale * devicePixelRatioF());
            image_.setDevicePixelRatio(devicePixelRatioF());
        }
        painter.drawImage(QPointF(16, 8), image_);
        if (!reported_) {
            reported_ = true;
            std::printf("first page painted after %lld ms\n", millisecondsSinceProcessStart());
            std::fflush(stdout);
            QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        }
    }

  private:
    std::unique_ptr<Poppler::Document> document_;
    QImage image_;
    bool reported_ = false;
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: minimal_viewer FILE.pdf\n");
        return 2;
    }
    std::unique_ptr<Poppler::Document> document = Poppler::Document::load(QString::fromLocal8Bit(argv[1]));
    if (!document || document->isLocked()) {
        std::fprintf(stderr, "minimal_viewer: cannot open %s\n", argv[1]);
        return 1;
    }
    document->setRenderHint(Poppler::Document::Antialiasing, true);
    document->setRenderHint(Poppler::Document::TextAntialiasing, true);
    PageWidget widget(std::move(document));
    widget.resize(1080, 820);
    widget.show();
    return QApplication::exec();
}
