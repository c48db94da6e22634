// Header-only: the support library is built without Qt.
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QColor>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPaintEvent>
#include <QRectF>
#include <QRegion>
#include <QSettings>
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "app/document/PageItemSource.h"
#include "app/platform/PDFDocument.h"
#include "app/ui/SessionGuard.h"
#include "support/PdfFixtures.h"
#include "support/TempDir.h"

namespace quillet::testing {

inline QApplication& testApplication() {
    static int argc = 1;
    static char name[] = "app-test";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        return new QApplication(argc, argv);
    }();
    return *app;
}

// Pages that hold no items yet.
class EmptyPages : public PageItemSource {
  public:
    std::optional<std::vector<StoredAnnotation>> readPage(int) override {
        return std::vector<StoredAnnotation>{};
    }
    std::string failureText() const override { return {}; }
};

// Runs the event loop until `done` holds or `limit` passes; returns `done()`.
inline bool pumpUntil(const std::function<bool()>& done,
                      std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    testApplication();
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < limit.count()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return done();
}

inline void pumpFor(std::chrono::milliseconds span) {
    pumpUntil([] { return false; }, span);
}

// The areas a widget repaints, as its paint events report them.
struct PaintedAreas : QObject {
    QRegion painted;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) painted += static_cast<QPaintEvent*>(event)->region();
        return false;
    }
    // What `change` repaints, once the events already due have run.
    QRegion after(const std::function<void()>& change) {
        QCoreApplication::processEvents();
        painted = QRegion();
        change();
        QCoreApplication::processEvents();
        return painted;
    }
};

// A key press sent straight to `target`, past the window's shortcuts.
inline void pressKey(QWidget* target, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QKeyEvent event(QEvent::KeyPress, key, modifiers);
    QCoreApplication::sendEvent(target, &event);
}

// Clicks the button titled `title` in the question `window` shows; that
// question's informative text, or nothing when no shown question has one.
inline std::optional<QString> answerQuestion(QWidget& window, const QString& title) {
    for (QMessageBox* box : window.findChildren<QMessageBox*>()) {
        for (QAbstractButton* button : box->buttons()) {
            if (box->isVisible() && button->text() == title) {
                const QString text = box->informativeText();
                button->click();
                return text;
            }
        }
    }
    return std::nullopt;
}

inline QString qpath(const std::filesystem::path& p) {
    return QString::fromStdString(p.string());
}

inline std::unique_ptr<QSettings> settingsIn(const std::filesystem::path& file) {
    return std::make_unique<QSettings>(qpath(file), QSettings::IniFormat);
}

// Writes an AES-256 encrypted copy of `source` with qpdf.
inline std::filesystem::path encryptedCopy(const std::filesystem::path& source,
                                           const std::filesystem::path& to, const std::string& user) {
    const CommandResult made =
        runQpdf({"--encrypt", user, "owner-pw", "256", "--", source.string(), to.string()});
    EXPECT_EQ(made.status, 0) << made.err;
    return to;
}

// The colour of a page-space point of page `page` rendered at `scale`.
inline QColor colourAt(PDFDocument& document, int page, QPointF pagePoint, double scale = 1,
                       const QSet<QString>& hidden = {}) {
    const QPointF shown = document.pageGeometry(page)->toDisplay(pagePoint) * scale;
    return document.renderPage(page, scale, hidden).pixelColor(int(shown.x()), int(shown.y()));
}
inline bool isWhite(const QColor& c) {
    return c.red() > 240 && c.green() > 240 && c.blue() > 240;
}
inline bool isRed(const QColor& c) {
    return c.red() > 200 && c.green() < 60 && c.blue() < 60;
}
inline bool isBlue(const QColor& c) {
    return c.blue() > 200 && c.red() < 60 && c.green() < 60;
}
inline bool isGreen(const QColor& c) {
    return c.green() > 200 && c.red() < 60 && c.blue() < 60;
}

// Delayed work that runs only when the test moves the clock past its time,
// in the order it falls due; work scheduled while running runs too when due.
class FakeClock {
  public:
    SessionGuard::Scheduler scheduler() {
        return [this](std::chrono::milliseconds delay, std::function<void()> work) {
            pending_.push_back({now_ + delay, serial_++, std::move(work)});
        };
    }
    void advance(std::chrono::milliseconds span) {
        const auto end = now_ + span;
        for (;;) {
            auto next = std::min_element(pending_.begin(), pending_.end(), [](const Task& a, const Task& b) {
                return std::pair(a.due, a.serial) < std::pair(b.due, b.serial);
            });
            if (next == pending_.end() || next->due > end) break;
            now_ = std::max(now_, next->due);
            std::function<void()> work = std::move(next->work);
            pending_.erase(next);
            work();
        }
        now_ = end;
    }
    // The process dies: nothing pending ever runs.
    void kill() { pending_.clear(); }

