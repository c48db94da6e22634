// What ties an editable document to its window: the status line follows the
// document's status, the editor (created here, owned by the window) works on
// the document's store and undo stack, and the window's commands reach them —
// undo and redo, Save, Save As…, the two reverts, the Edit commands and the
// tools. A revert or reload replaces the store, and with it the editor.
#pragma once

#include <memory>

#include <QObject>

namespace quillet {

class DocumentWindowController;
class EditorController;
class InkDocument;

class DocumentAttachment : public QObject {
    Q_OBJECT

public:
    // Lives as long as the window (its child); `document` must outlive it.
    DocumentAttachment(DocumentWindowController& window, InkDocument& document);
    ~DocumentAttachment() override;

    EditorController* editor() const { return editor_.get(); }

private:
    void connectStatus();
    void connectFileCommands();
    void connectEditCommands();
    void connectTools();
    void createEditor();
    void refreshStatus();
    void refreshEditActions();
    void syncToolChecks();

    DocumentWindowController& window_;
    InkDocument& document_;
    std::unique_ptr<EditorController> editor_;
};

}  // namespace quillet
