// The compact style editor opened from the toolbar's style button: colour
// swatches and "Other Color…", the line-width slider, the text sizes and the
// border switch, as far as the tool has them. Every change calls onChange
// with the whole new style at once. A popup: it closes on a click outside
// and on Escape, and then emits closed(). The window decides what the style
// belongs to (StyleTarget) and ends its style session when it closes.
#pragma once

#include <QColorDialog>
#include <QFrame>
#include <QImage>
#include <QPointer>
#include <array>
#include <functional>

#include "app/editor/ToolSettings.h"
#include "app/platform/InterfaceLanguage.h"

class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QLabel;
class QPushButton;
class QSlider;

namespace quillet {

class StylePopover : public QFrame {
    Q_OBJECT

  public:
    using ChangeHandler = std::function<void(const ToolStyle&)>;

    StylePopover(Tool tool, const ToolStyle& initial, ChangeHandler onChange, QWidget* parent = nullptr);
    ~StylePopover() override;

    // Shows the popup under `anchor`, centred on it and kept on its screen.
    void showBelow(QWidget* anchor);
    // Detaches the colour dialog; later colour changes there do nothing.
    void endOfUse();

    Tool tool() const { return tool_; }
    const ToolStyle& style() const { return style_; }

    // The user's actions, also used by the controls.
    void chooseSwatch(int index);
    void moveSlider(double value);  // points; stored in quarter points
    void chooseSize(int index);     // 0...4; any other index changes nothing
    void setBoxed(bool boxed);
    void setColorFromPanel(const QColor& color);
    void openColorPanel();

    // The controls, for the window and for tests; absent controls are nullptr.
    QAbstractButton* swatchButton(int index) const { return swatches_[static_cast<size_t>(index)]; }
    QPushButton* otherColorButton() const { return otherColor_; }
    QSlider* widthSlider() const { return slider_; }
    QLabel* widthLabel() const { return widthLabel_; }
    QButtonGroup* sizeControl() const { return sizes_; }
    QCheckBox* boxedCheckbox() const { return boxed_; }
    QColorDialog* colorPanel() const { return panel_; }

    // The rules of the controls.
    static double quarterPoints(double value);
    // Red, green and blue each within 0.02; alpha is not compared.
    static bool swatchMatches(const RGBA& swatch, const RGBA& color);
    // The nearest offered size; on a tie the smaller.
    static int nearestSizeIndex(double fontSize);
    // "2", "2.3": a whole number without decimals, any other with one.
    static QString formatPoints(double value);
    // "2.3 pt" / "2.3 пт".
    static QString widthText(double lineWidth, Language language);
    static QImage swatchImage(const RGBA& color, bool selected, const QColor& label, qreal pixelRatio = 1);
    // The toolbar's style button: the colour as a dot and, for tools with a
    // line width, a bar as tall as the width suggests.
    static QImage styleButtonImage(Tool tool, const ToolStyle& style, const QColor& label,
                                   qreal pixelRatio = 1);

  signals:
    void closed();

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    void build();
    void refresh();
    void changed();

    Tool tool_;
    ToolStyle style_;
    ChangeHandler onChange_;
    std::array<QAbstractButton*, 7> swatches_{};
    QPushButton* otherColor_ = nullptr;
    QSlider* slider_ = nullptr;
    QLabel* widthLabel_ = nullptr;
    QButtonGroup* sizes_ = nullptr;
    QCheckBox* boxed_ = nullptr;
    QPointer<QWidget> anchor_;
    QPointer<QColorDialog> panel_;
    bool refreshing_ = false;
    bool panelOpen_ = false;
    bool closedSent_ = false;
};

}  // namespace quillet
