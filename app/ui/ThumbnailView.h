// The sidebar's page thumbnails: one cell per page, each page rendered in the
// background to fit 110 by 150 (its own renderer, sharing the application's
// image budget), the current page selected, a click going to the page. Only
// the thumbnails in view are asked for.
#pragma once

#include <QListView>
#include <functional>
#include <memory>

#include "app/platform/PDFDocument.h"

class QPainter;

namespace quillet {

class PageRenderer;
class PageView;
class ThumbnailModel;

class ThumbnailView : public QListView {
    Q_OBJECT

  public:
    static constexpr QSize thumbnailSize{110, 150};

    // Follows `pageView`: its document, page sizes and current page.
    explicit ThumbnailView(PageView& pageView, QWidget* parent = nullptr);
    ~ThumbnailView() override;

    // Draws over a page's thumbnail (the markup items); `pageToThumbnail` maps
    // the page's display points to the thumbnail's pixels.
    using OverlayPainter =
        std::function<void(QPainter& painter, int pageIndex, const QTransform& displayToThumbnail)>;
    void setOverlayPainter(OverlayPainter painter);
    // Repaints the thumbnails of these pages (after their markup changed).
    void refreshPages(const std::vector<int>& pages);

    // Thumbnails rendered and cached for the page.
    bool hasThumbnail(int pageIndex) const;

  signals:
    void pageClicked(int pageIndex);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void initViewItemOption(QStyleOptionViewItem* option) const override;

  private:
    void documentChanged();
    void requestVisible();
    void currentPageChanged(int pageIndex);

    PageView& pageView_;
    ThumbnailModel* model_;
    std::unique_ptr<PageRenderer> renderer_;
};

}  // namespace quillet
