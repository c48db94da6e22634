#include "app/platform/PopplerPDFDocument.h"

#include <poppler-annotation.h>
#include <poppler-qt6.h>

#include <QFile>
#include <QFileInfo>
#include <atomic>
#include <cmath>

#include "app/platform/MainThread.h"
#include "app/platform/PDFPassword.h"
#include "app/platform/PopplerPagePainter.h"
#include "app/platform/PopplerPages.h"
#include "app/platform/QpdfDocumentWriter.h"

namespace quillet {

struct PopplerPDFDocument::Engine {
    mutable std::mutex mutex;
    std::unique_ptr<Poppler::Document> document;
    // Copies of the document's state that change only when it is unlocked,
    // readable without the mutex: the main thread asks for them often and
    // must not wait for a render or a search holding the document.
    std::atomic<bool> locked{false};
    std::atomic<bool> encrypted{false};
    std::atomic<int> pageCount{0};
    std::optional<QByteArray> password;  // the form that unlocked the document
    // The annotations this object hid, by (page, position in the page's list),
    // with the flags they had in the file, so a later render can show them again
    // without touching annotations that the file itself hides.
    HiddenFlags hiddenByUs;

    std::unique_ptr<Poppler::Page> page(int index) const {
        if (document->isLocked() || index < 0 || index >= document->numPages()) {
            return nullptr;
        }
        return document->page(index);
    }

    // With the mutex held (or before the engine is shared).
    void noteState() {
        locked = document->isLocked();
        encrypted = locked || document->isEncrypted();
        pageCount = locked ? 0 : document->numPages();
    }
};

namespace {

void ignorePopplerMessages(const QString&, const QVariant&) {}

class PopplerSearch final : public PDFSearch {
  public:
    void cancel() override { cancelled_.store(true); }
    bool isCancelled() const override { return cancelled_.load(); }

