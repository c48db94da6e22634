// Editing the annotations of a whole document with qpdf, for the save's
// full-rewrite fallback: list a page's annotations with their "QuilletItem"
// text, remove some together with their pop-ups, add annotations built by the
// core's serializer, and write the result. The reading side of the
// application (rendering, text) stays on PDFDocument.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QByteArray>
#include <QString>

#include "core/pdf/PDFValue.h"

class QPDF;

namespace quillet {

class QpdfAnnotationEditor {
public:
    struct Annotation {
        int position = 0;  // in the page's /Annots list, drawing order
        std::string subtype;                     // without the slash, e.g. "Ink"
        std::optional<std::string> name;         // /NM as UTF-8 text
        std::optional<std::string> quilletItem;  // "QuilletItem" when it is a string, as UTF-8 text
        bool hasPopup = false;
    };

    struct NewAnnotation {
        // The annotation's entries; /P, /AP and /Popup are filled in here.
        // References in values point at objects of the source file.
        PDFDictionary dictionary;
        // Becomes /AP << /N ... >>: the stream's dictionary and its data as
        // stored (a /Filter in the dictionary says how the data is encoded).
        std::optional<PDFStream> normalAppearance;
        // A pop-up linked both ways (/Popup here, /Parent there), listed after it.
        std::optional<PDFDictionary> popup;
    };

    // Throws PDFEngineError (fileNotFound, locked, writeFailed).
    static QpdfAnnotationEditor open(const QString& source, const std::vector<QByteArray>& passwords = {});
    ~QpdfAnnotationEditor();
    QpdfAnnotationEditor(QpdfAnnotationEditor&&) noexcept;
    QpdfAnnotationEditor& operator=(QpdfAnnotationEditor&&) noexcept;

    bool isEncrypted() const;
    // Whether the document carries a digital signature: /SigFlags in its
    // /AcroForm, or a form field whose value has a /ByteRange. Rewriting such
    // a file would invalidate every signature in it.
    bool hasSignatures() const;
    // How pages are found. pageTree visits every page object once (qpdf's
    // own walk, which also repairs what it can); counts reads the /Count
    // of the tree's nodes and descends only to the pages asked for, as a
    // viewer does, which on a large file is what reading it back needs.
    enum class PageLookup { pageTree, counts };

    int pageCount(PageLookup lookup = PageLookup::pageTree) const;

    // Empty for an index out of range.
    std::vector<Annotation> annotations(int pageIndex, PageLookup lookup = PageLookup::pageTree) const;
    // Removes the listed positions (as annotations() numbered them) and the
    // pop-ups they name; positions out of range are ignored.
    void removeAnnotations(int pageIndex, const std::vector<int>& positions);
    // Appends to the page's list. Throws PDFEngineError (writeFailed) for an
    // index out of range or values qpdf cannot take.
    void addAnnotation(int pageIndex, const NewAnnotation& annotation);

    // Replaces `destination` once the new file is complete; an encrypted
    // source stays encrypted. Throws PDFEngineError (writeFailed). Returns
    // the warnings qpdf gave since open() (logged already).
    std::vector<std::string> write(const QString& destination);

private:
    explicit QpdfAnnotationEditor(std::unique_ptr<QPDF> pdf);

    std::unique_ptr<QPDF> pdf_;
};

}  // namespace quillet
