// The document's side of its window's life: closing the window runs the
// document's close flow (pending edits committed, a save awaited, "Close
// Anyway" or "Cancel" when it fails), unlocking the window's file unlocks the
// document's store, the one recovery check runs once the window is set up
// and unlocked, and the window asks the document's question about a file
// replaced by another program. A child of the window.
#pragma once

#include <QObject>
#include <QPointer>

namespace quillet {

class DocumentWindowController;
class InkDocument;

class WindowDocumentBinding : public QObject {
    Q_OBJECT

  public:
    // `document` outlives the window (the document controller deletes it
    // after the window has closed).
    WindowDocumentBinding(DocumentWindowController& window, InkDocument& document);

    bool eventFilter(QObject* watched, QEvent* event) override;

  signals:
    // The user chose "Cancel" after a failed save: the window stays open.
    void closeCancelled();

  private:
    void decided(bool mayClose, const QString& failure);
    void closeNow();
    void cancelClose();
    void saveCopyAndClose();
    void unlocked();

    DocumentWindowController& window_;
    QPointer<InkDocument> document_;
    bool closeAllowed_ = false;
    bool deciding_ = false;
};

}  // namespace quillet
