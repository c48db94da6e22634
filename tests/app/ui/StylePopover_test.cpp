#include "app/ui/StylePopover.h"

#include <gtest/gtest.h>

#include <QButtonGroup>
#include <QCheckBox>
#include <QColorDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QToolButton>

#include "app/ui/StyleTarget.h"
#include "support/QtTestSupport.h"

namespace quillet {
namespace {

struct Popover {
    explicit Popover(Tool tool, ToolStyle initial = ToolStyle::penDefault())
        : popover(tool, initial, [this](const ToolStyle& s) { changes.push_back(s); }) {}
    std::vector<ToolStyle> changes;
    StylePopover popover;
};

class StylePopoverTest : public ::testing::Test {
  protected:
    StylePopoverTest() { testing::testApplication(); }
};

TEST_F(StylePopoverTest, ControlsFollowTheTool) {
    struct Case {
        Tool tool;
        bool slider, sizes, border;
    } cases[] = {{Tool::pen, true, false, false},
                 {Tool::text, false, true, true},
                 {Tool::note, false, true, false},
                 {Tool::arrow, true, true, true},
                 {Tool::signature, true, false, false}};
    for (const Case& c : cases) {
        Popover p(c.tool);
        EXPECT_EQ(p.popover.widthSlider() != nullptr, c.slider) << rawValue(c.tool);
        EXPECT_EQ(p.popover.sizeControl() != nullptr, c.sizes) << rawValue(c.tool);
        EXPECT_EQ(p.popover.boxedCheckbox() != nullptr, c.border) << rawValue(c.tool);
    }
    Popover highlighter(Tool::highlighter);
    EXPECT_EQ(highlighter.popover.widthSlider()->minimum(), 600);
    EXPECT_EQ(highlighter.popover.widthSlider()->maximum(), 3600);
}

TEST_F(StylePopoverTest, EveryChangeReportsTheWholeStyle) {
    Popover p(Tool::arrow, *ToolStyle::builtInDefault(Tool::arrow));
    p.popover.widthSlider()->setValue(213);
    ASSERT_EQ(p.changes.size(), 1u);
    EXPECT_EQ(p.changes.back().lineWidth, 2.25);
    EXPECT_EQ(p.popover.widthLabel()->text(), QStringLiteral("2.3 pt"));

    p.popover.swatchButton(4)->click();
    EXPECT_EQ(p.changes.back().color, ToolSettings::palette[4].color);
    EXPECT_EQ(p.changes.back().lineWidth, 2.25) << "earlier changes are kept";

    p.popover.sizeControl()->button(3)->click();
    EXPECT_EQ(p.changes.back().fontSize, 20);
    p.popover.chooseSize(5);
    p.popover.chooseSize(-1);
    EXPECT_EQ(p.changes.size(), 3u) << "an index outside the segments changes nothing";

    p.popover.boxedCheckbox()->click();
    EXPECT_FALSE(p.changes.back().boxed);
    EXPECT_EQ(p.changes.size(), 4u);
}

TEST_F(StylePopoverTest, RefreshPicksNearestSizeAndMatchingSwatches) {
    EXPECT_EQ(StylePopover::nearestSizeIndex(11.5), 0) << "a tie goes to the smaller size";
    EXPECT_EQ(StylePopover::nearestSizeIndex(14.5), 1);
    EXPECT_EQ(StylePopover::nearestSizeIndex(100), 4);
    EXPECT_TRUE(StylePopover::swatchMatches(ToolSettings::palette[0].color, {0.9, 0.17, 0.15, 0.2}));
    for (const auto& swatch : ToolSettings::palette)
        EXPECT_FALSE(StylePopover::swatchMatches(swatch.color, {0.92, 0.16, 0.16, 1}));

    ToolStyle style = *ToolStyle::builtInDefault(Tool::text);
    style.fontSize = 14.5;
    Popover p(Tool::text, style);
    EXPECT_EQ(p.popover.sizeControl()->checkedId(), 1);
    EXPECT_TRUE(p.popover.boxedCheckbox()->isChecked());
    EXPECT_TRUE(p.changes.empty()) << "showing the style is not a change";
}

TEST_F(StylePopoverTest, ColourPanelAppliesLiveAndCancelRestores) {
    Popover p(Tool::pen);
    p.popover.otherColorButton()->click();
    QColorDialog* panel = p.popover.colorPanel();
    ASSERT_NE(panel, nullptr);
    EXPECT_FALSE(panel->testOption(QColorDialog::ShowAlphaChannel));
    panel->setCurrentColor(QColor::fromRgbF(0, 0.5, 1));
    EXPECT_NEAR(p.changes.back().color.g, 0.5, 0.01);
    panel->reject();
    EXPECT_EQ(p.changes.back().color, ToolStyle::penDefault().color);

    p.popover.openColorPanel();
    QPointer<QColorDialog> second = p.popover.colorPanel();
    p.popover.endOfUse();
    const size_t before = p.changes.size();
    if (second) second->setCurrentColor(Qt::green);
    EXPECT_EQ(p.changes.size(), before) << "a detached panel changes nothing";
}

TEST_F(StylePopoverTest, EscapeClosesOnce) {
    Popover p(Tool::pen);
    int closed = 0;
    QObject::connect(&p.popover, &StylePopover::closed, [&closed] { ++closed; });
    QWidget anchor;
    anchor.resize(30, 20);
    anchor.show();
    p.popover.showBelow(&anchor);
    ASSERT_TRUE(p.popover.isVisible());
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(&p.popover, &escape);
    EXPECT_FALSE(p.popover.isVisible());
    p.popover.hide();
    EXPECT_EQ(closed, 1);
}

TEST_F(StylePopoverTest, TargetIsTheSelectionOnlyUnderSelectOrEraser) {
    testing::TempDir dir;
    auto store = testing::settingsIn(dir.file("d.conf"));
    ToolSettings settings(*store);
    const AnnotationItem highlight(UUID::random(), InkShape{InkKind::highlighter, {{{0, 0}, {5, 5}}}},
                                   {0.1, 0.42, 0.93, 1}, 20, 0, {});
    const StyleTarget selected = StyleTarget::choose(Tool::eraser, &highlight, Tool::pen, settings);
    EXPECT_TRUE(selected.targetsSelection);
    EXPECT_EQ(selected.tool, Tool::highlighter);
    EXPECT_EQ(selected.style.lineWidth, 20);
    EXPECT_EQ(selected.style.color, highlight.color);

    const StyleTarget tool = StyleTarget::choose(Tool::text, &highlight, Tool::pen, settings);
    EXPECT_FALSE(tool.targetsSelection);
    EXPECT_EQ(tool.tool, Tool::text);
    EXPECT_EQ(StyleTarget::choose(Tool::select, nullptr, Tool::arrow, settings).tool, Tool::arrow);

    std::vector<ToolStyle> applied;
    StylePopover restyle(
        selected.tool, selected.style,
        selected.changeHandler(settings, [&applied](const ToolStyle& s) { applied.push_back(s); }));
    restyle.swatchButton(0)->click();
    EXPECT_EQ(settings.styleFor(Tool::highlighter).color, ToolSettings::palette[0].color)
        << "restyling a selected highlight restyles the highlighter";
    EXPECT_EQ(settings.styleFor(Tool::highlighter).lineWidth, 20);
    ASSERT_EQ(applied.size(), 1u);
    EXPECT_EQ(applied[0].color, ToolSettings::palette[0].color);
    tool.changeHandler(settings, [&applied](const ToolStyle& s) { applied.push_back(s); })(selected.style);
    EXPECT_EQ(applied.size(), 1u) << "a tool target never reaches the selection";

    const AnnotationItem label(UUID::random(), ArrowShape{{0, 0}, {9, 9}, TextSpec{"x", 28, {}, false}},
                               {0, 0, 0, 1}, 3, 0, {});
    const ToolStyle arrowStyle = StyleTarget::choose(Tool::select, &label, Tool::pen, settings).style;
    EXPECT_EQ(arrowStyle.fontSize, 28);
    EXPECT_FALSE(arrowStyle.boxed);
}

TEST_F(StylePopoverTest, SwatchAndStyleButtonImagesShowTheStyle) {
    const QImage swatch = StylePopover::swatchImage(ToolSettings::palette[4].color, true, Qt::black);
    EXPECT_EQ(swatch.pixelColor(11, 11), QColor(Qt::white)) << "the selected swatch has a white dot";
    const QColor ring = swatch.pixelColor(11, 4);
    EXPECT_TRUE(ring.blue() > 220 && ring.red() < 40 && ring.green() > 90 && ring.green() < 120)
        << ring.name().toStdString();
    const QImage thin = StylePopover::styleButtonImage(Tool::pen, {{1, 0, 0, 1}, 1, 13, true}, Qt::black);
    const QImage thick = StylePopover::styleButtonImage(Tool::pen, {{1, 0, 0, 1}, 15, 13, true}, Qt::black);
    EXPECT_TRUE(testing::isRed(thin.pixelColor(8, 9)));
    EXPECT_EQ(thin.pixelColor(18, 11).alpha(), 0) << "a thin bar stays near the middle";
    EXPECT_GT(thick.pixelColor(18, 11).alpha(), 200);
}

}  // namespace
}  // namespace quillet
