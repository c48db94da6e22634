#include "app/platform/PopplerPagePainter.h"

#include <poppler-qt6.h>

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QPicture>

#include "app/platform/PlatformLog.h"
#include "app/platform/RasterFidelity.h"

namespace quillet {
namespace {

// QPainter::drawPicture enlarges a picture by the device's resolution over the
// default one; page pictures are in points already.
void drawPicture(QPainter& painter, const QPicture& picture) {
    const QPaintDevice& device = *painter.device();
    painter.save();
    painter.scale(double(picture.logicalDpiX()) / device.logicalDpiX(),
                  double(picture.logicalDpiY()) / device.logicalDpiY());
    painter.drawPicture(0, 0, picture);
    painter.restore();
}

// The page's vectors drawn as the printer would, white paper under them.
QImage drawnAt(const QPicture& picture, QSize size, double dpi) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(dpi / 72, dpi / 72);
    drawPicture(painter, picture);
    return image;
}

// Each word of the page as text nobody sees, stretched over the word's box,
// so that the printed file keeps the page's text for search and copying.
void drawInvisibleText(QPainter& painter, Poppler::Page& page) {
    QFont font(QStringLiteral("Nimbus Sans"));
    font.setPixelSize(100);
    const QFontMetricsF metrics(font);
    painter.save();
    painter.setFont(font);
    painter.setPen(QColor(0, 0, 0, 0));
    for (const std::unique_ptr<Poppler::TextBox>& word : page.textList()) {
        const QRectF box = word->boundingBox();
        const double advance = metrics.horizontalAdvance(word->text());
        if (box.isEmpty() || advance <= 0) {
            continue;
        }
        const double vertical = box.height() / metrics.height();
        painter.save();
        painter.translate(box.left(), box.top() + metrics.ascent() * vertical);
        painter.scale(box.width() / advance, vertical);
        painter.drawText(QPointF(0, 0), word->text());
        painter.restore();
    }
    painter.restore();
}

}  // namespace

std::unique_ptr<PopplerPagePainter> PopplerPagePainter::open(const QString& path,
                                                             const std::optional<QByteArray>& password) {
    std::unique_ptr<Poppler::Document> document = Poppler::Document::load(path);
    if (document && document->isLocked() && password) {
        document->unlock(*password, *password);
    }
    if (!document || document->isLocked()) {
        return nullptr;
    }
    document->setRenderHint(Poppler::Document::Antialiasing);
    document->setRenderHint(Poppler::Document::TextAntialiasing);
    return std::unique_ptr<PopplerPagePainter>(new PopplerPagePainter(std::move(document)));
}

PopplerPagePainter::PopplerPagePainter(std::unique_ptr<Poppler::Document> document)
    : document_(std::move(document)) {}

PopplerPagePainter::~PopplerPagePainter() = default;

bool PopplerPagePainter::paintPage(QPainter& painter, int pageIndex, const HiddenAnnotations& hidden) {
    if (pageIndex < 0 || pageIndex >= document_->numPages()) {
        return false;
    }
    const std::unique_ptr<Poppler::Page> page = document_->page(pageIndex);
    if (!page) {
        return false;
    }
    applyHidden(hiddenByUs_, pageIndex, *page, hidden);
    document_->setRenderBackend(Poppler::Document::QPainterBackend);
    QPicture picture;
    QPainter recorder(&picture);
    const bool drawn = page->renderToPainter(&recorder, 72, 72);
    recorder.end();
    document_->setRenderBackend(Poppler::Document::SplashBackend);
    if (!drawn) {
        return false;
    }
    const QImage reference = page->renderToImage(checkDPI, checkDPI);
    const double share =
        RasterFidelity::matchingShare(drawnAt(picture, reference.size(), checkDPI), reference);
    if (share < RasterFidelity::faithfulShare) {
        logLine(QStringLiteral("printing page %1 as an image: its vectors match its render at %2 %")
                    .arg(pageIndex + 1)
                    .arg(share * 100, 0, 'f', 1)
                    .toStdString());
        return false;
    }
    drawPicture(painter, picture);
    drawInvisibleText(painter, *page);
    return true;
}

}  // namespace quillet
