// The opened PDF of a document and the file it reads: a private working copy
// of the user's file, or the (resolved) user's file itself when no copy could
// be made.
//
// A damaged file the display engine refuses, whose table the core reader can
// rebuild, is shown from a private copy followed by that rebuilt table as an
// update with no markup, as `quillet` writes such files: the original bytes
// stay a prefix, and every save of the document appends to that copy, so the
// saved file opens in readers that cannot repair the original. The user's
// own file is never written at opening.
#pragma once

#include <QString>
#include <memory>

#include "app/document/WorkingCopy.h"
#include "app/platform/PDFDocument.h"

namespace quillet {

struct LoadedPDF {
    std::shared_ptr<PDFDocument> pdf;
    QString workingCopy;
    bool ownsWorkingCopy = false;
    // The working copy is the user's file with the rebuilt table appended.
    bool repaired = false;

    // Makes a working copy of `path` and opens it, repairing it as above when
    // the display engine refuses it. Throws DocumentLoaderError: inaccessible
    // with the system's reason when the file cannot be read, unreadable when
    // it is not a PDF, or is damaged beyond the core reader's repair, or is
    // damaged and encrypted with a password (the copies made for it are
    // removed).
    static LoadedPDF open(const QString& path,
                          const WorkingCopies::Places& places = WorkingCopies::Places::forProcess());
};

}  // namespace quillet
