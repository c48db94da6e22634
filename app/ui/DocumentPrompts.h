// The questions a document asks through its window, window-modal and
// non-blocking: the answer comes to a callback.
#pragma once

#include <QString>
#include <functional>

#include "app/document/InkDocument.h"

class QFileDialog;
class QWidget;

namespace quillet::DocumentPrompts {

enum class CloseChoice { saveAs, closeAnyway, cancel };

// After a failed save on closing or quitting: "Save As…" (a copy elsewhere,
// for a read-only file or a full disk), "Close Anyway" (the markup stays in
// the recovery journal) or "Cancel".
void askCloseAnyway(QWidget* window, const QString& documentName, const QString& reason,
                    std::function<void(CloseChoice)> answer);

// The file was replaced by another program while the document has unsaved
// edits: "Keep My Edits" (save over it), "Add My Edits to This Version" or
// "Reload from Disk".
void askAboutReplacedFile(QWidget* window, const QString& documentName,
                          std::function<void(ReplacedFileChoice)> answer);

enum class RevertKind { toSaved, toOpened };

// Before a revert drops `changes` markup changes: "Revert" (true) or "Cancel".
void askRevert(QWidget* window, const QString& documentName, RevertKind kind, int changes,
               std::function<void(bool revert)> answer);

// The Save As panel, starting at `path`; `chosen` receives the file picked.
// The panel is returned for its finished() signal (it deletes itself).
QFileDialog* chooseSaveAsPath(QWidget* window, const QString& path,
                              std::function<void(const QString& chosen)> chosen);

// Markup set aside by "Reload from Disk" waits for this version of the file:
// "Add to This Version" (true), "Discard" (false) or "Not Now" (no answer:
// it stays aside).
void askRestoreSetAside(QWidget* window, const QString& documentName,
                        std::function<void(bool restore)> answer);

}  // namespace quillet::DocumentPrompts
