// Printing a document with its markup: each page as the PDF engine renders it
// with the application's own annotations left out, and the store's current
// items (unsaved ones too) painted over it as vectors. Pages keep their size
// unless the paper is too small (then they are scaled down to fit), are
// centred, and are turned a quarter when their orientation differs from the
// paper's.
#pragma once

#include <functional>

#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QTransform>

class QPrinter;

namespace quillet {

class AnnotationStore;
class PDFDocument;

namespace DocumentPrinter {

// The highest resolution pages are rendered at for printing; vectors (the
// markup) are not limited.
inline constexpr double maximumRasterDPI = 300;

// Maps a page's display space (points, rotation applied) onto `paper` (device
// pixels at `dpi`): scaled down to fit, centred, turned when the orientations
// differ.
QTransform displayToPaper(QSizeF pageDisplaySize, const QRectF& paper, double dpi);

// Called after each page with the pages done and the pages to print; false
// cancels the job.
using Progress = std::function<bool(int done, int total)>;

// Prints the printer's page range (every page when none is set) as `title`.
// Runs on the main thread (it reads the store). False when cancelled or when
// the printer could not start.
bool print(QPrinter& printer, PDFDocument& pdf, AnnotationStore& store, const QString& title,
           bool showCommentText, const Progress& progress = {});

}  // namespace DocumentPrinter
}  // namespace quillet
