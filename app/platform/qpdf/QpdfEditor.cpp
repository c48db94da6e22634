#include "app/platform/qpdf/QpdfEditor.h"

#include <algorithm>
#include <climits>
#include <new>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <set>

#include "app/platform/PDFEngineError.h"
#include "app/platform/qpdf/QpdfWriting.h"
#include "core/pdf/PDFWriter.h"

namespace quillet {

namespace {

std::optional<QPDFObjectHandle> pageObject(QPDF& pdf, int index) {
    std::vector<QPDFPageObjectHelper> pages = QPDFPageDocumentHelper(pdf).getAllPages();
    if (index < 0 || index >= static_cast<int>(pages.size())) {
        return std::nullopt;
    }
    return pages[static_cast<size_t>(index)].getObjectHandle();
}

// Page trees are shallow; a deeper one is a loop or damage.
constexpr int kTreeDepthLimit = 64;

std::optional<long long> countOf(QPDFObjectHandle node) {
    if (!node.isDictionary()) {
        return std::nullopt;
    }
    if (!node.getKey("/Kids").isArray()) {
        return 1;  // a page
    }
    QPDFObjectHandle count = node.getKey("/Count");
    return count.isInteger() && count.getIntValue() >= 0 ? std::optional(count.getIntValue()) : std::nullopt;
}

// The page at `index`, descending from the root by the nodes' counts.
std::optional<QPDFObjectHandle> countedPage(QPDF& pdf, long long index) {
    QPDFObjectHandle node = pdf.getRoot().getKey("/Pages");
    for (int depth = 0; depth < kTreeDepthLimit; ++depth) {
        QPDFObjectHandle kids = node.getKey("/Kids");
        if (!kids.isArray()) {
            return index == 0 && node.isDictionary() ? std::optional(node) : std::nullopt;
        }
        bool descended = false;
        for (QPDFObjectHandle kid : kids.getArrayAsVector()) {
            const std::optional<long long> count = countOf(kid);
            if (!count) {
                return std::nullopt;
            }
            if (index < *count) {
                node = kid;
                descended = true;
                break;
            }
            index -= *count;
        }
        if (!descended) {
            return std::nullopt;
        }
    }
    return std::nullopt;
}

std::optional<QPDFObjectHandle> pageObject(QPDF& pdf, int index, QpdfEngine::PageLookup lookup) {
    if (lookup == QpdfEngine::PageLookup::counts && index >= 0) {
        return countedPage(pdf, index);
    }
    return pageObject(pdf, index);
}

std::vector<QPDFObjectHandle> annotsOf(QPDFObjectHandle page) {
    QPDFObjectHandle annots = page.getKey("/Annots");
    return annots.isArray() ? annots.getArrayAsVector() : std::vector<QPDFObjectHandle>{};
}

std::optional<std::string> textOf(QPDFObjectHandle value) {
    return value.isString() ? std::optional(value.getUTF8Value()) : std::nullopt;
}

// The core serializes the value; qpdf parses it in the document's context,
// so references name the document's own objects.
QPDFObjectHandle converted(QPDF& pdf, const PDFDictionary& dictionary) {
    Bytes text;
    PDFWriter::writeDictionary(dictionary, text);
    return QPDFObjectHandle::parse(&pdf, text, "new annotation");
}

QPDFObjectHandle appearanceStream(QPDF& pdf, const PDFStream& stream) {
    QPDFObjectHandle handle = QPDFObjectHandle::newStream(&pdf);
    const PDFValue* filter = stream.dict.find("Filter");
    const PDFValue* parms = stream.dict.find("DecodeParms");
    QPDFObjectHandle dict = converted(pdf, stream.dict);
    handle.replaceStreamData(stream.data, filter ? dict.getKey("/Filter") : QPDFObjectHandle::newNull(),
                             parms ? dict.getKey("/DecodeParms") : QPDFObjectHandle::newNull());
    for (const std::string& key : dict.getKeys()) {
        if (key != "/Length" && key != "/Filter" && key != "/DecodeParms") {
            handle.getDict().replaceKey(key, dict.getKey(key));
        }
    }
    return handle;
}

// Form fields nest through /Kids; real forms are a few levels deep.
constexpr int kFieldDepthLimit = 32;
constexpr size_t kFieldCountLimit = 100000;

bool anySignedField(QPDFObjectHandle fields, int depth, size_t& visited) {
    if (!fields.isArray() || depth > kFieldDepthLimit) {
        return false;
    }
    for (QPDFObjectHandle field : fields.getArrayAsVector()) {
        if (++visited > kFieldCountLimit || !field.isDictionary()) {
            continue;
        }
        QPDFObjectHandle value = field.getKey("/V");
        if (value.isDictionary() && value.hasKey("/ByteRange")) {
            return true;
        }
        if (anySignedField(field.getKey("/Kids"), depth + 1, visited)) {
            return true;
        }
    }
    return false;
}

}  // namespace

std::unique_ptr<QpdfEditor> QpdfEditor::open(const QString& source,
                                             const std::vector<QByteArray>& passwords) {
    return std::unique_ptr<QpdfEditor>(new QpdfEditor(QpdfWriting::read(source, passwords)));
}

QpdfEditor::QpdfEditor(std::unique_ptr<QPDF> pdf) : pdf_(std::move(pdf)) {}
QpdfEditor::~QpdfEditor() = default;

bool QpdfEditor::isEncrypted() const {
    return pdf_->isEncrypted();
}

bool QpdfEditor::hasSignatures() const {
    try {
        QPDFObjectHandle form = pdf_->getRoot().getKey("/AcroForm");
        if (!form.isDictionary()) {
            return false;
        }
        size_t visited = 0;
        return form.hasKey("/SigFlags") || anySignedField(form.getKey("/Fields"), 0, visited);
    } catch (const std::bad_alloc&) {
        throw;  // not a failure of this work to report and go on from
    } catch (const std::exception&) {
        // A form qpdf cannot read is treated as signed: a rewrite could drop a signature.
        return true;
    }
}

int QpdfEditor::pageCount(PageLookup lookup) const {
    if (lookup == PageLookup::counts) {
        const std::optional<long long> count = countOf(pdf_->getRoot().getKey("/Pages"));
        return count && *count <= INT_MAX ? static_cast<int>(*count) : 0;
    }
    return static_cast<int>(QPDFPageDocumentHelper(*pdf_).getAllPages().size());
}

std::vector<QpdfEngine::Annotation> QpdfEditor::annotations(int pageIndex, PageLookup lookup) const {
    const std::optional<QPDFObjectHandle> page = pageObject(*pdf_, pageIndex, lookup);
    if (!page) {
        return {};
    }
    std::vector<Annotation> list;
    const std::vector<QPDFObjectHandle> annots = annotsOf(*page);
    for (size_t i = 0; i < annots.size(); ++i) {
        QPDFObjectHandle a = annots[i];
        if (!a.isDictionary()) {
            continue;
        }
        QPDFObjectHandle subtype = a.getKey("/Subtype");
        list.push_back({static_cast<int>(i), subtype.isName() ? subtype.getName().substr(1) : std::string(),
                        textOf(a.getKey("/NM")), textOf(a.getKey("/QuilletItem")),
                        a.getKey("/Popup").isDictionary()});
    }
    return list;
}

void QpdfEditor::removeAnnotations(int pageIndex, const std::vector<int>& positions) {
    std::optional<QPDFObjectHandle> page = pageObject(*pdf_, pageIndex);
    if (!page) {
        return;
    }
    const std::vector<QPDFObjectHandle> annots = annotsOf(*page);
    std::set<QPDFObjGen> removed;
    for (const int position : positions) {
        if (position < 0 || position >= static_cast<int>(annots.size())) {
            continue;
        }
        QPDFObjectHandle a = annots[static_cast<size_t>(position)];
        removed.insert(a.getObjGen());
        if (a.isDictionary() && a.getKey("/Popup").isIndirect()) {
            removed.insert(a.getKey("/Popup").getObjGen());
        }
    }
    std::vector<QPDFObjectHandle> kept;
    for (size_t i = 0; i < annots.size(); ++i) {
        const bool listed =
            std::find(positions.begin(), positions.end(), static_cast<int>(i)) != positions.end();
        const bool popupOfListed = annots[i].isIndirect() && removed.count(annots[i].getObjGen()) > 0;
        if (!listed && !popupOfListed) {
            kept.push_back(annots[i]);
        }
    }
    page->replaceKey("/Annots", QPDFObjectHandle::newArray(kept));
}

void QpdfEditor::addAnnotation(int pageIndex, const NewAnnotation& annotation) {
    std::optional<QPDFObjectHandle> page = pageObject(*pdf_, pageIndex);
    if (!page) {
        throw PDFEngineError(PDFEngineError::Code::writeFailed, "no page " + std::to_string(pageIndex + 1));
    }
    try {
        QPDFObjectHandle annot = pdf_->makeIndirectObject(converted(*pdf_, annotation.dictionary));
        annot.replaceKey("/P", *page);
        if (annotation.normalAppearance) {
            QPDFObjectHandle ap = QPDFObjectHandle::newDictionary();
            ap.replaceKey("/N", appearanceStream(*pdf_, *annotation.normalAppearance));
            annot.replaceKey("/AP", ap);
        }
        QPDFObjectHandle annots = page->getKey("/Annots");
        std::vector<QPDFObjectHandle> list =
            annots.isArray() ? annots.getArrayAsVector() : std::vector<QPDFObjectHandle>{};
        list.push_back(annot);
        if (annotation.popup) {
            QPDFObjectHandle popup = pdf_->makeIndirectObject(converted(*pdf_, *annotation.popup));
            popup.replaceKey("/Parent", annot);
            popup.replaceKey("/P", *page);
            annot.replaceKey("/Popup", popup);
            list.push_back(popup);
        }
        page->replaceKey("/Annots", QPDFObjectHandle::newArray(list));
    } catch (const std::bad_alloc&) {
        throw;  // not a failure of this work to report and go on from
    } catch (const std::exception& e) {
        throw PDFEngineError(PDFEngineError::Code::writeFailed, e.what());
    }
}

std::vector<std::string> QpdfEditor::write(const QString& destination) {
    return QpdfWriting::writeReplacing(*pdf_, destination);
}

}  // namespace quillet
