// The transparent layer above the pages where the editor draws what is not
// in the store yet or not part of any item: the live stroke, the preview of a
// shape being created, a peeked note, the selection outline with its handles
// and the eraser circle, in that order from bottom to top. It takes no input:
// every event goes through to the page view below. All positions are in the
// page view's viewport coordinates ("view points"); it follows the viewport's
// size by itself.
#pragma once

#include <QPainterPath>
#include <QTransform>
#include <QWidget>
#include <chrono>
#include <cstdint>
#include <optional>
#include <vector>

#include "core/markup/ItemAppearance.h"
#include "core/markup/RGBA.h"
#include "core/markup/UUID.h"
#include "core/pdf/Geometry.h"

namespace quillet {

class OverlayView : public QWidget {
    Q_OBJECT

  public:
    // Sizes in view points.
    static constexpr double outlineGrowth = 3;
    static constexpr double squareHandleSide = 8;
    static constexpr double roundHandleDiameter = 10;
    static constexpr double eraserDiameter = 16;

    struct Handle {
        enum class Kind { corner, left, right, tail, head };
        Kind kind = Kind::corner;
        int corner = 0;  // 0...3 for corners, 0 otherwise

        bool operator==(const Handle&) const = default;
    };
    struct PlacedHandle {
        Handle handle;
        QPointF position;  // view points

        bool operator==(const PlacedHandle&) const = default;
    };

    // A child of the page view's viewport, kept on top and at its size.
    explicit OverlayView(QWidget* viewport);

    // The stroke being drawn: its points in page space, shown through
    // `pageToView`; width in page points. A highlighter multiplies with the
    // page below, as its saved appearance does.
    void showLiveStroke(const std::vector<Point>& pagePoints, const QTransform& pageToView, const RGBA& color,
                        double width, bool highlighter);
    void clearLiveStroke();
    // Clears after `delay`, unless another stroke was shown meanwhile.
    void clearLiveStroke(std::chrono::milliseconds delay);
    bool hasLiveStroke() const { return !livePoints_.empty(); }

    // The appearance of the shape being created.
    void showPreview(std::vector<ItemAppearance> appearances, const QTransform& pageToView);
    void clearPreview();
    bool hasPreview() const { return !previewLayer_.appearances.empty(); }

    // A note shown with its bubble open while the pointer rests on it.
    void showPeek(const UUID& item, ItemAppearance appearance, const QTransform& pageToView);
    void hidePeek();
    std::optional<UUID> peekedItem() const { return peekedItem_; }

    // The selection: the selected items' bounds in view points (absent: no
    // outline) and the handles to show. The outline is grown by 3 points and
    // put on pixel centres.
    void setSelection(std::optional<QRectF> boundsInView, std::vector<PlacedHandle> handles);
    const std::vector<PlacedHandle>& handles() const { return handles_; }
    std::optional<QRectF> selectionOutline() const { return outline_; }

    // The eraser circle around the pointer (view points), or none.
    void setEraserCircle(std::optional<QPointF> centre);
    std::optional<QPointF> eraserCircle() const { return eraser_; }

    // The outline drawn for selected bounds: grown, made whole, inset by half a point.
    static QRectF outlineRect(const QRectF& boundsInView);
    // A handle's shape: an 8-point square, or a 10-point circle for arrow ends.
    static QPainterPath handlePath(const PlacedHandle& handle);
    static QRectF eraserRect(QPointF centre);

  protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    struct Layer {
        std::vector<ItemAppearance> appearances;
        QTransform pageToView;
    };
    void paintLayer(QPainter& painter, const Layer& layer);
    // What a part of the stroke covers, from point `from` on, in whole pixels.
    static QRect strokeBounds(const std::vector<QPointF>& points, size_t from, double width);
    QRect selectionBounds() const;
    QPainterPath liveStrokePart(const QRect& area) const;

    Layer previewLayer_;
    Layer peekLayer_;
    std::optional<UUID> peekedItem_;
    std::vector<QPointF> livePoints_;  // the live stroke, view points
    QColor liveColor_;
    double liveWidth_ = 1;
    bool liveHighlighter_ = false;
    std::uint64_t liveSerial_ = 0;
    std::optional<QRectF> outline_;
    std::vector<PlacedHandle> handles_;
    std::optional<QPointF> eraser_;
};

}  // namespace quillet
