#include "app/document/LoadedPDF.h"

#include <cstring>

#include <QFileInfo>

#include "app/document/DocumentLoaderError.h"
#include "app/platform/PlatformLog.h"

namespace quillet {

LoadedPDF LoadedPDF::open(const QString& path, const WorkingCopies::Places& places)
{
    if (const int error = DocumentLoaderError::accessError(path); error != 0) {
        logLine("cannot open " + path.toStdString() + ": " + std::strerror(error));
        throw DocumentLoaderError::inaccessible(error, std::strerror(error));
    }
    // Hidden copies that dead processes left beside files of this folder.
    WorkingCopies::sweepStaleBeside(QFileInfo(path).absolutePath(), places);
    const WorkingCopy copy = WorkingCopies::make(path, WorkingCopies::sizeLimit, places);
    try {
        return LoadedPDF{std::shared_ptr<PDFDocument>(openPDFDocument(copy.path)), copy.path, copy.owned};
    } catch (const PDFEngineError& error) {
        if (copy.owned) {
            WorkingCopies::remove(copy.path, places);
        }
        logLine("cannot open " + path.toStdString() + ": " + error.text());
        throw DocumentLoaderError(DocumentLoaderError::Code::unreadable, error.text());
    }
}

}  // namespace quillet
