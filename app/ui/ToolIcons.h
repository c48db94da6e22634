// The symbols of the tools: small one-colour SVGs shipped as resources
// (":/icons/<symbol>.svg"), tinted with the palette's text colour so they
// read on light and dark palettes alike. An icon theme that has a fitting
// freedesktop icon wins.
#pragma once

#include <QIcon>
#include <QImage>
#include <QPalette>
#include <QString>

#include "app/editor/Tool.h"

namespace quillet::ToolIcons {

QIcon icon(Tool tool, const QPalette& palette);
// A symbol as an icon, drawn in `normal` (in `disabled` for the disabled
// mode) at each size when it is first shown.
QIcon symbolIcon(const QString& symbol, const QColor& normal, const QColor& disabled);
// One symbol drawn at `pixels` square in `color`; a null image when the
// symbol is unknown or SVG cannot be read.
QImage symbolImage(const QString& symbol, int pixels, const QColor& color);

}  // namespace quillet::ToolIcons
