// The questions a document asks through its window, window-modal and
// non-blocking: the answer comes to a callback.
#pragma once

#include <functional>

#include <QString>

class QWidget;

namespace quillet::DocumentPrompts {

// After a failed save on closing or quitting: "Close Anyway" (true; the
// markup stays in the recovery journal) or "Cancel".
void askCloseAnyway(QWidget* window, const QString& documentName, const QString& reason,
                    std::function<void(bool closeAnyway)> answer);

// The file was replaced by another program while the document has unsaved
// edits: "Keep My Edits" (true: save over it) or "Reload from Disk".
void askAboutReplacedFile(QWidget* window, const QString& documentName, std::function<void(bool keepEdits)> answer);

// Markup set aside by "Reload from Disk" waits for this version of the file:
// "Add to This Version" (true), "Discard" (false) or "Not Now" (no answer:
// it stays aside).
void askRestoreSetAside(QWidget* window, const QString& documentName, std::function<void(bool restore)> answer);

}  // namespace quillet::DocumentPrompts
