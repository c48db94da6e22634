// Writing whole documents with qpdf: a plain copy (the save fallback's last
// step) or a copy with the annotations burnt into the page content (export).
// qpdf repairs what it can of a damaged file and warns about each repair; the
// writers log every warning ("qpdf: ...") and hand them back to the caller.
#pragma once

#include <QByteArray>
#include <QString>
#include <exception>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "app/platform/PDFDocument.h"
#include "app/platform/PDFEngineError.h"

class QPDF;

namespace quillet::QpdfWriting {

// Reads `source` (trying each password form in turn; an empty list means no
// password) and writes it to `destination` through a temporary file beside
// it, so a failed write leaves any earlier file at `destination` as it was.
// Throws PDFEngineError: locked when no password opens the source,
// writeFailed for anything else. Returns qpdf's warnings, in order.
std::vector<std::string> write(const QString& source, const std::vector<QByteArray>& passwords,
                               const QString& destination, PDFWriteOptions options);

// The two halves of write(), for callers that change the document in between
// (QpdfEditor). Same errors as write(). writeReplacing returns the warnings
// qpdf gave since the document was read, reading included.
std::unique_ptr<QPDF> read(const QString& source, const std::vector<QByteArray>& passwords);
std::vector<std::string> writeReplacing(QPDF& pdf, const QString& destination);

// Runs `work`, turning what qpdf throws into PDFEngineError (writeFailed);
// the engine's own errors and exhausted memory pass as they are.
template <typename Work>
auto asWriteFailure(Work&& work) -> decltype(work()) {
    try {
        return work();
    } catch (const PDFEngineError&) {
        throw;
    } catch (const std::bad_alloc&) {
        throw;
    } catch (const std::exception& e) {
        throw PDFEngineError(PDFEngineError::Code::writeFailed, e.what());
    }
}

}  // namespace quillet::QpdfWriting
