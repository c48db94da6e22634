// The Edit menu's commands of one document window: Undo and Redo on the
// document's undo stack, titled with the step they would take back or do
// again, and the editor's Cut, Copy, Paste, Duplicate, Delete and Select All.
// A disabled action also stops its key, so each is enabled as the document
// allows at every moment, not only when the menu opens: on every change of
// the selection, the clipboard, the undo stack, the page's text selection
// and the typing on the page.
#pragma once

#include <QObject>
#include <QString>
#include <functional>

#include "app/platform/InterfaceLanguage.h"

class QUndoStack;

namespace quillet {

class DocumentWindowController;
class EditorController;

class EditCommands : public QObject {
    Q_OBJECT

  public:
    // `editor` answers the window's editor of the moment (none while the
    // document has no store; a reload replaces it).
    EditCommands(DocumentWindowController& window, QUndoStack& undoStack,
                 std::function<EditorController*()> editor, QObject* parent);

    // Enables the actions and titles Undo and Redo for the state of now.
    void refresh();

    // "Undo Move" / "Отменить: Перемещение"; plain "Undo" / "Отменить" for a
    // step without a name or none.
    static QString undoTitle(const QString& stepName, Language language = InterfaceLanguage::current());
    static QString redoTitle(const QString& stepName, Language language = InterfaceLanguage::current());

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void connectUndo();
    void connectEditorCommands();
    void undoOrRedo(bool redo);

    DocumentWindowController& window_;
    QUndoStack& undoStack_;
    std::function<EditorController*()> editor_;
};

}  // namespace quillet
