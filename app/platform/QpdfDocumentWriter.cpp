#include "app/platform/QpdfDocumentWriter.h"

#include "app/platform/QpdfModule.h"

namespace quillet::QpdfDocumentWriter {

std::vector<std::string> write(const QString& source, const std::vector<QByteArray>& passwords,
                               const QString& destination, PDFWriteOptions options) {
    return QpdfModule::engine().writeDocument(source, passwords, destination, options);
}

}  // namespace quillet::QpdfDocumentWriter
