// Small, complete PDF files whose pages carry markup items written by the
// annotation serializer, for checking the written objects with independent
// tools (qpdf, poppler) and as sources for the incremental writer.
//
// Layout: 1 catalog, 2 page tree, then per page its page object and its
// content stream, then per item its annotation n, appearance n + 1 and, for
// a note with a pop-up, the pop-up n + 2 (the numbering the incremental
// writer uses). A classic cross-reference table ends the file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/markup/AnnotationItem.h"
#include "core/markup/AnnotationSerializer.h"
#include "core/markup/RGBA.h"
#include "core/pdf/Geometry.h"
#include "core/pdf/PDFValue.h"
#include "support/RenderedPage.h"

namespace quillet::testing {

struct AnnotatedPageSpec {
    PageFrame frame;      // media box and /Rotate (written when not 0)
    std::string content;  // the page's own drawing, uncompressed; may be empty
    std::vector<AnnotationItem> items;
    bool notesAsStamps = false;
    bool withPopups = true;  // notes get their pop-up objects
};

struct PlacedAnnotation {
    UUID id;
    int pageIndex = 0;
    PDFRef annotation;
    PDFRef appearance;
    std::optional<PDFRef> popup;
    Rect rect;  // the annotation's /Rect
    AnnotationSerializer::Output output;
};

struct AnnotatedPdf {
    Bytes bytes;
    std::vector<PDFRef> pages;
    std::vector<PlacedAnnotation> annotations;  // in page, then item order

    // The annotation of an item; nullptr when it is not in the file.
    const PlacedAnnotation* find(const UUID& id) const;
};

AnnotatedPdf writeAnnotatedPdf(const std::vector<AnnotatedPageSpec>& pages);

// Page content that fills a page-space rectangle with an opaque colour.
std::string filledRectContent(const Rect& r, const RGBA& color);

}  // namespace quillet::testing
