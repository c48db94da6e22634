// The page view's markup: the store's items painted over each page in drawing
// order, the file's own copies of them left out of the page images (so a moved
// or deleted item never shows twice), and the overlay above the pages.
#include <QPainter>
#include <QPointer>

#include "app/document/AnnotationStore.h"
#include "app/platform/NotificationCenter.h"
#include "app/platform/QtConversions.h"
#include "app/view/CommentDisplay.h"
#include "app/view/ItemPainter.h"
#include "app/view/OverlayView.h"
#include "app/view/PageView.h"

namespace quillet {

HiddenAnnotations PageView::hiddenAnnotations(const std::vector<AnnotationKey>& keys) {
    HiddenAnnotations hidden;
    for (const AnnotationKey& key : keys) {
        if (key.name) {
            hidden.names.insert(QString::fromStdString(*key.name));
        }
        if (!key.rect.isNull()) {
            // Also by place: another program may have dropped or changed the /NM.
            hidden.places.push_back({QString::fromStdString(key.subtype), toQRectF(key.rect)});
        }
    }
    return hidden;
}

void PageView::setAnnotationStore(AnnotationStore* store) {
    detachStore();
    store_ = store;
    if (store_ != nullptr) {
        QPointer<PageView> self(this);
        auto refresh = [self](const std::set<int>& pages) {
            if (self) {
                self->refreshItems(pages);
            }
        };
        storeObservers_ = {store_->observeChanges(refresh), store_->observeDisplay(refresh)};
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
    if (store_ == nullptr && renderer_) {
        renderer_->clear();
    }
    viewport()->update();
}

void PageView::detachStore() {
    if (store_ != nullptr) {
        for (int token : storeObservers_) {
            store_->removeObserver(token);
        }
    }
    storeObservers_.clear();
    store_ = nullptr;
    composedItems_.clear();
}

void PageView::refreshItems(const std::set<int>& pages) {
    for (int page : pages) {
        if (page < 0 || page >= pageCount()) {
            continue;
        }
        if (const auto composed = composedItems_.find(page); composed != composedItems_.end()) {
            composed->second.markChanged();
        }
        const QRectF rect = pageRectInViewport(page);
        if (rect.intersects(QRectF(viewport()->rect()))) {
            viewport()->update(rect.toAlignedRect().adjusted(-1, -1, 1, 1));
        }
    }
}

void PageView::paintItems(QPainter& painter, int pageIndex) {
    if (store_ == nullptr) {
        return;
    }
    const QRectF visible = visiblePageRect(pageIndex);
    if (visible.isEmpty()) {
        return;
    }
    // Composed items are kept for the pages on screen only.
    for (auto it = composedItems_.begin(); it != composedItems_.end();) {
        it = it->first != pageIndex && (it->first >= pageCount() || visiblePageRect(it->first).isEmpty())
                 ? composedItems_.erase(it)
                 : std::next(it);
    }
    painter.save();
    painter.setClipRect(pageRectInViewport(pageIndex));
    // A repaint of unchanged items (under the pointer's stroke, after a
    // scroll) draws the kept maps without going over every item.
    const QTransform toView = pageToViewport(pageIndex);
    ItemPainter::PageItemLayers& composed = composedItems_[pageIndex];
    const bool showsText = CommentDisplay::showsCommentText();
    if (!ItemPainter::paintKept(painter, composed, toView, showsText)) {
        ItemPainter::paintAnnotations(painter, store_->annotationsOnPage(pageIndex), toView, showsText,
                                      visible, &composed);
    }
    painter.restore();
}

void PageView::hideStoredAnnotations(const std::vector<int>& pages) {
    if (store_ == nullptr || !renderer_) {
        return;
    }
    for (int page : pages) {
        // Loading first: the page's image must never be made before its
        // copies are known, or they would show under the items.
        store_->loadPage(page);
        renderer_->setHiddenAnnotations(page, hiddenAnnotations(store_->storedAnnotationKeys(page)));
    }
}

OverlayView* PageView::overlay() {
    if (overlay_ == nullptr) {
        overlay_ = new OverlayView(viewport());
    }
    return overlay_;
}

}  // namespace quillet
