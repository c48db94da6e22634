// Header-only (needs Qt): a PDFDocument that hands every call to the engine
// it wraps. Tests derive from it and override only what they watch or slow
// down; the optional calls (region renders, vector painting) keep the
// interface's fallbacks, so renders always go through renderPage.
#pragma once

#include <memory>
#include <utility>

#include "app/platform/PDFDocument.h"

namespace quillet::testing {

class ForwardingPDFDocument : public PDFDocument {
  public:
    explicit ForwardingPDFDocument(std::shared_ptr<PDFDocument> inner) : inner_(std::move(inner)) {}
    QString path() const override { return inner_->path(); }
    bool isEncrypted() const override { return inner_->isEncrypted(); }
    bool isLocked() const override { return inner_->isLocked(); }
    bool unlock(const QString& password) override { return inner_->unlock(password); }
    int pageCount() const override { return inner_->pageCount(); }
    std::optional<PDFPageGeometry> pageGeometry(int i) const override { return inner_->pageGeometry(i); }
    QImage renderPage(int i, double scale, const QSet<QString>& hidden) override {
        return inner_->renderPage(i, scale, hidden);
    }
    std::vector<PDFTextBox> textBoxes(int i) override { return inner_->textBoxes(i); }
    std::shared_ptr<PDFSearch> beginFind(const QString& text, PDFSearchCallbacks callbacks) override {
        return inner_->beginFind(text, std::move(callbacks));
    }
    void write(const QString& destination, PDFWriteOptions options) const override {
        inner_->write(destination, options);
    }

  private:
    std::shared_ptr<PDFDocument> inner_;
};

}  // namespace quillet::testing
