// The qpdf side of the application: editing the annotations of a whole
// document and writing whole documents. It is a module of its own,
// libverda-qpdf.so, which QpdfModule loads on first use: loading qpdf and the
// TLS library it links takes every launch milliseconds before its first page,
// and only saving and exporting need it. The application reaches it through
// QpdfAnnotationEditor and QpdfDocumentWriter; this is what the two sides share.
#pragma once

#include <QByteArray>
#include <QString>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/platform/PDFDocument.h"
#include "core/pdf/PDFValue.h"

namespace quillet {

class QpdfEngine {
  public:
    struct Annotation {
        int position = 0;                        // in the page's /Annots list, drawing order
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

    // How pages are found. pageTree visits every page object once (qpdf's
    // own walk, which also repairs what it can); counts reads the /Count
    // of the tree's nodes and descends only to the pages asked for, as a
    // viewer does, which on a large file is what reading it back needs.
    enum class PageLookup { pageTree, counts };

    // One document read into qpdf (QpdfAnnotationEditor says what each does).
    class Editor {
      public:
        virtual ~Editor() = default;
        virtual bool isEncrypted() const = 0;
        virtual bool hasSignatures() const = 0;
        virtual int pageCount(PageLookup lookup) const = 0;
        virtual std::vector<Annotation> annotations(int pageIndex, PageLookup lookup) const = 0;
        virtual void removeAnnotations(int pageIndex, const std::vector<int>& positions) = 0;
        virtual void addAnnotation(int pageIndex, const NewAnnotation& annotation) = 0;
        virtual std::vector<std::string> write(const QString& destination) = 0;
    };

    virtual ~QpdfEngine() = default;
    // QpdfAnnotationEditor::open.
    virtual std::unique_ptr<Editor> openEditor(const QString& source,
                                               const std::vector<QByteArray>& passwords) = 0;
    // QpdfDocumentWriter::write.
    virtual std::vector<std::string> writeDocument(const QString& source,
                                                   const std::vector<QByteArray>& passwords,
                                                   const QString& destination, PDFWriteOptions options) = 0;
};

// The module's one exported function, found by this name.
inline constexpr char qpdfEngineSymbol[] = "quillet_qpdf_engine";
using QpdfEngineEntry = QpdfEngine* (*)();

}  // namespace quillet
