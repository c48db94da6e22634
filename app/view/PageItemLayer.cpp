#include "app/view/PageItemLayer.h"

#include <QPainter>

#include "app/document/AnnotationStore.h"
#include "app/platform/QtConversions.h"
#include "app/view/CommentDisplay.h"

namespace quillet {

void PageItemLayer::attach(AnnotationStore* store, std::function<void(const std::set<int>&)> onChange) {
    detach();
    store_ = store;
    if (store_ != nullptr) {
        observers_ = {store_->observeChanges(onChange), store_->observeDisplay(onChange)};
    }
}

void PageItemLayer::detach() {
    if (store_ != nullptr) {
        for (int token : observers_) {
            store_->removeObserver(token);
        }
    }
    observers_.clear();
    store_ = nullptr;
    composed_.clear();
}

void PageItemLayer::markChanged(int pageIndex) {
    if (const auto composed = composed_.find(pageIndex); composed != composed_.end()) {
        composed->second.markChanged();
    }
}

void PageItemLayer::keepOnly(const std::function<bool(int pageIndex)>& shown) {
    for (auto it = composed_.begin(); it != composed_.end();) {
        it = shown(it->first) ? std::next(it) : composed_.erase(it);
    }
}

void PageItemLayer::paint(QPainter& painter, int pageIndex, const QTransform& toView, const QRectF& visible) {
    if (store_ == nullptr) {
        return;
    }
    ItemPainter::PageItemLayers& composed = composed_[pageIndex];
    const bool showsText = CommentDisplay::showsCommentText();
    if (!ItemPainter::paintKept(painter, composed, toView, showsText)) {
        ItemPainter::paintAnnotations(painter, store_->annotationsOnPage(pageIndex), toView, showsText,
                                      visible, &composed);
    }
}

HiddenAnnotations PageItemLayer::hiddenCopies(int pageIndex) {
    store_->loadPage(pageIndex);
    return hiddenAnnotations(store_->storedAnnotationKeys(pageIndex));
}

HiddenAnnotations PageItemLayer::hiddenAnnotations(const std::vector<AnnotationKey>& keys) {
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

}  // namespace quillet