  private:
    std::atomic<bool> cancelled_{false};
};

std::vector<PDFSearchMatch> findOnPage(const PopplerPDFDocument::Engine& engine, int pageIndex,
                                       const QString& text) {
    std::lock_guard lock(engine.mutex);
    const std::unique_ptr<Poppler::Page> page = engine.page(pageIndex);
    if (!page) {
        return {};
    }
    const PDFPageGeometry geometry = geometryOf(*page);
    std::vector<PDFSearchMatch> matches;
    for (const QRectF& rect :
         page->search(text, Poppler::Page::IgnoreCase | Poppler::Page::IgnoreDiacritics)) {
        matches.push_back({pageIndex, geometry.toPage(rect)});
    }
    return matches;
}

void runSearch(const std::shared_ptr<PopplerPDFDocument::Engine>& engine,
               const std::shared_ptr<PopplerSearch>& search, const QString& text,
               const std::shared_ptr<const PDFSearchCallbacks>& callbacks) {
    int pages = 0;
    {
        std::lock_guard lock(engine->mutex);
        pages = engine->document->isLocked() ? 0 : engine->document->numPages();
    }
    for (int i = 0; i < pages && !text.isEmpty() && !search->isCancelled(); ++i) {
        for (const PDFSearchMatch& match : findOnPage(*engine, i, text)) {
            MainThread::post([search, callbacks, match] {
                if (!search->isCancelled() && callbacks->match) {
                    callbacks->match(match);
                }
            });
        }
    }
    MainThread::post([search, callbacks] {
        if (!search->isCancelled() && callbacks->end) {
            callbacks->end();
        }
    });
}

}  // namespace

std::unique_ptr<PDFDocument> openPDFDocument(const QString& path) {
    return PopplerPDFDocument::open(path);
}

std::unique_ptr<PopplerPDFDocument> PopplerPDFDocument::open(const QString& path) {
    static const bool quiet = [] {
        Poppler::setDebugErrorFunction(ignorePopplerMessages, QVariant());
        return true;
    }();
    (void)quiet;
    const QFileInfo info(path);
    if (!info.exists()) {
        throw PDFEngineError(PDFEngineError::Code::fileNotFound, path.toStdString());
    }
    QFile probe(path);
    if (!info.isFile() || !probe.open(QIODevice::ReadOnly)) {
        throw PDFEngineError(PDFEngineError::Code::fileUnreadable, path.toStdString());
    }
    probe.close();
    std::unique_ptr<Poppler::Document> document = Poppler::Document::load(path);
    // A file that opens with no page at all is not a usable PDF either.
    if (!document || (!document->isLocked() && document->numPages() <= 0)) {
        throw PDFEngineError(PDFEngineError::Code::notPDF, path.toStdString());
    }
    document->setRenderHint(Poppler::Document::Antialiasing);
    document->setRenderHint(Poppler::Document::TextAntialiasing);
    auto engine = std::make_shared<Engine>();
    engine->document = std::move(document);
    engine->noteState();
    return std::unique_ptr<PopplerPDFDocument>(new PopplerPDFDocument(path, std::move(engine)));
}

PopplerPDFDocument::PopplerPDFDocument(QString path, std::shared_ptr<Engine> engine)
    : path_(std::move(path)), engine_(std::move(engine)) {}

PopplerPDFDocument::~PopplerPDFDocument() {
    if (lastSearch_) {
        lastSearch_->cancel();
    }
}

bool PopplerPDFDocument::isEncrypted() const {
    return engine_->encrypted;
}

bool PopplerPDFDocument::isLocked() const {
    return engine_->locked;
}

bool PopplerPDFDocument::unlock(const QString& password) {
    std::lock_guard lock(engine_->mutex);
    Poppler::Document& document = *engine_->document;
    for (const QByteArray& candidate : passwordCandidates(password)) {
        if (!document.isLocked()) {
            break;
        }
        document.unlock(candidate, candidate);
        if (!document.isLocked()) {
            // Unlocking reloads the document: flags set in memory are gone.
            engine_->password = candidate;
            engine_->hiddenByUs.clear();
        }
    }
    engine_->noteState();
    return !document.isLocked();
}

int PopplerPDFDocument::pageCount() const {
    return engine_->pageCount;
}

std::optional<PDFPageGeometry> PopplerPDFDocument::pageGeometry(int pageIndex) const {
    std::lock_guard lock(engine_->mutex);
    const std::unique_ptr<Poppler::Page> page = engine_->page(pageIndex);
    if (!page) {
        return std::nullopt;
    }
    return geometryOf(*page);
}

QImage PopplerPDFDocument::renderPage(int pageIndex, double scale,
                                      const QSet<QString>& hiddenAnnotationNames) {
    return renderPageHiding(pageIndex, scale, HiddenAnnotations{hiddenAnnotationNames, {}});
}

QImage PopplerPDFDocument::renderPageHiding(int pageIndex, double scale, const HiddenAnnotations& hidden) {
    if (!std::isfinite(scale) || scale <= 0) {
        return {};
    }
    std::lock_guard lock(engine_->mutex);
    const std::unique_ptr<Poppler::Page> page = engine_->page(pageIndex);
    if (!page) {
        return {};
    }
    const QSizeF size = page->pageSizeF();
    const double pixels = size.width() * size.height() * scale * scale;
    if (pixels > maxRenderPixels) {
        scale *= std::sqrt(maxRenderPixels / pixels);
    }
    applyHidden(engine_->hiddenByUs, pageIndex, *page, hidden);
    return page->renderToImage(72.0 * scale, 72.0 * scale);
}

QImage PopplerPDFDocument::renderRegion(int pageIndex, double scale, const QRect& pixels,
                                        const HiddenAnnotations& hidden) {
    if (!std::isfinite(scale) || scale <= 0 || pixels.isEmpty()) {
        return {};
    }
    std::lock_guard lock(engine_->mutex);
    const std::unique_ptr<Poppler::Page> page = engine_->page(pageIndex);
    if (!page) {
        return {};
    }
    const QSizeF size = page->pageSizeF() * scale;
    const QRect region = pixels & QRect(0, 0, static_cast<int>(std::ceil(size.width())),
                                        static_cast<int>(std::ceil(size.height())));
    if (region.isEmpty() || double(region.width()) * region.height() > maxRenderPixels) {
        return {};
    }
    applyHidden(engine_->hiddenByUs, pageIndex, *page, hidden);
    return page->renderToImage(72.0 * scale, 72.0 * scale, region.x(), region.y(), region.width(),
                               region.height());
}

std::vector<PDFTextBox> PopplerPDFDocument::textBoxes(int pageIndex) {
    std::lock_guard lock(engine_->mutex);
    const std::unique_ptr<Poppler::Page> page = engine_->page(pageIndex);
    if (!page) {
        return {};
    }
    const PDFPageGeometry geometry = geometryOf(*page);
    std::vector<PDFTextBox> boxes;
    for (const std::unique_ptr<Poppler::TextBox>& word : page->textList()) {
        PDFTextBox box{word->text(), geometry.toPage(word->boundingBox()), {}, word->hasSpaceAfter()};
        for (int i = 0; i < box.text.size(); ++i) {
            box.characterBounds.push_back(geometry.toPage(word->charBoundingBox(i)));
        }
        boxes.push_back(std::move(box));
    }
    return boxes;
}

std::shared_ptr<PDFSearch> PopplerPDFDocument::beginFind(const QString& text, PDFSearchCallbacks callbacks) {
    if (lastSearch_) {
        lastSearch_->cancel();
    }
    if (!searchQueue_) {
        searchQueue_ = std::make_unique<SerialQueue>("app.quillet.search");
    }
    auto search = std::make_shared<PopplerSearch>();
    auto shared = std::make_shared<const PDFSearchCallbacks>(std::move(callbacks));
    searchQueue_->async(
        [engine = engine_, search, text, shared] { runSearch(engine, search, text, shared); });
    lastSearch_ = search;
    return search;
}

void PopplerPDFDocument::write(const QString& destination, PDFWriteOptions options) const {
    std::vector<QByteArray> passwords;
    {
        std::lock_guard lock(engine_->mutex);
        if (engine_->document->isLocked()) {
            throw PDFEngineError(PDFEngineError::Code::locked);
        }
        if (engine_->password) {
            passwords.push_back(*engine_->password);
        }
    }
    QpdfDocumentWriter::write(path_, passwords, destination, options);
}

std::unique_ptr<PDFPagePainter> PopplerPDFDocument::openPagePainter() const {
    std::optional<QByteArray> password;
    {
        std::lock_guard lock(engine_->mutex);
        if (engine_->document->isLocked()) {
            return nullptr;
        }
        password = engine_->password;
    }
    return PopplerPagePainter::open(path_, password);
}

}  // namespace quillet
