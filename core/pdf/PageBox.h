// What a page looks like to a reader: the area a viewer shows (the crop box,
// clipped to the media box as Poppler does) and the quarter turn it is shown with. Both are
// inheritable, so a page without its own /Rotate or /CropBox takes them from
// the nearest page-tree node above it that has one. Items added from the
// command line are made under these, and the application places items with
// the same display transform, so that both put an item at the same place.
#pragma once

#include <cstdint>

#include "core/pdf/Geometry.h"
#include "core/pdf/PDFFileReader.h"

namespace quillet {

struct PageBox {
    Rect cropBox{0, 0, 612, 792};  // page space, standardized
    int64_t rotation = 0;          // clockwise display rotation: 0, 90, 180 or 270

    bool operator==(const PageBox&) const = default;

    // A /Rotate as viewers take it: a multiple of 90, also negative or past
    // 360, becomes one of the four; anything else is malformed and shows
    // the page unrotated (as Poppler and pdf.js do).
    static int64_t displayRotation(int64_t degrees);

    // The shown page's size in points (width and height swap at 90 and 270).
    Size displaySize() const;
    // Page space (y up) to display space: points, origin at the top left of
    // the shown, rotated crop box, y down. A page rendered at scale s shows
    // display point (x, y) at pixel (x*s, y*s).
    AffineTransform pageToDisplay() const;
};

// Page-tree nodes followed up from a page before giving up (a /Parent loop).
inline constexpr int kMaxParentHops = 64;

// The page's box. Missing or unreadable values fall back to US Letter and no
// rotation rather than failing: the page itself is checked by the writer.
PageBox pageBox(PDFFileReader& reader, const PDFRef& page);

}  // namespace quillet
