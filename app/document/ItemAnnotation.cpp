#include "app/document/ItemAnnotation.h"

#include "core/markup/ItemAppearanceBuilder.h"
#include "core/markup/ItemCodec.h"

namespace quillet {
namespace {

std::atomic<int64_t> buildCount{0};

std::shared_ptr<const ItemAppearance> buildAppearance(const AnnotationItem& item, bool expanded) {
    buildCount.fetch_add(1, std::memory_order_relaxed);
    return std::make_shared<const ItemAppearance>(ItemAppearanceBuilder::build(item, expanded));
}

}  // namespace

ItemAnnotation::ItemAnnotation(AnnotationItem item, bool displayed)
    : item_(std::move(item)), displayed_(displayed) {}

const std::string& ItemAnnotation::payload() const {
    if (!payload_) payload_ = ItemCodec::encode(item_);
    return *payload_;
}

const ItemAppearance& ItemAnnotation::appearance(bool showCommentText) const {
    if (item_.isNote() && showCommentText) {
        if (!expanded_) expanded_ = buildAppearance(item_, true);
        return *expanded_;
    }
    if (!collapsed_) collapsed_ = buildAppearance(item_, false);
    return *collapsed_;
}

Rect ItemAnnotation::bounds(bool showCommentText) const {
    return appearance(showCommentText).bounds;
}

int64_t ItemAnnotation::appearanceBuildCount() {
    return buildCount.load(std::memory_order_relaxed);
}

}  // namespace quillet
