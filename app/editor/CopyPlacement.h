// Where a pasted or duplicated copy lands: beside its original when that is
// on the page (standing off it, so both show), else in the original's place;
// and when that place is not in view, in the middle of the page's visible
// part, so the reader sees what was pasted.
#pragma once

#include <QRectF>
#include <QTransform>

#include "core/markup/AnnotationItem.h"

namespace quillet {

struct CopyPlacement {
    // How far a copy stands off its original, in viewport points.
    static constexpr double offset = 14;

    bool originalHere = false;  // the original is in this document
    QTransform pageToViewport;
    QRectF visiblePage;  // page space; empty when none is visible
    Rect pageBounds;
    bool notesExpanded = false;  // notes are drawn with their text

    // `copy` moved to where it lands.
    AnnotationItem place(const AnnotationItem& copy) const;
};

}  // namespace quillet
