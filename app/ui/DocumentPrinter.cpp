#include "app/ui/DocumentPrinter.h"

#include <algorithm>
#include <cmath>

#include <QPainter>
#include <QPrinter>
#include <QSet>

#include "app/document/AnnotationStore.h"
#include "app/editor/ItemPainter.h"
#include "app/platform/PDFDocument.h"
#include "app/platform/PlatformLog.h"

namespace quillet::DocumentPrinter {
namespace {

QSet<QString> storedNames(const AnnotationStore& store, int page)
{
    QSet<QString> names;
    for (const AnnotationKey& key : store.storedAnnotationKeys(page)) {
        if (key.name) {
            names.insert(QString::fromStdString(*key.name));
        }
    }
    return names;
}

void printPage(QPainter& painter, PDFDocument& pdf, AnnotationStore& store, int page, const QRectF& paper, double dpi,
               bool showCommentText)
{
    const std::optional<PDFPageGeometry> geometry = pdf.pageGeometry(page);
    if (!geometry) {
        return;
    }
    const QSizeF size = geometry->displaySize();
    const QTransform toPaper = displayToPaper(size, paper, dpi);
    // Pixels per point on paper, capped: a raster beyond that only costs memory.
    const double scale = std::min(std::sqrt(std::abs(toPaper.determinant())), maximumRasterDPI / 72);
    store.loadPage(page);
    const QImage image = pdf.renderPage(page, scale, storedNames(store, page));
    painter.save();
    painter.setTransform(toPaper);
    if (!image.isNull()) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
        painter.drawImage(QRectF(QPointF(0, 0), size), image);
    }
    painter.resetTransform();
    painter.setRenderHint(QPainter::Antialiasing, true);
    ItemPainter::paintAnnotations(painter, store.annotationsOnPage(page), geometry->pageToDisplay() * toPaper,
                                  showCommentText);
    painter.restore();
}

}  // namespace

QTransform displayToPaper(QSizeF pageDisplaySize, const QRectF& paper, double dpi)
{
    const bool turn = pageDisplaySize.width() != pageDisplaySize.height() &&
                      (pageDisplaySize.width() > pageDisplaySize.height()) != (paper.width() > paper.height());
    const QSizeF onPaper = turn ? pageDisplaySize.transposed() : pageDisplaySize;
    const double natural = dpi / 72;
    const double fit = std::min(paper.width() / onPaper.width(), paper.height() / onPaper.height());
    const double scale = std::min(natural, fit);
    QTransform transform;
    transform.translate(paper.center().x(), paper.center().y());
    if (turn) {
        transform.rotate(90);
    }
    transform.scale(scale, scale);
    transform.translate(-pageDisplaySize.width() / 2, -pageDisplaySize.height() / 2);
    return transform;
}

bool print(QPrinter& printer, PDFDocument& pdf, AnnotationStore& store, const QString& title, bool showCommentText,
           const Progress& progress)
{
    printer.setDocName(title);
    const int count = pdf.pageCount();
    int first = 0;
    int last = count - 1;
    if (printer.printRange() == QPrinter::PageRange && printer.fromPage() > 0) {
        first = std::clamp(printer.fromPage() - 1, 0, count - 1);
        last = std::clamp(printer.toPage() - 1, first, count - 1);
    }
    QPainter painter;
    if (count == 0 || !painter.begin(&printer)) {
        logLine("printing could not start");
        return false;
    }
    const double dpi = printer.resolution();
    const QRectF paper(QPointF(0, 0), printer.pageRect(QPrinter::DevicePixel).size());
    const int total = last - first + 1;
    for (int page = first; page <= last; ++page) {
        if (page > first) {
            printer.newPage();
        }
        printPage(painter, pdf, store, page, paper, dpi, showCommentText);
        if (progress && !progress(page - first + 1, total)) {
            printer.abort();
            painter.end();
            return false;
        }
    }
    painter.end();
    return true;
}

}  // namespace quillet::DocumentPrinter
