// What a page looks like to a reader: the area a viewer shows (the crop box,
// clipped to the media box) and the quarter turn it is shown with. Both are
// inheritable, so a page without its own /Rotate or /CropBox takes them from
// the nearest page-tree node above it that has one. Items added from the
// command line are made under these, as the application makes them under
// the page it shows, so their text reads upright.
#pragma once

#include <cstdint>

#include "core/markup/Geometry.h"
#include "core/pdf/PDFFileReader.h"

namespace quillet::cli {

struct PageBox {
    Rect cropBox{0, 0, 612, 792};  // page space, standardized
    int64_t rotation = 0;          // 0, 90, 180 or 270

    bool operator==(const PageBox&) const = default;
};

// Page-tree nodes followed up from a page before giving up (a /Parent loop).
inline constexpr int kMaxParentHops = 64;

// The page's box. Missing or unreadable values fall back to US Letter and no
// rotation rather than failing: the page itself is checked by the writer.
PageBox pageBox(PDFFileReader& reader, const PDFRef& page);

}  // namespace quillet::cli
