// Editing the annotations of a whole document with qpdf, for the save's
// verification and its full-rewrite fallback: list a page's annotations with
// their "QuilletItem" text, remove some together with their pop-ups, add
// annotations built by the core's serializer, and write the result. The
// reading side of the application (rendering, text) stays on PDFDocument.
// The work is done in the qpdf module (QpdfEngine.h), loaded on first use.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/platform/QpdfEngine.h"

namespace quillet {

class QpdfAnnotationEditor {
  public:
    using Annotation = QpdfEngine::Annotation;
    using NewAnnotation = QpdfEngine::NewAnnotation;
    using PageLookup = QpdfEngine::PageLookup;

    // Throws PDFEngineError (fileNotFound, locked, writeFailed; writeFailed
    // too when the qpdf module cannot be loaded).
    static QpdfAnnotationEditor open(const QString& source, const std::vector<QByteArray>& passwords = {});

    bool isEncrypted() const { return editor_->isEncrypted(); }
    // Whether the document carries a digital signature: /SigFlags in its
    // /AcroForm, or a form field whose value has a /ByteRange. Rewriting such
    // a file would invalidate every signature in it.
    bool hasSignatures() const { return editor_->hasSignatures(); }
    int pageCount(PageLookup lookup = PageLookup::pageTree) const { return editor_->pageCount(lookup); }

    // Empty for an index out of range.
    std::vector<Annotation> annotations(int pageIndex, PageLookup lookup = PageLookup::pageTree) const {
        return editor_->annotations(pageIndex, lookup);
    }
    // Removes the listed positions (as annotations() numbered them) and the
    // pop-ups they name; positions out of range are ignored.
    void removeAnnotations(int pageIndex, const std::vector<int>& positions) {
        editor_->removeAnnotations(pageIndex, positions);
    }
    // Appends to the page's list. Throws PDFEngineError (writeFailed) for an
    // index out of range or values qpdf cannot take.
    void addAnnotation(int pageIndex, const NewAnnotation& annotation) {
        editor_->addAnnotation(pageIndex, annotation);
    }

    // Replaces `destination` once the new file is complete; an encrypted
    // source stays encrypted. Throws PDFEngineError (writeFailed). Returns
    // the warnings qpdf gave since open() (logged already).
    std::vector<std::string> write(const QString& destination) { return editor_->write(destination); }

  private:
    explicit QpdfAnnotationEditor(std::unique_ptr<QpdfEngine::Editor> editor) : editor_(std::move(editor)) {}

    std::unique_ptr<QpdfEngine::Editor> editor_;
};

}  // namespace quillet
