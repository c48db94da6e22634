#include "app/ui/ToolIcons.h"

#include <QFile>
#include <QHash>
#include <QIconEngine>
#include <QPainter>
#include <QPixmap>
#include <algorithm>

// The resources live in a static library: their registration has to be
// called once by name, outside any namespace.
static void initialiseIconResources() {
    Q_INIT_RESOURCE(icons);
}

namespace quillet::ToolIcons {

namespace {

QString themeName(Tool tool) {
    switch (tool) {
        case Tool::select:
            return QStringLiteral("edit-select");
        case Tool::pen:
            return QStringLiteral("draw-freehand");
        case Tool::highlighter:
            return QStringLiteral("draw-highlight");
        case Tool::text:
            return QStringLiteral("draw-text");
        case Tool::arrow:
            return QStringLiteral("draw-arrow");
        case Tool::eraser:
            return QStringLiteral("draw-eraser");
        default:
            return {};
    }
}

// The symbols are drawn in black; the tint replaces that one colour.
constexpr char kDrawnColour[] = "#000000";

QString symbolPath(const QString& symbol) {
    static const bool initialised = (initialiseIconResources(), true);
    (void)initialised;
    return QStringLiteral(":/icons/%1.svg").arg(symbol);
}

}  // namespace

QImage symbolImage(const QString& symbol, int pixels, const QColor& color) {
    QFile file(symbolPath(symbol));
    if (!file.open(QIODevice::ReadOnly)) return {};
    QByteArray svg = file.readAll();
    svg.replace(kDrawnColour, color.name(QColor::HexRgb).toLatin1());
    svg.replace("width=\"24\" height=\"24\"",
                QStringLiteral("width=\"%1\" height=\"%1\"").arg(pixels).toLatin1());
    QImage image = QImage::fromData(svg, "svg");
    if (image.isNull()) return {};
    if (color.alphaF() < 1) {
        QImage faded(image.size(), QImage::Format_ARGB32_Premultiplied);
        faded.fill(Qt::transparent);
        QPainter painter(&faded);
        painter.setOpacity(color.alphaF());
        painter.drawImage(0, 0, image);
        return faded;
    }
    return image;
}

namespace {

// Draws a symbol at the size it is asked for, when it is first asked for:
// a window's toolbar and menus hold dozens of these icons, and drawing every
// one at every size up front took tens of milliseconds of the launch.
class SymbolIconEngine : public QIconEngine {
  public:
    SymbolIconEngine(QString symbol, QColor normal, QColor disabled)
        : symbol_(std::move(symbol)), normal_(normal), disabled_(disabled) {}

    QIconEngine* clone() const override { return new SymbolIconEngine(*this); }
    QString key() const override { return QStringLiteral("QuilletSymbol"); }
    bool isNull() override { return !QFile::exists(symbolPath(symbol_)); }

    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override {
        const int side = std::min(size.width(), size.height());
        return {side, side};
    }

    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override {
        return {QSize(16, 16), QSize(24, 24), QSize(32, 32), QSize(48, 48)};
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State) override {
        const int side = std::min(size.width(), size.height());
        if (side <= 0) return {};
        const bool dimmed = mode == QIcon::Disabled;
        const qint64 key = side * 2 + (dimmed ? 1 : 0);
        auto cached = pixmaps_.find(key);
        if (cached == pixmaps_.end()) {
            cached = pixmaps_.insert(
                key, QPixmap::fromImage(symbolImage(symbol_, side, dimmed ? disabled_ : normal_)));
        }
        return *cached;
    }

    // `size` is in device pixels already (QIcon multiplied it by `scale`).
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state, qreal scale) override {
        QPixmap result = pixmap(size, mode, state);
        result.setDevicePixelRatio(scale);
        return result;
    }

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override {
        const qreal ratio = painter->device() != nullptr ? painter->device()->devicePixelRatioF() : 1.0;
        painter->drawPixmap(rect, scaledPixmap(rect.size() * ratio, mode, state, ratio));
    }

  private:
    QString symbol_;
    QColor normal_;
    QColor disabled_;
    QHash<qint64, QPixmap> pixmaps_;
};

}  // namespace

QIcon symbolIcon(const QString& symbol, const QColor& normal, const QColor& disabled) {
    return QIcon(new SymbolIconEngine(symbol, normal, disabled));
}

QIcon icon(Tool tool, const QPalette& palette) {
    const QString theme = themeName(tool);
    if (!theme.isEmpty() && QIcon::hasThemeIcon(theme)) return QIcon::fromTheme(theme);
    return symbolIcon(toolSymbolName(tool), palette.color(QPalette::Active, QPalette::WindowText),
                      palette.color(QPalette::Disabled, QPalette::WindowText));
}

}  // namespace quillet::ToolIcons
