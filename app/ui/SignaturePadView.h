// The surface a signature is drawn on with the mouse or a tablet (pressure
// is ignored). Strokes are kept in the view's own coordinates with y up, as
// SavedSignature::make expects them.
#pragma once

#include <QWidget>
#include <functional>
#include <vector>

#include "core/markup/Shape.h"
#include "core/markup/StrokeBuilder.h"

namespace quillet {

class SignaturePadView : public QWidget {
    Q_OBJECT

  public:
    static constexpr double minDistance = 0.8;
    static constexpr double finishTolerance = 0.3;

    explicit SignaturePadView(QWidget* parent = nullptr);

    const std::vector<Stroke>& strokes() const { return strokes_; }
    // Empties the pad and calls onChange.
    void clear();

    // Called after a stroke is finished and after the pad is cleared.
    std::function<void()> onChange;

    QSize sizeHint() const override { return {528, 200}; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void tabletEvent(QTabletEvent* event) override;

  private:
    Point toPad(QPointF viewPoint) const;
    void begin(QPointF at);
    void extend(QPointF at);
    void end();

    std::vector<Stroke> strokes_;
    StrokeBuilder current_{minDistance};
    bool drawing_ = false;
};

}  // namespace quillet
