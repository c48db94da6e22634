// The PDF document interface on Poppler-Qt6 (reading, rendering, text, search)
// with qpdf for writing. One Poppler document must be used by one thread at a
// time, so every use of it takes the document's lock; a search takes it once
// per page so that rendering can go on between pages.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <utility>

#include "app/platform/PDFDocument.h"
#include "app/platform/SerialQueue.h"

namespace Poppler {
class Document;
class Page;
}  // namespace Poppler

namespace quillet {

class PopplerPDFDocument final : public PDFDocument {
  public:
    // Renders larger than this many pixels are scaled down to it (about 256 MB
    // of image memory).
    static constexpr double maxRenderPixels = 64.0 * 1000 * 1000;

    // Throws PDFEngineError (fileNotFound, fileUnreadable, notPDF).
    static std::unique_ptr<PopplerPDFDocument> open(const QString& path);
    ~PopplerPDFDocument() override;

    QString path() const override { return path_; }
    bool isEncrypted() const override;
    bool isLocked() const override;
    bool unlock(const QString& password) override;
    int pageCount() const override;
    std::optional<PDFPageGeometry> pageGeometry(int pageIndex) const override;
    QImage renderPage(int pageIndex, double scale, const QSet<QString>& hiddenAnnotationNames) override;
    QImage renderPageHiding(int pageIndex, double scale, const HiddenAnnotations& hidden) override;
    QImage renderRegion(int pageIndex, double scale, const QRect& pixels,
                        const HiddenAnnotations& hidden) override;
    std::vector<PDFTextBox> textBoxes(int pageIndex) override;
    // Also cancels the search begun before, if it is still running.
    std::shared_ptr<PDFSearch> beginFind(const QString& text, PDFSearchCallbacks callbacks) override;
    void write(const QString& destination, PDFWriteOptions options = {}) const override;
    std::unique_ptr<PDFPagePainter> openPagePainter() const override;

    struct Engine;

  private:
    PopplerPDFDocument(QString path, std::shared_ptr<Engine> engine);

    QString path_;
    std::shared_ptr<Engine> engine_;  // shared with the running search
    std::shared_ptr<PDFSearch> lastSearch_;
    std::unique_ptr<SerialQueue> searchQueue_;  // last member: joined first
};

}  // namespace quillet
