// Writing whole documents with qpdf: a plain copy (the save fallback's last
// step) or a copy with the annotations burnt into the page content (export).
// qpdf repairs what it can of a damaged file and warns about each repair; the
// writer logs every warning ("qpdf: ...") and hands them back to the caller.
// The work is done in the qpdf module (QpdfEngine.h), loaded on first use.
#pragma once

#include <QByteArray>
#include <QString>
#include <string>
#include <vector>

#include "app/platform/PDFDocument.h"

namespace quillet::QpdfDocumentWriter {

// Reads `source` (trying each password form in turn; an empty list means no
// password) and writes it to `destination` through a temporary file beside
// it, so a failed write leaves any earlier file at `destination` as it was.
// Throws PDFEngineError: locked when no password opens the source,
// writeFailed for anything else (the qpdf module missing included). Returns
// qpdf's warnings, in order.
std::vector<std::string> write(const QString& source, const std::vector<QByteArray>& passwords,
                               const QString& destination, PDFWriteOptions options);

}  // namespace quillet::QpdfDocumentWriter
