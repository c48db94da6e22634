// The opened PDF of a document and the file it reads: a private working copy
// of the user's file, or the (resolved) user's file itself when no copy could
// be made.
#pragma once

#include <memory>

#include <QString>

#include "app/document/WorkingCopy.h"
#include "app/platform/PDFDocument.h"

namespace quillet {

struct LoadedPDF {
    std::shared_ptr<PDFDocument> pdf;
    QString workingCopy;
    bool ownsWorkingCopy = false;

    // Makes a working copy of `path` and opens it. Throws DocumentLoaderError:
    // inaccessible with the system's reason when the file cannot be read,
    // unreadable when it is not a PDF (the copy made for it is removed).
    static LoadedPDF open(const QString& path, const WorkingCopies::Places& places = WorkingCopies::Places::forProcess());
};

}  // namespace quillet
