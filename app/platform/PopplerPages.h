// What both of the Poppler document's users (the display document and the
// printing painter) need of one Poppler page: its geometry, and leaving the
// application's own annotations out of a render.
#pragma once

#include <poppler-annotation.h>

#include <map>
#include <utility>

#include "app/platform/PDFDocument.h"

namespace Poppler {
class Page;
}  // namespace Poppler

namespace quillet {

// The annotations a document's renders hid, by (page, position in the page's
// list), with the flags they had in the file, so that a later render can show
// them again without touching annotations the file itself hides.
using HiddenFlags = std::map<std::pair<int, int>, Poppler::Annotation::Flags>;

PDFPageGeometry geometryOf(Poppler::Page& page);

// Hides the page's annotations that `hidden` names (by /NM or by subtype and
// place) and shows again those hidden before that it no longer names. Only
// the flags in memory change.
void applyHidden(HiddenFlags& hiddenByUs, int pageIndex, Poppler::Page& page,
                 const HiddenAnnotations& hidden);

}  // namespace quillet
