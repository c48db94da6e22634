// Where a store reads the items a PDF file already holds, page by page. The
// file's own copy of each item (its annotation) is described by the values
// needed to hide it when the page is drawn and to restore the item.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/markup/AnnotationItem.h"
#include "core/pdf/Geometry.h"

namespace quillet {

// How the page renderer recognises one of our annotations in the file: by
// its /NM, or where that is missing or was changed, by subtype and /Rect.
struct AnnotationKey {
    std::optional<std::string> name;  // /NM as UTF-8
    std::string subtype;              // "Ink", "FreeText", ...
    Rect rect;                        // /Rect, standardized

    bool operator==(const AnnotationKey&) const = default;
};

// One of the application's annotations as read from the file.
struct StoredAnnotation {
    AnnotationItem item;  // restored from the payload
    // /Contents as UTF-8, absent when missing or not a string.
    std::optional<std::string> contents;
    AnnotationKey key;
};

class PageItemSource {
  public:
    virtual ~PageItemSource() = default;
    // The page's annotations that carry an item, in /Annots order; absent
    // when the page cannot be read (a locked or damaged file, an index the
    // file does not have). Absent never means "no items".
    virtual std::optional<std::vector<StoredAnnotation>> readPage(int pageIndex) = 0;
    // Why the last read failed, for the status line and the log.
    virtual std::string failureText() const = 0;
};

}  // namespace quillet