  private:
    struct Task {
        std::chrono::milliseconds due;
        int serial;
        std::function<void()> work;
    };
    std::chrono::milliseconds now_{0};
    int serial_ = 0;
    std::vector<Task> pending_;
};

// Page 0 (300 x 400): "Alpha beta" and squares "red-one", "blue-two" and
// "file-hidden" (hidden by the file's /F 2). Page 2: "beta gamma Beta".
// Pages 3-5: /Rotate 90, 180, -90, crop box rotatedCrop, a green square.
inline const QRectF markupRed{50, 50, 50, 50};
inline const QRectF markupBlue{150, 50, 50, 50};
inline const QRectF markupGreen{50, 150, 50, 50};
inline const QRectF rotatedCrop{10, 20, 200, 300};
inline const QRectF rotatedGreen{30, 40, 30, 30};

inline Bytes markupFixture() {
    auto n = [](double v) { return std::to_string(static_cast<int>(v)); };
    auto rectArray = [&](const QRectF& r) {
        return "[" + n(r.left()) + " " + n(r.top()) + " " + n(r.right()) + " " + n(r.bottom()) + "]";
    };
    auto square = [&](const QRectF& rect, const std::string& name, int flags, int appearance,
                      const std::string& extra = "") {
        return "<< /Type /Annot /Subtype /Square /Rect " + rectArray(rect) + " /NM (" + name + ") /F " +
               std::to_string(flags) + " /AP << /N " + std::to_string(appearance) + " 0 R >> " + extra +
               " >>";
    };
    PdfBuilder b;
    auto addFill = [&](int64_t num, const QRectF& rect, const std::string& colour) {
        const std::string size = n(rect.width()) + " " + n(rect.height());
        const std::string data = colour + " rg 0 0 " + size + " re f\n";
        b.addRaw(num, "<< /Type /XObject /Subtype /Form /BBox [0 0 " + size + "] /Length " +
                          std::to_string(data.size()) + " >>\nstream\n" + data + "endstream");
    };
    auto addTextPage = [&](int64_t page, int64_t content, const std::string& text,
                           const std::string& extra = "") {
        b.addRaw(page, "<< /Type /Page /Parent 2 0 R /Contents " + std::to_string(content) + " 0 R " + extra +
                           " >>");
        b.addStream(content, PDFDictionary{}, "BT /F1 18 Tf 50 300 Td (" + text + ") Tj ET\n");
    };
    b.addRaw(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.addRaw(2,
             "<< /Type /Pages /Count 6 /Kids [10 0 R 20 0 R 30 0 R 40 0 R 50 0 R 60 0 R] "
             "/MediaBox [0 0 300 400] /Resources << /Font << /F1 3 0 R >> >> >>");
    b.addRaw(3, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>");
    addTextPage(10, 11, "Alpha beta", "/Annots [12 0 R 13 0 R 18 0 R 14 0 R]");
    b.addRaw(12, square(markupRed, "red-one", 4, 15));
    b.addRaw(13, square(markupBlue, "blue-two", 4, 16, "/QuilletItem (QLT1:blue) /Popup 18 0 R"));
    b.addRaw(18, "<< /Type /Annot /Subtype /Popup /Rect [200 100 260 140] /Parent 13 0 R >>");
    b.addRaw(14, square(markupGreen, "file-hidden", 2, 17));
    addFill(15, markupRed, "1 0 0");
    addFill(16, markupBlue, "0 0 1");
    addFill(17, markupGreen, "0 1 0");
    addTextPage(20, 21, "Caf\xE9 au lait");
    addTextPage(30, 31, "beta gamma Beta");
    const int rotations[] = {90, 180, -90};
    for (int i = 0; i < 3; ++i) {
        const int64_t page = 40 + 10 * i;
        addTextPage(page, page + 1, "turned",
                    "/Rotate " + std::to_string(rotations[i]) + " /CropBox " + rectArray(rotatedCrop) +
                        " /Annots [" + std::to_string(page + 2) + " 0 R]");
        b.addRaw(page + 2, square(rotatedGreen, "turned-" + std::to_string(i), 4, page + 3));
        addFill(page + 3, rotatedGreen, "0 1 0");
    }
    b.finishWithTable(PDFDictionary{{"Size", PDFValue::integer(64)}, {"Root", PDFValue::ref(1, 0)}});
    return b.bytes();
}

}  // namespace quillet::testing
