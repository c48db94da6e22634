// Editing the annotations of a whole document with qpdf, for the save's
// verification and its full-rewrite fallback: list a page's annotations with
// their "QuilletItem" text, remove some together with their pop-ups, add
// annotations built by the core's serializer, and write the result.
#pragma once

#include <memory>

#include "app/platform/QpdfEngine.h"

class QPDF;

namespace quillet {

class QpdfEditor final : public QpdfEngine::Editor {
  public:
    using PageLookup = QpdfEngine::PageLookup;
    using Annotation = QpdfEngine::Annotation;
    using NewAnnotation = QpdfEngine::NewAnnotation;

    // Throws PDFEngineError (fileNotFound, locked, writeFailed).
    static std::unique_ptr<QpdfEditor> open(const QString& source, const std::vector<QByteArray>& passwords);
    ~QpdfEditor() override;

    bool isEncrypted() const override;
    bool hasSignatures() const override;
    int pageCount(PageLookup lookup) const override;
    std::vector<Annotation> annotations(int pageIndex, PageLookup lookup) const override;
    void removeAnnotations(int pageIndex, const std::vector<int>& positions) override;
    void addAnnotation(int pageIndex, const NewAnnotation& annotation) override;
    std::vector<std::string> write(const QString& destination) override;

  private:
    explicit QpdfEditor(std::unique_ptr<QPDF> pdf);

    std::unique_ptr<QPDF> pdf_;
};

}  // namespace quillet
