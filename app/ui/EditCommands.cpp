#include "app/ui/EditCommands.h"

#include <QAction>
#include <QClipboard>
#include <QEvent>
#include <QGuiApplication>
#include <QUndoStack>

#include "app/editor/EditorController.h"
#include "app/ui/DocumentWindowController.h"
#include "app/ui/Strings.h"
#include "app/view/PageView.h"

namespace quillet {

EditCommands::EditCommands(DocumentWindowController& window, QUndoStack& undoStack,
                           std::function<EditorController*()> editor, QObject* parent)
    : QObject(parent), window_(window), undoStack_(undoStack), editor_(std::move(editor)) {
    connectUndo();
    connectEditorCommands();
    // The clipboard may change in any program; Paste follows it.
    connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this, &EditCommands::refresh);
    // Page text is selected by dragging over it: Copy follows the release.
    window_.pageView()->viewport()->installEventFilter(this);
    refresh();
}

void EditCommands::connectUndo() {
    const WindowActions& a = window_.actions();
    connect(a.undo, &QAction::triggered, this, [this] { undoOrRedo(false); });
    connect(a.redo, &QAction::triggered, this, [this] { undoOrRedo(true); });
    connect(&undoStack_, &QUndoStack::indexChanged, this, &EditCommands::refresh);
    connect(&undoStack_, &QUndoStack::undoTextChanged, a.undo,
            [undo = a.undo](const QString& name) { undo->setText(undoTitle(name)); });
    connect(&undoStack_, &QUndoStack::redoTextChanged, a.redo,
            [redo = a.redo](const QString& name) { redo->setText(redoTitle(name)); });
}

// From the menu, typing on the page ends first, as one step of its own: Undo
// takes that step back rather than the markup change before it.
void EditCommands::undoOrRedo(bool redo) {
    if (EditorController* editor = editor_()) {
        editor->commitPendingEdits();
    }
    redo ? undoStack_.redo() : undoStack_.undo();
}

void EditCommands::connectEditorCommands() {
    const WindowActions& a = window_.actions();
    const std::pair<QAction*, bool (EditorController::*)()> commands[] = {
        {a.cut, &EditorController::cut},
        {a.copy, &EditorController::copy},
        {a.paste, &EditorController::paste},
        {a.duplicateMarkup, &EditorController::duplicate},
        {a.deleteMarkup, &EditorController::deleteSelection},
    };
    for (const auto& [action, command] : commands) {
        connect(action, &QAction::triggered, this, [this, command = command] {
            if (EditorController* editor = editor_()) {
                (editor->*command)();
                refresh();
            }
        });
    }
    connect(a.selectAll, &QAction::triggered, this, [this] {
        if (EditorController* editor = editor_()) {
            editor->selectAll();
            refresh();
        }
    });
}

void EditCommands::refresh() {
    const WindowActions& a = window_.actions();
    const EditorController* editor = editor_();
    const bool typing = editor != nullptr && editor->isEditingText();
    a.undo->setEnabled(undoStack_.canUndo() || typing);
    a.redo->setEnabled(undoStack_.canRedo());
    a.undo->setText(undoTitle(undoStack_.undoText()));
    a.redo->setText(redoTitle(undoStack_.redoText()));
    a.cut->setEnabled(editor != nullptr && editor->canCut());
    a.copy->setEnabled(editor != nullptr && editor->canCopy());
    a.paste->setEnabled(editor != nullptr && editor->canPaste());
    a.duplicateMarkup->setEnabled(editor != nullptr && editor->canDuplicate());
    a.deleteMarkup->setEnabled(editor != nullptr && editor->canDelete());
    a.selectAll->setEnabled(editor != nullptr);
}

bool EditCommands::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonRelease) {
        // After the view has handled it.
        QMetaObject::invokeMethod(this, &EditCommands::refresh, Qt::QueuedConnection);
    }
    return QObject::eventFilter(watched, event);
}

QString EditCommands::undoTitle(const QString& stepName, Language language) {
    return stepName.isEmpty() ? Strings::undoItem.in(language)
                              : Strings::undoStepPrefix.in(language) + stepName;
}

QString EditCommands::redoTitle(const QString& stepName, Language language) {
    return stepName.isEmpty() ? Strings::redoItem.in(language)
                              : Strings::redoStepPrefix.in(language) + stepName;
}

}  // namespace quillet
