// The page view's markup: the item layer over each page, and the overlay
// above the pages.
#include <QPainter>
#include <QPointer>

#include "app/document/AnnotationStore.h"
#include "app/platform/NotificationCenter.h"
#include "app/view/OverlayView.h"
#include "app/view/PageView.h"

namespace quillet {

void PageView::setAnnotationStore(AnnotationStore* store) {
    items_.detach();
    if (store != nullptr) {
        QPointer<PageView> self(this);
        items_.attach(store, [self](const std::set<int>& pages) {
            if (self) {
                self->refreshItems(pages);
            }
        });
        static constexpr char observingComments[] = "quilletObservesCommentDisplay";
        if (!property(observingComments).toBool()) {
            setProperty(observingComments, true);
            NotificationCenter::shared().observe(QLatin1String(NotificationName::commentsDisplayDidChange),
                                                 this, [this](const QVariant&) { viewport()->update(); });
        }
    }
    // Attached, a page's images are checked against the file's copies of its
    // items before the page is next painted or asked for (the copies of most
    // pages are none, and their images stay). Detached, nothing draws the
    // items any more: images that leave them out go.
    if (store == nullptr && renderer_) {
        renderer_->clear();
    }
    viewport()->update();
}

void PageView::refreshItems(const std::set<int>& pages) {
    for (int page : pages) {
        if (page < 0 || page >= pageCount()) {
            continue;
        }
        items_.markChanged(page);
        const QRectF rect = pageRectInViewport(page);
        if (rect.intersects(QRectF(viewport()->rect()))) {
            viewport()->update(rect.toAlignedRect().adjusted(-1, -1, 1, 1));
        }
    }
}

void PageView::paintItems(QPainter& painter, int pageIndex) {
    if (items_.store() == nullptr) {
        return;
    }
    const QRectF visible = visiblePageRect(pageIndex);
    if (visible.isEmpty()) {
        return;
    }
    // Composed items are kept for the pages on screen only.
    items_.keepOnly([&](int page) {
        return page == pageIndex || (page < pageCount() && !visiblePageRect(page).isEmpty());
    });
    painter.save();
    painter.setClipRect(pageRectInViewport(pageIndex));
    items_.paint(painter, pageIndex, pageToViewport(pageIndex), visible);
    painter.restore();
}

void PageView::hideStoredAnnotations(const std::vector<int>& pages) {
    if (items_.store() == nullptr || !renderer_) {
        return;
    }
    for (int page : pages) {
        renderer_->setHiddenAnnotations(page, items_.hiddenCopies(page));
    }
}

OverlayView* PageView::overlay() {
    if (overlay_ == nullptr) {
        overlay_ = new OverlayView(viewport());
    }
    return overlay_;
}

}  // namespace quillet
