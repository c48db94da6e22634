#include "app/ui/WindowFit.h"

#include <QElapsedTimer>
#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <algorithm>

namespace quillet::WindowFit {

namespace {

// The frame around the content of the last window framed: one window
// manager frames every window of the run alike.
QSize lastFrameExtra(0, 0);

// Fits its window on every show, move and resize until the window settled.
class Fitter : public QObject {
  public:
    explicit Fitter(QWidget& window) : QObject(&window), window_(window) { window.installEventFilter(this); }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != &window_) {
            return false;
        }
        if (event->type() == QEvent::Show && !shown_.isValid()) {
            shown_.start();
            // The frame's size can arrive without a move or resize (the
            // window manager framed the window where Qt put it).
            QTimer::singleShot(settleTime / 4, this, &Fitter::fit);
            QTimer::singleShot(settleTime, this, &Fitter::fit);
        }
        const bool placed =
            event->type() == QEvent::Show || event->type() == QEvent::Move || event->type() == QEvent::Resize;
        if (placed && shown_.isValid() && shown_.elapsed() <= settleTime.count()) {
            // After the event: the frame geometry is the window's new one by then.
            QTimer::singleShot(0, this, &Fitter::fit);
        }
        return false;
    }

  private:
    void fit() {
        const QScreen* screen = window_.screen();
        if (screen == nullptr || !window_.isVisible() ||
            (window_.windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen | Qt::WindowMinimized))) {
            return;
        }
        const QRect frame = window_.frameGeometry();
        const QSize margins = frame.size() - window_.geometry().size();
        if (!margins.isNull()) {
            lastFrameExtra = margins;
        }
        const QRect fitted = fittedFrame(frame, screen->availableGeometry(), window_.minimumSize() + margins);
        if (fitted == frame) {
            return;
        }
        if (fitted.size() != frame.size()) {
            window_.resize(fitted.size() - margins);
        }
        // A top-level widget's position is its frame's.
        window_.move(fitted.topLeft());
    }

    QWidget& window_;
    QElapsedTimer shown_;
};

}  // namespace

QRect fittedFrame(const QRect& frame, const QRect& available, const QSize& minimumFrame) {
    if (available.isEmpty() || available.contains(frame)) {
        return frame;
    }
    const QSize size = frame.size().boundedTo(available.size()).expandedTo(minimumFrame);
    // Moved in as far as it fits; a frame larger than the screen keeps its title bar on it.
    const int x = std::max(std::min(frame.left(), available.right() + 1 - size.width()), available.left());
    const int y = std::max(std::min(frame.top(), available.bottom() + 1 - size.height()), available.top());
    return QRect(QPoint(x, y), size);
}

QSize contentRoom(const QRect& available, QWidget& window) {
    QSize extra = lastFrameExtra;
    if (extra.isNull()) {
        window.winId();  // the platform window, made now instead of at the show
        if (const QWindow* handle = window.windowHandle()) {
            const QMargins margins = handle->frameMargins();
            extra = QSize(margins.left() + margins.right(), margins.top() + margins.bottom());
        }
    }
    return available.size() - extra;
}

void keepOnScreen(QWidget& window) {
    if (QGuiApplication::platformName().startsWith(QStringLiteral("wayland"))) {
        return;
    }
    new Fitter(window);
}

}  // namespace quillet::WindowFit
