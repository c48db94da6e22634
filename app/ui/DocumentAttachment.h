// What ties an editable document to its window: the status line follows the
// document's status, the editor (created here, owned by the window) works on
// the document's store and undo stack, and the window's commands reach them —
// undo and redo, Save, Save As…, the two reverts, the Edit commands and the
// tools. A revert or reload replaces the store, and with it the editor.
#pragma once

#include <QObject>
#include <QPointer>
#include <cstddef>
#include <memory>
#include <optional>

class QToolButton;

#include "app/editor/Tool.h"
#include "app/ui/DocumentPrompts.h"
#include "app/ui/StyleTarget.h"
#include "core/markup/AnnotationItem.h"

namespace quillet {

class DocumentWindowController;
class EditCommands;
class EditorController;
class InkDocument;
class PageView;
class SignaturePadDialog;

class DocumentAttachment : public QObject {
    Q_OBJECT

  public:
    // Lives as long as the window (its child); `document` must outlive it.
    DocumentAttachment(DocumentWindowController& window, InkDocument& document);
    ~DocumentAttachment() override;

    EditorController* editor() const { return editor_.get(); }

    // Choosing the signature tool shows the signature menu instead of
    // switching when the signature tool is already on, or when there are two
    // or more saved signatures to choose from.
    static bool opensSignatureMenu(Tool requested, Tool current, std::size_t savedSignatures);
    // A tool chosen in the toolbar (the Tools menu and the keys switch the
    // editor directly).
    void chooseTool(Tool tool);

  private:
    void connectStatus();
    void connectFileCommands();
    void askToRevert(DocumentPrompts::RevertKind kind);
    void connectEditCommands();
    void connectTools();
    void connectStyleButton();
    void connectCommentText();
    void showStylePopover();
    void refreshStyleButton();
    std::optional<AnnotationItem> selectedItem() const;
    std::optional<AnnotationItem> typedItem() const;
    static StyleTarget typedTextTarget(const AnnotationItem& typed);
    void createEditor();
    void refreshStatus();
    void refreshEditActions();
    void syncToolChecks();
    void refreshToolActions();
    void showSignatureMenu();
    void useNewestSignature();
    void signaturesChanged();

    DocumentWindowController& window_;
    InkDocument& document_;
    std::unique_ptr<EditorController> editor_;
    QPointer<PageView> pageView_;
    QToolButton* styleButton_ = nullptr;
    // The style popover edits this tool while no tool with a style is on.
    Tool lastStyledTool_ = Tool::pen;
    EditCommands* editCommands_ = nullptr;        // a child
    SignaturePadDialog* signaturePad_ = nullptr;  // a child of the window, made on first use
};

}  // namespace quillet
