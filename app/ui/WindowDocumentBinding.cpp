#include "app/ui/WindowDocumentBinding.h"

#include <QCloseEvent>
#include <QFileDialog>
#include <QTimer>
#include <memory>

#include "app/document/InkDocument.h"
#include "app/ui/DocumentPrompts.h"
#include "app/ui/DocumentWindowController.h"

namespace quillet {

WindowDocumentBinding::WindowDocumentBinding(DocumentWindowController& window, InkDocument& document)
    : QObject(&window), window_(window), document_(&document) {
    window.installEventFilter(this);
    connect(&window, &DocumentWindowController::unlocked, this, &WindowDocumentBinding::unlocked);
    QPointer<DocumentWindowController> shown(&window);
    document.setFileReplacedPrompt(
        [shown](InkDocument& asking, std::function<void(ReplacedFileChoice)> answer) {
            if (shown) {
                DocumentPrompts::askAboutReplacedFile(shown, asking.displayName(), std::move(answer));
            } else {
                // No window left to ask in: never save over the other version.
                answer(ReplacedFileChoice::reload);
            }
        });
    document.setSetAsidePrompt([shown](InkDocument& asking, std::function<void(bool)> answer) {
        if (shown) {
            DocumentPrompts::askRestoreSetAside(shown, asking.displayName(), std::move(answer));
        }  // no window: the markup stays aside for the next opening
    });
    if (!document.pdf()->isLocked()) {
        // Once the window is up, so the restored markup appears in it.
        QTimer::singleShot(0, this, [this] {
            if (document_) {
                document_->checkRecovery();
            }
        });
    }
}

void WindowDocumentBinding::unlocked() {
    if (!document_) {
        return;
    }
    if (const std::optional<QString> password = window_.document().password) {
        document_->unlock(*password);
    }
    document_->checkRecovery();
}

bool WindowDocumentBinding::eventFilter(QObject* watched, QEvent* event) {
    if (watched != &window_ || event->type() != QEvent::Close || closeAllowed_ || !document_) {
        return QObject::eventFilter(watched, event);
    }
    event->ignore();
    if (deciding_) {
        return true;  // the close flow is running already
    }
    deciding_ = true;
    // A document with nothing to save answers at once: the window closes now.
    auto immediate = std::make_shared<std::optional<std::pair<bool, QString>>>();
    auto inFilter = std::make_shared<bool>(true);
    QPointer<WindowDocumentBinding> self(this);
    document_->prepareToClose([self, immediate, inFilter](bool mayClose, const QString& failure) {
        if (*inFilter) {
            *immediate = std::make_pair(mayClose, failure);
        } else if (self) {
            self->decided(mayClose, failure);
        }
    });
    *inFilter = false;
    if (*immediate && (*immediate)->first) {
        deciding_ = false;
        event->accept();
        return false;  // let the window close as usual
    }
    if (*immediate) {
        decided(false, (*immediate)->second);
    }
    return true;
}

void WindowDocumentBinding::decided(bool mayClose, const QString& failure) {
    if (mayClose) {
        closeNow();
        return;
    }
    QPointer<WindowDocumentBinding> self(this);
    DocumentPrompts::askCloseAnyway(&window_, document_ ? document_->displayName() : QString(), failure,
                                    [self](DocumentPrompts::CloseChoice choice) {
                                        if (!self) {
                                            return;
                                        }
                                        switch (choice) {
                                            case DocumentPrompts::CloseChoice::closeAnyway:
                                                self->closeNow();
                                                return;
                                            case DocumentPrompts::CloseChoice::saveAs:
                                                self->saveCopyAndClose();
                                                return;
                                            case DocumentPrompts::CloseChoice::cancel:
                                                self->cancelClose();
                                                return;
                                        }
                                    });
}

void WindowDocumentBinding::cancelClose() {
    deciding_ = false;
    emit closeCancelled();
}

// "Save As…" in the close question: the window closes once the copy is saved;
// a failed copy asks again, a cancelled panel keeps the window open.
void WindowDocumentBinding::saveCopyAndClose() {
    if (!document_) {
        closeNow();
        return;
    }
    QPointer<WindowDocumentBinding> self(this);
    auto chosen = std::make_shared<bool>(false);
    QFileDialog* panel = DocumentPrompts::chooseSaveAsPath(
        &window_, document_->filePath(), [self, chosen](const QString& path) {
            *chosen = true;
            if (!self || !self->document_) {
                return;
            }
            self->document_->saveAs(path, [self](const SaveResult& result) {
                if (self) {
                    self->decided(result.ok(), result.message);
                }
            });
        });
    // The panel closed without a file: the window stays, as with "Cancel".
    connect(panel, &QFileDialog::finished, this, [self, chosen](int) {
        if (self && !*chosen) {
            self->cancelClose();
        }
    });
}

void WindowDocumentBinding::closeNow() {
    deciding_ = false;
    closeAllowed_ = true;
    window_.close();
}

}  // namespace quillet
