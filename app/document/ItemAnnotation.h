// How one stored item reaches the page: the item, its payload, and its
// appearance built once and kept until the item changes. The page view draws
// these in drawing order; a hidden one (the item being edited in place) is not
// drawn. Main thread only: the appearances are built lazily.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "core/markup/AnnotationItem.h"
#include "core/markup/ItemAppearance.h"
#include "core/pdf/Geometry.h"

namespace quillet {

class ItemAnnotation {
  public:
    explicit ItemAnnotation(AnnotationItem item, bool displayed = true);

    const AnnotationItem& item() const { return item_; }
    const UUID& id() const { return item_.id; }
    // The payload text; encoded on first use.
    const std::string& payload() const;

    // What is drawn: a note shows its text bubble only while comment text is
    // shown; other items look the same either way.
    const ItemAppearance& appearance(bool showCommentText) const;
    // The appearance's bounds: a note's shrink to its icon while comment
    // text is hidden.
    Rect bounds(bool showCommentText) const;

    bool isDisplayed() const { return displayed_; }
    void setDisplayed(bool displayed) { displayed_ = displayed; }

    // What the view derives from the appearance and keeps with the item (its
    // rasterized drawing, app/editor's ItemPainter); it goes away with the
    // item when the item changes. Opaque here: this layer knows no view.
    std::shared_ptr<void>& drawingCache() const { return drawingCache_; }

    // Appearances built by all ItemAnnotations of the process so far; the
    // benchmark and tests read it to see that only changed items rebuild.
    static int64_t appearanceBuildCount();

  private:
    AnnotationItem item_;
    bool displayed_ = true;
    mutable std::optional<std::string> payload_;
    mutable std::shared_ptr<const ItemAppearance> collapsed_;
    mutable std::shared_ptr<const ItemAppearance> expanded_;  // notes only
    mutable std::shared_ptr<void> drawingCache_;
};

}  // namespace quillet
