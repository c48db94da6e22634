#include "app/ui/ToolIcons.h"

#include <gtest/gtest.h>

#include "app/editor/Tool.h"
#include "app/ui/UiTestSupport.h"
#include "support/QtTestSupport.h"

namespace quillet {
namespace {

TEST(ToolIcons, SymbolIconsAreDrawnAtTheAskedSizeInTheColourOfTheirMode) {
    testing::testApplication();
    const QColor normal(200, 30, 30), disabled(30, 30, 200);
    // How many pixels of the picture are (nearly) this colour.
    const auto pixelsOf = [](const QImage& image, const QColor& color) {
        return testing::pixelsWhere(image, [&](const QColor& c) {
            return c.alpha() > 200 && std::abs(c.red() - color.red()) < 40 &&
                   std::abs(c.green() - color.green()) < 40 && std::abs(c.blue() - color.blue()) < 40;
        });
    };
    const QIcon icon = ToolIcons::symbolIcon(QStringLiteral("text.bubble"), normal, disabled);
    ASSERT_FALSE(icon.isNull());
    for (int side : {16, 24, 40}) {
        const QImage drawn = icon.pixmap(QSize(side, side)).toImage();
        EXPECT_EQ(drawn.size(), QSize(side, side));
        EXPECT_GT(pixelsOf(drawn, normal), side / 2) << side;
        EXPECT_EQ(pixelsOf(drawn, disabled), 0) << side;
        const QImage dimmed = icon.pixmap(QSize(side, side), QIcon::Disabled).toImage();
        EXPECT_GT(pixelsOf(dimmed, disabled), side / 2) << side;
        EXPECT_EQ(pixelsOf(dimmed, normal), 0) << side;
    }
    // Twice the pixels on a double-density screen, at the same logical size.
    const QPixmap sharp = icon.pixmap(QSize(24, 24), 2.0);
    EXPECT_EQ(sharp.size(), QSize(48, 48));
    EXPECT_EQ(sharp.devicePixelRatio(), 2.0);

    EXPECT_TRUE(ToolIcons::symbolIcon(QStringLiteral("no.such.symbol"), normal, disabled).isNull());
    // Every tool has a symbol of its own.
    for (Tool tool : allTools) {
        const QImage symbol = ToolIcons::symbolImage(toolSymbolName(tool), 24, Qt::white);
        EXPECT_GT(testing::pixelsWhere(symbol, [](const QColor& c) { return c.alpha() > 200; }), 0)
            << rawValue(tool);
    }
}

}  // namespace
}  // namespace quillet
