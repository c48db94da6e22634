#include "app/ui/DocumentAttachment.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QToolBar>
#include <QToolButton>
#include <QUndoStack>

#include "app/document/AnnotationStore.h"
#include "app/document/InkDocument.h"
#include "app/editor/EditorController.h"
#include "app/editor/ToolSettings.h"
#include "app/platform/NotificationCenter.h"
#include "app/ui/DocumentOutput.h"
#include "app/ui/DocumentPrompts.h"
#include "app/ui/DocumentWindowController.h"
#include "app/ui/EditCommands.h"
#include "app/ui/FindController.h"
#include "app/ui/SignatureLibrary.h"
#include "app/ui/SignatureMenu.h"
#include "app/ui/SignaturePadDialog.h"
#include "app/ui/Strings.h"
#include "app/ui/StylePopover.h"
#include "app/ui/StyleTarget.h"
#include "app/ui/ThumbnailView.h"
#include "app/ui/WindowStrings.h"
#include "app/view/CommentDisplay.h"
#include "app/view/ItemPainter.h"
#include "app/view/PageView.h"

namespace quillet {

DocumentAttachment::DocumentAttachment(DocumentWindowController& window, InkDocument& document)
    : QObject(&window), window_(window), document_(document) {
    createEditor();
    connectStatus();
    connectFileCommands();
    connectEditCommands();
    connectTools();
    connectStyleButton();
    connectCommentText();
    new DocumentOutput(window_, document_);  // print, page setup, export
    // An unlock or a revert builds the editor afresh; the signature the old
    // one placed stays the one the signature tool places.
    connect(&document_, &InkDocument::reloaded, this, [this] {
        const std::optional<SignatureInk> signature = editor_ ? editor_->currentSignature() : std::nullopt;
        editor_.reset();
        window_.pageView()->setDocument(document_.pdf());
        window_.finder().setDocument(document_.pdf());
        createEditor();
        if (editor_ && signature) {
            editor_->setCurrentSignature(signature);
        }
        refreshToolActions();  // an unlocked file has an editor now
        syncToolChecks();
        refreshEditActions();
    });
    // The thumbnails show the markup; any undo step may have changed it.
    window_.thumbnails()->setOverlayPainter(
        [this](QPainter& painter, int page, const QTransform& displayToThumbnail) {
            const std::optional<PDFPageGeometry> geometry = window_.pageView()->pageGeometry(page);
            if (!geometry || document_.store() == nullptr) {
                return;
            }
            ItemPainter::paintAnnotations(painter, document_.store()->annotationsOnPage(page),
                                          geometry->pageToDisplay() * displayToThumbnail,
                                          CommentDisplay::showsCommentText());
        });
    connect(document_.undoStack(), &QUndoStack::indexChanged, window_.thumbnails(),
            [this] { window_.thumbnails()->viewport()->update(); });
    refreshStatus();
}

DocumentAttachment::~DocumentAttachment() {
    // The page view may outlive this attachment by a moment while the window
    // goes away; it must not keep observing a store that is about to go.
    editor_.reset();
    if (pageView_) {
        pageView_->setAnnotationStore(nullptr);
    }
}

void DocumentAttachment::createEditor() {
    pageView_ = window_.pageView();
    // The page draws the store's items in place of the file's copies of them.
    pageView_->setAnnotationStore(document_.store());
    if (document_.store() == nullptr) {
        return;
    }
    editor_ = std::make_unique<EditorController>(*window_.pageView(), *document_.store(),
                                                 *document_.undoStack(), ToolSettings::shared());
    editor_->setShowsCommentText(CommentDisplay::showsCommentText());
    // Before a save, close or revert the gesture or typing in progress is
    // committed (or dropped); a tool chosen by key or Escape shows in the toolbar.
    connect(&document_, &InkDocument::commitPendingEditsRequested, this,
            [this] { editor_->commitPendingEdits(); });
    connect(&document_, &InkDocument::cancelInteractionRequested, this,
            [this] { editor_->cancelInteraction(); });
    editor_->onToolChange = [this](Tool) {
        syncToolChecks();
        refreshStyleButton();
    };
    editor_->onSelectionChange = [this] {
        refreshStyleButton();
        refreshEditActions();
    };
    editor_->onTextEditingChange = [this] { refreshEditActions(); };
    // The signature tool with no signature to place asks for one: the
    // signature menu, which is the pad when there is none to pick.
    editor_->requestSignature = [this] { showSignatureMenu(); };
    useNewestSignature();
}

void DocumentAttachment::connectStatus() {
    connect(&document_, &InkDocument::statusChanged, this, &DocumentAttachment::refreshStatus);
}

void DocumentAttachment::refreshStatus() {
    window_.setDocumentStatus(DocumentStatus{document_.notice().value_or(QString()), document_.isSaving(),
                                             document_.lastSaveError().value_or(QString()),
                                             document_.isEdited()});
    window_.setWindowModified(document_.isEdited());
    window_.actions().revertToOpened->setEnabled(document_.canRevertToOpened());
}

void DocumentAttachment::connectFileCommands() {
    const WindowActions& a = window_.actions();
    a.save->setEnabled(true);
    connect(a.save, &QAction::triggered, this, [this] { document_.save(); });
    a.saveAs->setEnabled(true);
    connect(a.saveAs, &QAction::triggered, this, [this] {
        QPointer<DocumentAttachment> self(this);
        DocumentPrompts::chooseSaveAsPath(&window_, document_.filePath(), [self](const QString& path) {
            if (self) {
                self->document_.saveAs(path);
            }
        });
    });
    // The window follows the document to the file Save As wrote.
    connect(&document_, &InkDocument::filePathChanged, &window_, &DocumentWindowController::setFilePath);
    a.revertToSaved->setEnabled(true);
    connect(a.revertToSaved, &QAction::triggered, this,
            [this] { askToRevert(DocumentPrompts::RevertKind::toSaved); });
    connect(a.revertToOpened, &QAction::triggered, this,
            [this] { askToRevert(DocumentPrompts::RevertKind::toOpened); });
}

// Both reverts drop markup: the user is asked first, told how many changes
// go (they are set aside, offered back at the next opening).
void DocumentAttachment::askToRevert(DocumentPrompts::RevertKind kind) {
    if (editor_) {
        editor_->commitPendingEdits();
    }
    const bool toSaved = kind == DocumentPrompts::RevertKind::toSaved;
    const int changes = (toSaved ? document_.unsavedChanges() : document_.changesSinceOpened()).count();
    QPointer<DocumentAttachment> self(this);
    const auto revert = [self, toSaved] {
        if (!self) {
            return;
        }
        const std::optional<QString> error =
            toSaved ? self->document_.revertToSaved() : self->document_.revertToOpened();
        if (error) {
            self->document_.showNotice(*error);
        }
    };
    if (changes == 0) {
        revert();
        return;
    }
    DocumentPrompts::askRevert(&window_, document_.displayName(), kind, changes, [revert](bool yes) {
        if (yes) {
            revert();
        }
    });
}

void DocumentAttachment::connectEditCommands() {
    editCommands_ = new EditCommands(
        window_, *document_.undoStack(), [this] { return editor_.get(); }, this);
}

void DocumentAttachment::refreshEditActions() {
    // Before the commands exist (the first editor) they refresh themselves.
    if (editCommands_ != nullptr) {
        editCommands_->refresh();
    }
}

void DocumentAttachment::connectTools() {
    const WindowActions& a = window_.actions();
    for (size_t i = 0; i < a.tools.size(); ++i) {
        connect(window_.toolbarTools()[i], &QAction::triggered, this,
                [this, tool = toolbarTools[i]] { chooseTool(tool); });
        connect(a.tools[i], &QAction::triggered, this, [this, tool = toolbarTools[i]] {
            // With text selected, the highlighter's key highlights it.
            if (editor_ && tool == Tool::highlighter &&
                editor_->markSelectedText(TextMarkupKind::highlight)) {
                syncToolChecks();
                return;
            }
            if (editor_) {
                editor_->setTool(tool);
            }
            syncToolChecks();
        });
    }
    for (size_t i = 0; i < a.markText.size(); ++i) {
        connect(a.markText[i], &QAction::triggered, this, [this, kind = allTextMarkupKinds[i]] {
            if (editor_) {
                editor_->markSelectedText(kind);
            }
        });
    }
    // Tools are off while the file is locked and while a text field has the
    // keyboard (their plain letters are typed there).
    connect(qApp, &QApplication::focusChanged, this, &DocumentAttachment::refreshToolActions);
    connect(&window_, &DocumentWindowController::unlocked, this, &DocumentAttachment::refreshToolActions);
    refreshToolActions();
    // New Signature…: the pad, once per window; a saved signature becomes
    // the current one and the signature tool is on.
    connect(a.newSignature, &QAction::triggered, this, [this] {
        if (signaturePad_ == nullptr) {
            signaturePad_ = new SignaturePadDialog(SignatureLibrary::shared(), &window_);
        }
        signaturePad_->present([this](std::optional<SavedSignature> made) {
            if (made && editor_) {
                editor_->setCurrentSignature(SignatureInk{made->strokes, made->aspect});
                editor_->setTool(Tool::signature);
                syncToolChecks();
            }
        });
    });
    // A signature deleted (in any window) stops being the current one: the
    // newest saved signature takes its place, or none.
    NotificationCenter::shared().observe(QString::fromLatin1(NotificationName::signaturesDidChange), this,
                                         [this](const QVariant&) { signaturesChanged(); });
    syncToolChecks();
}

void DocumentAttachment::signaturesChanged() {
    if (!editor_ || !editor_->currentSignature()) {
        useNewestSignature();
        return;
    }
    const SignatureInk& current = *editor_->currentSignature();
    for (const SavedSignature& saved : SignatureLibrary::shared().signatures()) {
        if (saved.strokes == current.strokes && saved.aspect == current.aspect) {
            return;
        }
    }
    editor_->setCurrentSignature(std::nullopt);
    useNewestSignature();
}

void DocumentAttachment::refreshToolActions() {
    const QWidget* focus = QApplication::focusWidget();
    const bool typing = focus != nullptr && focus->window() == &window_ &&
                        (qobject_cast<const QLineEdit*>(focus) || qobject_cast<const QTextEdit*>(focus) ||
                         qobject_cast<const QPlainTextEdit*>(focus));
    const bool enabled = editor_ != nullptr && !document_.pdf()->isLocked() && !typing;
    for (size_t i = 0; i < toolbarTools.size(); ++i) {
        window_.actions().tools[i]->setEnabled(enabled);
        window_.toolbarTools()[i]->setEnabled(enabled);
    }
    for (QAction* mark : window_.actions().markText) {
        mark->setEnabled(enabled);
    }
    window_.actions().newSignature->setEnabled(enabled);
}

bool DocumentAttachment::opensSignatureMenu(Tool requested, Tool current, std::size_t savedSignatures) {
    return requested == Tool::signature && (current == Tool::signature || savedSignatures >= 2);
}

void DocumentAttachment::chooseTool(Tool tool) {
    if (!editor_) {
        return;
    }
    if (opensSignatureMenu(tool, editor_->tool(), SignatureLibrary::shared().signatures().size())) {
        syncToolChecks();
        showSignatureMenu();
        return;
    }
    editor_->setTool(tool);
    syncToolChecks();
}

void DocumentAttachment::useNewestSignature() {
    const std::vector<SavedSignature>& saved = SignatureLibrary::shared().signatures();
    if (editor_ && !saved.empty()) {
        editor_->setCurrentSignature(SignatureInk{saved.front().strokes, saved.front().aspect});
    }
}

void DocumentAttachment::showSignatureMenu() {
    if (SignatureLibrary::shared().signatures().empty()) {
        window_.actions().newSignature->trigger();  // nothing to pick from
        return;
    }
    auto* menu = new QMenu(&window_);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    std::optional<UUID> current;
    if (editor_ && editor_->currentSignature()) {
        for (const SavedSignature& saved : SignatureLibrary::shared().signatures()) {
            if (saved.strokes == editor_->currentSignature()->strokes) {
                current = saved.id;
            }
        }
    }
    SignatureMenu::build(
        *menu, SignatureLibrary::shared(), current,
        SignatureMenuActions{
            [this](const UUID& id) {
                const SavedSignature* saved = SignatureLibrary::shared().find(id);
                if (editor_ && saved) {
                    editor_->setCurrentSignature(SignatureInk{saved->strokes, saved->aspect});
                    editor_->setTool(Tool::signature);
                    syncToolChecks();
                }
            },
            // The library's notification then settles the current one.
            [](const UUID& id) { SignatureLibrary::shared().remove(id); },
            [this] { window_.actions().newSignature->trigger(); },
        });
    QWidget* button = window_.toolbar()->widgetForAction(window_.toolbarTools()[6]);
    menu->popup(button ? button->mapToGlobal(QPoint(0, button->height())) : QCursor::pos());
}

void DocumentAttachment::syncToolChecks() {
    const Tool current = editor_ ? editor_->tool() : Tool::select;
    for (size_t i = 0; i < window_.actions().tools.size(); ++i) {
        window_.actions().tools[i]->setChecked(toolbarTools[i] == current);
        window_.toolbarTools()[i]->setChecked(toolbarTools[i] == current);
    }
    // Tool keys go to the page after a tool is chosen from the toolbar, but the
    // text box being typed in (a child of the page view) keeps the keyboard.
    QWidget* focus = QApplication::focusWidget();
    if (focus == nullptr || !window_.pageView()->isAncestorOf(focus)) {
        window_.pageView()->setFocus();
    }
}

// The window shows and toggles the comment text; the editor, which decides
// whether a click on a note's text takes the note, follows it here.
void DocumentAttachment::connectCommentText() {
    NotificationCenter::shared().observe(
        QString::fromLatin1(NotificationName::commentsDisplayDidChange), this, [this](const QVariant&) {
            if (editor_) {
                editor_->setShowsCommentText(CommentDisplay::showsCommentText());
            }
        });
}

// The toolbar's style button shows the style the popover would edit and
// opens it; one visit of the popover is one undo step for a selected item.
void DocumentAttachment::connectStyleButton() {
    styleButton_ = new QToolButton(&window_);
    styleButton_->setObjectName(QStringLiteral("style"));
    styleButton_->setToolTip(WindowStrings::styleLabel.text());
    styleButton_->setAutoRaise(true);
    window_.toolbar()->insertWidget(window_.toolbarStyleSlot(), styleButton_);
    connect(styleButton_, &QToolButton::clicked, this, &DocumentAttachment::showStylePopover);
    NotificationCenter::shared().observe(QString::fromLatin1(NotificationName::toolSettingsDidChange), this,
                                         [this](const QVariant&) { refreshStyleButton(); });
    refreshStyleButton();
}

std::optional<AnnotationItem> DocumentAttachment::selectedItem() const {
    if (!editor_ || !editor_->selectedID() || document_.store() == nullptr) {
        return std::nullopt;
    }
    const auto located = document_.store()->locate(*editor_->selectedID());
    return located ? std::optional<AnnotationItem>(located->item) : std::nullopt;
}

std::optional<AnnotationItem> DocumentAttachment::typedItem() const {
    if (!editor_ || !editor_->isEditingText()) {
        return std::nullopt;
    }
    return editor_->textEditor().session()->itemWithText();
}

// While text is typed the popover styles that text, whatever is selected;
// its tool keeps the style for the next one.
StyleTarget DocumentAttachment::typedTextTarget(const AnnotationItem& typed) {
    const Tool tool = StyleTarget::toolFor(typed);
    return {tool, StyleTarget::styleOf(typed, ToolSettings::shared().styleFor(tool)), false};
}

void DocumentAttachment::refreshStyleButton() {
    if (styleButton_ == nullptr) {
        return;
    }
    const Tool current = editor_ ? editor_->tool() : Tool::select;
    if (hasStyle(current)) {
        lastStyledTool_ = current;
    }
    const std::optional<AnnotationItem> selected = selectedItem();
    const StyleTarget target = StyleTarget::choose(current, selected ? &*selected : nullptr, lastStyledTool_,
                                                   ToolSettings::shared());
    const qreal ratio = styleButton_->devicePixelRatioF();
    const QImage image = StylePopover::styleButtonImage(
        target.tool, target.style, styleButton_->palette().color(QPalette::ButtonText), ratio);
    const QPixmap pixmap = QPixmap::fromImage(image);
    styleButton_->setIcon(QIcon(pixmap));
    styleButton_->setIconSize(pixmap.deviceIndependentSize().toSize());
}

void DocumentAttachment::showStylePopover() {
    if (!editor_ || document_.pdf()->isLocked()) {
        return;
    }
    const std::optional<AnnotationItem> typed = typedItem();
    const std::optional<AnnotationItem> selected = selectedItem();
    const StyleTarget target = typed ? typedTextTarget(*typed)
                                     : StyleTarget::choose(editor_->tool(), selected ? &*selected : nullptr,
                                                           lastStyledTool_, ToolSettings::shared());
    const UUID id = selected ? selected->id : UUID();
    auto keep = target.changeHandler(ToolSettings::shared(), [this, id](const ToolStyle& style) {
        if (editor_) {
            editor_->applyStyle(style, id);
        }
    });
    auto onChange = [this, keep = std::move(keep), typing = typed.has_value()](const ToolStyle& style) {
        keep(style);
        if (typing && editor_) {
            editor_->restyleTypedText(style);
        }
    };
    auto* popover = new StylePopover(target.tool, target.style, std::move(onChange), &window_);
    connect(popover, &StylePopover::closed, this, [this, popover] {
        if (editor_) {
            editor_->endStyleSession();
        }
        popover->endOfUse();
        popover->deleteLater();
        refreshStyleButton();
    });
    popover->showBelow(styleButton_);
}

}  // namespace quillet
