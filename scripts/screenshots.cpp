// Draws the style popover and the signature pad offscreen into PNG files for
// the README: verda-screenshots OUTPUT_FOLDER. Built and run by
// scripts/screenshots.
#include <QApplication>
#include <QDir>
#include <QMouseEvent>
#include <QPixmap>
#include <cmath>

#include "app/ui/SignatureLibrary.h"
#include "app/ui/SignaturePadDialog.h"
#include "app/ui/SignaturePadView.h"
#include "app/ui/StylePopover.h"

using namespace quillet;

namespace {

void drag(QWidget& pad, const std::vector<QPointF>& points) {
    auto send = [&pad](QEvent::Type type, QPointF at, Qt::MouseButtons buttons) {
        QMouseEvent event(type, at, pad.mapToGlobal(at), Qt::LeftButton, buttons, Qt::NoModifier);
        QCoreApplication::sendEvent(&pad, &event);
    };
    send(QEvent::MouseButtonPress, points.front(), Qt::LeftButton);
    for (size_t i = 1; i < points.size(); ++i) send(QEvent::MouseMove, points[i], Qt::LeftButton);
    send(QEvent::MouseButtonRelease, points.back(), Qt::NoButton);
}

// A handwriting-like curve: loops along the guide line.
std::vector<QPointF> signatureStroke(double x0, double width) {
    std::vector<QPointF> points;
    for (int i = 0; i <= 240; ++i) {
        const double t = i / 240.0;
        const double x = x0 + t * width + 14 * std::sin(t * 40);
        const double y = 120 - 36 * std::abs(std::sin(t * 20)) * (1 - 0.5 * t) + 8 * std::cos(t * 40);
        points.emplace_back(x, y);
    }
    return points;
}

bool save(QWidget& widget, const QString& file) {
    widget.adjustSize();
    return widget.grab().save(file);
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QDir out(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("."));

    ToolStyle style = *ToolStyle::builtInDefault(Tool::arrow);
    style.lineWidth = 3.5;
    StylePopover popover(Tool::arrow, style, nullptr);
    popover.setFrameShape(QFrame::Box);
    bool ok = save(popover, out.filePath(QStringLiteral("style-popover.png")));

    SignatureLibrary library{QString()};  // kept in memory only
    QWidget window;
    SignaturePadDialog dialog(library, &window);
    dialog.present([](std::optional<SavedSignature>) {});
    dialog.show();
    drag(*dialog.pad(), signatureStroke(70, 300));
    drag(*dialog.pad(), {{90, 150}, {200, 146}, {330, 148}, {440, 142}});
    ok = save(dialog, out.filePath(QStringLiteral("signature-pad.png"))) && ok;
    dialog.cancel();
    return ok ? 0 : 1;
}
