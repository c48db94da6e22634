#include "app/ui/ToolIcons.h"

#include <QFile>
#include <QPainter>
#include <QPixmap>

// The resources live in a static library: their registration has to be
// called once by name, outside any namespace.
static void initialiseIconResources() { Q_INIT_RESOURCE(icons); }

namespace quillet::ToolIcons {

namespace {

QString themeName(Tool tool) {
    switch (tool) {
        case Tool::select: return QStringLiteral("edit-select");
        case Tool::pen: return QStringLiteral("draw-freehand");
        case Tool::highlighter: return QStringLiteral("draw-highlight");
        case Tool::text: return QStringLiteral("draw-text");
        case Tool::arrow: return QStringLiteral("draw-arrow");
        case Tool::eraser: return QStringLiteral("draw-eraser");
        default: return {};
    }
}

// The symbols are drawn in black; the tint replaces that one colour.
constexpr char kDrawnColour[] = "#000000";

}  // namespace

QImage symbolImage(const QString& symbol, int pixels, const QColor& color) {
    static const bool initialised = (initialiseIconResources(), true);
    (void)initialised;
    QFile file(QStringLiteral(":/icons/%1.svg").arg(symbol));
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

QIcon icon(Tool tool, const QPalette& palette) {
    const QString theme = themeName(tool);
    if (!theme.isEmpty() && QIcon::hasThemeIcon(theme)) return QIcon::fromTheme(theme);
    QIcon result;
    const QColor normal = palette.color(QPalette::Active, QPalette::WindowText);
    const QColor disabled = palette.color(QPalette::Disabled, QPalette::WindowText);
    for (int pixels : {16, 24, 32, 48}) {
        result.addPixmap(QPixmap::fromImage(symbolImage(toolSymbolName(tool), pixels, normal)), QIcon::Normal);
        result.addPixmap(QPixmap::fromImage(symbolImage(toolSymbolName(tool), pixels, disabled)), QIcon::Disabled);
    }
    return result;
}

}  // namespace quillet::ToolIcons
