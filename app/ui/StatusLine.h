// The text of a document window's status line: "Page i of n" while the
// document has pages, then the first of the document's notice, "Saving…"
// while it saves, or "Not saved: " and the last save error while changes are
// unsaved; the parts joined by " · ".
#pragma once

#include <QString>

#include "app/platform/InterfaceLanguage.h"

namespace quillet {

// What the document reports about itself; all empty for a viewer-only window.
struct DocumentStatus {
    QString notice;
    bool saving = false;
    QString lastSaveError;
    bool hasUnsavedChanges = false;

    bool operator==(const DocumentStatus&) const = default;
};

// `currentPage` is 0-based, or negative when unknown (shown as page 1).
QString statusLineText(int currentPage, int pageCount, const DocumentStatus& status,
                       Language language = InterfaceLanguage::current());

}  // namespace quillet
