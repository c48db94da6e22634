// Everything the application asks of a PDF engine about one opened document:
// locking, pages, rendering, text, search and writing whole copies. Callers see
// only this interface; openPDFDocument() picks the engine (Poppler for reading
// and rendering, qpdf for writing). Decorators (a slow renderer in a test, a
// cache) can wrap any implementation.
//
// Coordinates are in page space or display space as PDFPageGeometry defines;
// page indices are 0-based. Rendering, text and page queries may be called from
// any thread: an implementation serialises its engine's use. Which annotations
// belong to the application is decided by the core's reader, never here; this
// interface only hides annotations by their /NM when asked.
#pragma once

#include <QImage>
#include <QRect>
#include <QRectF>
#include <QSet>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "app/platform/PDFEngineError.h"
#include "app/platform/PDFPageGeometry.h"

class QPainter;

namespace quillet {

// One word of the page's text, for selection.
struct PDFTextBox {
    QString text;
    QRectF bounds;                        // page space
    std::vector<QRectF> characterBounds;  // page space, one per character of `text`
    bool hasSpaceAfter = false;
};

struct PDFSearchMatch {
    int pageIndex = 0;
    QRectF bounds;  // page space
};

// Called on the main thread: every match in document order, then `end` once.
// After PDFSearch::cancel() returned on the main thread, neither is called.
struct PDFSearchCallbacks {
    std::function<void(const PDFSearchMatch&)> match;
    std::function<void()> end;
};

class PDFSearch {
  public:
    virtual ~PDFSearch() = default;
    virtual void cancel() = 0;
    virtual bool isCancelled() const = 0;
};

// Annotations a render leaves out (the file's copies of items the
// application draws itself): those whose /NM is in `names`, and those whose
// subtype and /Rect (page space) match one of `places`, for copies whose /NM
// is missing or was changed by another program.
struct HiddenAnnotations {
    struct Place {
        QString subtype;  // "Ink", "FreeText", "Line", "Text", "Stamp", "Highlight", ...
        QRectF rect;

        bool operator==(const Place&) const = default;
    };
    QSet<QString> names;
    std::vector<Place> places;

    bool isEmpty() const { return names.isEmpty() && places.empty(); }
    bool operator==(const HiddenAnnotations&) const = default;
};

// Draws a document's pages as vectors onto any painter, for printing: text,
// paths and images stay what they are instead of becoming one picture. It is
// a document of its own, opened from the same file, so that printing never
// waits for the display's renders nor holds them up. One thread at a time.
class PDFPagePainter {
  public:
    virtual ~PDFPagePainter() = default;

    // Draws the page's crop box as shown (display space, points) through the
    // painter's transform, with `hidden` left out, and its words as invisible
    // text over them so that the output can be searched and copied. False,
    // having drawn nothing, when the vectors would not look like the page's
    // render: the caller then prints the render instead.
    virtual bool paintPage(QPainter& painter, int pageIndex, const HiddenAnnotations& hidden) = 0;
};

struct PDFWriteOptions {
    // Draws every visible annotation that has an appearance into its page's
    // content and removes the annotations; annotations without an appearance
    // are dropped, so callers give theirs one first.
    bool burnInAnnotations = false;
};

class PDFDocument {
  public:
    virtual ~PDFDocument() = default;

    virtual QString path() const = 0;

    virtual bool isEncrypted() const = 0;
    virtual bool isLocked() const = 0;
    // Accepts the user or the owner password; true when the document is open
    // afterwards (also when it was not locked).
    virtual bool unlock(const QString& password) = 0;

    // 0 while locked.
    virtual int pageCount() const = 0;
    // Absent while locked or for an index out of range.
    virtual std::optional<PDFPageGeometry> pageGeometry(int pageIndex) const = 0;

    // The page's crop box as shown (rotated), `scale` pixels per point, with
    // the annotations whose /NM is in `hiddenAnnotationNames` left out. A null
    // image while locked, for an index out of range or a scale that is not a
    // positive number; very large scales are reduced to a bounded pixel count.
    virtual QImage renderPage(int pageIndex, double scale, const QSet<QString>& hiddenAnnotationNames) = 0;
    // The same, leaving out annotations by name or by subtype and place.
    virtual QImage renderPageHiding(int pageIndex, double scale, const HiddenAnnotations& hidden) {
        return renderPage(pageIndex, scale, hidden.names);
    }
    // The part `pixels` of the page as renderPageHiding would show it at
    // `scale` (pixel coordinates of that whole image, clipped to it), at any
    // scale: a region is never reduced. Null where the engine cannot render
    // regions, for an empty region or one outside the page; callers then show
    // the whole page.
    virtual QImage renderRegion(int pageIndex, double scale, const QRect& pixels,
                                const HiddenAnnotations& hidden) {
        (void)pageIndex, (void)scale, (void)pixels, (void)hidden;
        return {};
    }

    // The words of the page in reading order; empty while locked.
    virtual std::vector<PDFTextBox> textBoxes(int pageIndex) = 0;

    // Starts a case- and diacritic-insensitive search on a background thread.
    // Call it on the main thread, whose event loop delivers the callbacks. An
    // empty text finds nothing and just ends.
    virtual std::shared_ptr<PDFSearch> beginFind(const QString& text, PDFSearchCallbacks callbacks) = 0;

    // Writes the whole document (as its file holds it; an encrypted file stays
    // encrypted) to `destination`, replacing what is there only once the new
    // file is complete. Throws PDFEngineError (locked, writeFailed). What the
    // writer repaired on the way is logged (see QpdfDocumentWriter).
    virtual void write(const QString& destination, PDFWriteOptions options = {}) const = 0;

    // A painter of this document's pages as vectors (see PDFPagePainter);
    // null while locked or where the engine cannot draw vectors.
    virtual std::unique_ptr<PDFPagePainter> openPagePainter() const { return nullptr; }
};

// Opens the PDF at `path`. A document that needs a password opens locked.
// Throws PDFEngineError (fileNotFound, fileUnreadable, notPDF).
std::unique_ptr<PDFDocument> openPDFDocument(const QString& path);

}  // namespace quillet
