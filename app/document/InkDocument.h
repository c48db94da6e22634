// One open PDF: its working copy, its markup store, its recovery journal, its
// undo stack, and when and how it is saved. The document saves itself: a
// short while after each burst of edits (four times as long as the last save
// took, between 1.5 and 30 seconds; 20 seconds after a failed save) it takes
// a snapshot of the store and writes the user's file on a background thread,
// as the original bytes plus one update; the completion comes back to the
// main thread. Until a save has the store's current state, the journal keeps
// the unsaved pages on disk, and the next opening restores them.
//
// The window (status line, prompts) and the editor (tools, undo commands)
// sit on top: they read the status fields, listen to the signals and answer
// the questions the document asks through its Services. The document itself
// shows nothing; timers, the background thread, the file writing and the
// questions are seams, so it runs headless in tests.
//
// Its parts, each with one job: SaveWriter (the save thread and what the
// writes share), AutosaveSchedule (when to save), DiskWatch (another
// program's writes) and the DocumentJournal (what is unsaved, on disk).
//
// Edited: the undo stack is not at its clean index, or direct changes are
// pending that no undo step holds (a draft, a style session, a restored
// journal). A save remembers the undo index of its snapshot and marks the
// stack clean only if that index, and the store's generation, are still
// current when it completes: an edit made during the save keeps the document
// edited and gets a save of its own.
#pragma once

#include <QObject>
#include <QString>
#include <QUndoStack>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "app/document/AutosaveSchedule.h"
#include "app/document/DiskWatch.h"
#include "app/document/DocumentJournal.h"
#include "app/document/LoadedPDF.h"
#include "app/document/SaveJob.h"
#include "app/document/SaveOutcome.h"
#include "app/document/SaveResult.h"
#include "app/document/SaveWriter.h"
#include "app/document/UnsavedChanges.h"
#include "app/document/WorkingCopy.h"
#include "core/markup/AnnotationItem.h"
#include "core/save/FileIdentity.h"

namespace quillet {

class AnnotationStore;

// What the user chose when another program changed the file under unsaved
// edits: save over the other version, take it and drop the edits, or take it
// and apply the edits on top of it.
enum class ReplacedFileChoice { keepMine, reload, addMine };

class InkDocument : public QObject {
    Q_OBJECT

  public:
    using Clock = std::function<void(std::chrono::milliseconds delay, std::function<void()> work)>;
    using SaveCompletion = std::function<void(const SaveResult& result)>;

    struct Services {
        // Runs work on the main thread after a delay (timers: autosave, notices).
        Clock clock;
        // Runs the write away from the main thread; one at a time per document.
        std::function<void(std::function<void()> work)> runWrite;
        // Brings the write's completion back to the main thread.
        std::function<void(std::function<void()> work)> toMainThread;
        // Writes the job over `target`, which must still be `expected` when it
        // is replaced (absent: a new file). Throws SaveEngineError. Any thread.
        std::function<SaveOutcome(const SaveJob& job, const QString& target,
                                  const std::optional<FileIdentity>& expected)>
            writeFile;
        // The document's journal; none (or null) keeps nothing.
        std::function<std::shared_ptr<DocumentJournal>()> makeJournal;
        // The file was replaced by another program while this document has
        // unsaved edits: what to do with the edits and the other version.
        std::function<void(InkDocument& document, std::function<void(ReplacedFileChoice)> answer)>
            askFileReplaced;
        // Markup set aside when the file was reloaded from disk waits for this
        // version of the file: true adds it to its pages, false deletes it.
        std::function<void(InkDocument& document, std::function<void(bool restore)> answer)>
            askRestoreSetAside;
        // Whether another open document is the file at this resolved path
        // (Save As never writes over a file open in another window).
        std::function<bool(const QString& path)> isOpenElsewhere;
        // Why a save cannot replace the file at the path (absent: it can);
        // null asks the file system (modes, a read-only mount).
        std::function<std::optional<QString>(const QString& path)> whyReadOnly;
        WorkingCopies::Places places = WorkingCopies::Places::forProcess();
        // A fixed autosave delay instead of the adaptive one (self-test mode's
        // QUILLET_SELFTEST_AUTOSAVE_DELAY, in milliseconds).
        std::optional<std::chrono::milliseconds> fixedAutosaveDelay;

        // Real timers, a background thread per document, the save engine
        // writing in place under the file's lock, the recovery journal.
        static Services forApplication();
    };

    static constexpr std::chrono::milliseconds minimumAutosaveDelay = AutosaveSchedule::minimumDelay;
    static constexpr std::chrono::milliseconds maximumAutosaveDelay = AutosaveSchedule::maximumDelay;
    static constexpr std::chrono::milliseconds retryDelay{20000};
    static constexpr std::chrono::milliseconds noticeDuration{6000};
    // How long closing waits for its save before asking what to do.
    static constexpr std::chrono::milliseconds closeSaveLimit{60000};
    // Another program's writes come in steps; the identity is checked after them.
    static constexpr std::chrono::milliseconds diskChangeSettle = DiskWatch::settleDelay;

    // Opens `path` from a fresh working copy and creates its store. Throws
    // DocumentLoaderError.
    static std::unique_ptr<InkDocument> open(const QString& path,
                                             Services services = Services::forApplication());
    ~InkDocument() override;

    // The user's file (absolute, symbolic links resolved) and its name.
    QString filePath() const { return filePath_; }
    QString displayName() const;
    const LoadedPDF& loaded() const { return loaded_; }
    std::shared_ptr<PDFDocument> pdf() const { return loaded_.pdf; }
    // Replaced by revert and by a reload (then reloaded() is emitted).
    AnnotationStore* store() const { return store_.get(); }
    std::shared_ptr<AnnotationStore> sharedStore() const { return store_; }
    QUndoStack* undoStack() { return &undoStack_; }
    int pageCount() const { return pageCount_; }
    bool isEncryptedFile() const { return isEncryptedFile_; }
    std::optional<QString> password() const { return password_; }

    // A save job of the store's current state (unsaved markup included), for
    // the document's own saves and for a copy elsewhere (export). Notes are
    // written expanded when asked.
    SaveJob snapshotJob(bool expandNotes) const;

    // Unlocks a locked file; true when it is open afterwards. The store then
    // reads the pages it could not read before.
    bool unlock(const QString& password);
    // Once per document, after the window is set up and the file unlocked:
    // puts the journal's unsaved pages back, marks the document edited and
    // shows "Unsaved changes were restored". Without such pages, markup set
    // aside by a reload of another version is offered (askRestoreSetAside):
    // its items are added to their pages, replacing only themselves.
    void checkRecovery();

    // Status for the window's status line.
    bool isEdited() const;
    bool isSaving() const { return isSaving_; }
    std::optional<QString> lastSaveError() const { return lastSaveError_; }
    // The latest notice, else the read-only notice while that holds, else
    // the repaired notice for a damaged file shown repaired.
    std::optional<QString> notice() const;
    std::optional<SaveOutcome::Method> lastSaveMethod() const { return lastSaveMethod_; }
    double lastSaveDuration() const { return lastSaveDuration_; }
    // The file was replaced by another program while this document had edits.
    bool fileReplacedOnDisk() const { return fileReplaced_; }
    // The file cannot be saved in place (not writable, its folder not
    // writable, or a read-only file system), as last checked: at opening and
    // before each autosave. Its markup stays in the journal until Save As.
    bool isReadOnlyFile() const { return readOnly_.has_value(); }
    // The window that asks the question of Services::askFileReplaced, once it exists.
    void setFileReplacedPrompt(
        std::function<void(InkDocument&, std::function<void(ReplacedFileChoice)>)> ask) {
        services_.askFileReplaced = std::move(ask);
    }
    void setSetAsidePrompt(std::function<void(InkDocument&, std::function<void(bool restore)>)> ask) {
        services_.askRestoreSetAside = std::move(ask);
    }
    void showNotice(const QString& text);

    // Changes not held by an undo step (a style session, an inline edit in
    // progress): they count as edits and get autosaved.
    void noteDirectChange();

    // Ctrl+S: commits pending edits and saves now (also when not edited).
    void save(SaveCompletion done = {});
    // Save As…: writes the document to `path` and goes on with that file;
    // the journal moves with it.
    void saveAs(const QString& path, SaveCompletion done = {});
    // The autosave's delay as it stands now (adaptive).
    std::chrono::milliseconds autosaveDelay() const;

    // The markup changes a revert would drop: since the last save, or since
    // the file was opened (saved changes included).
    UnsavedChanges unsavedChanges() const;
    UnsavedChanges changesSinceOpened() const;

    // Revert to Saved: drops unsaved markup, the journal and the undo steps,
    // and reads the file again (a new store; reloaded() follows). The error
    // text when the file cannot be read. The window asks first; the dropped
    // markup is set aside, to be offered back only with a question.
    std::optional<QString> revertToSaved();
    // Revert to the version as opened: puts the working copy, the file as it
    // was when opened, back in place of the user's file, then reverts.
    bool canRevertToOpened() const;
    std::optional<QString> revertToOpened();

    // Closing: commits pending edits, saves when edited and waits for the
    // save (bounded). `done(true)`: the document may close now. On a failed
    // save `done(false, reason)`: the caller asks "Close Anyway" (then
    // close(); the journal keeps the markup) or "Cancel".
    void prepareToClose(std::function<void(bool mayClose, const QString& failure)> done);
    bool isClosing() const { return closing_; }
    // Closes for good: stops timers and the file watch, deletes the journal
    // when nothing is unsaved, removes the private copies. Idempotent.
    void close();

  signals:
    // isSaving, lastSaveError, notice, the edited state or the file may have changed.
    void statusChanged();
    // The store was replaced (revert, reload): rebuild what was built on it.
    void reloaded();
    // Before a save and before closing: finish inline edits, style sessions
    // and erase gestures so they land as undo steps.
    void commitPendingEditsRequested();
    // Before a revert: drop any interaction in progress.
    void cancelInteractionRequested();
    // Save As moved the document to another file.
    void filePathChanged(const QString& path);
    void closed();

  private:
    enum class SaveKind { autosave, user, closing, saveAs };
    struct PendingSave {
        SaveKind kind;
        QString target;
        SaveCompletion done;
    };

    InkDocument(QString filePath, LoadedPDF loaded, Services services);
    void install(LoadedPDF loaded);
    void storeChanged();
    void draftChanged();
    void recordJournal();
    // Puts recovered markup in the store; false when none of it fits this file.
    bool restore(const PageItems& pages, bool wholePages);
    void scheduleAutosave(std::optional<std::chrono::milliseconds> fixedDelay = std::nullopt);
    void autosaveFired();
    void startSave(PendingSave request);
    void beginWrite(PendingSave request);
    void completeSave(PendingSave request, int undoIndex, SaveWriter::Result result);
    void runQueuedSaves();
    void watchFile();
    void checkDiskIdentity();
    bool diskFileDiffers() const;
    // What a reload does with the unsaved markup it drops.
    enum class DroppedMarkup { discard, setAside, keep };
    std::optional<QString> reload(DroppedMarkup dropped);
    // Keeps the items a revert drops (added or changed) for a question.
    void setAsideForQuestion(const UnsavedChanges& dropped);
    void answerFileReplaced(ReplacedFileChoice choice, PendingSave request);
    // "Add My Edits to This Version": reads the other program's version and
    // applies this document's unsaved changes on top of it.
    std::optional<QString> addEditsToNewVersion();
    // The lists of `pages` in `source` (a file as this document read it),
    // except those a save wrote since, which `saved` gives when present.
    PageItems baselineOf(const PageItems& pages, const QString& source, const PageItems* saved) const;
    // Rechecks whether the file can be saved in place; true when it can.
    bool checkWritable();
    void emitStatus() { emit statusChanged(); }

    Services services_;
    SaveWriter writer_;
    AutosaveSchedule autosave_;
    DiskWatch disk_;
    QString filePath_;
    LoadedPDF loaded_;
    std::shared_ptr<AnnotationStore> store_;
    std::optional<QString> password_;
    std::shared_ptr<DocumentJournal> journal_;  // never null
    QUndoStack undoStack_;
    // The first working copy: the file as it was opened, kept until close.
    QString openedVersion_;
    std::optional<FileIdentity> knownIdentity_;
    // The pages the last successful save wrote, as written: with the file as
    // read, the baseline of the unsaved changes.
    PageItems savedPages_;
    // Why the file cannot be saved in place, while that is so.
    std::optional<QString> readOnly_;

    double lastSaveDuration_ = 0;
    bool rewriteNoticeShown_ = false;
    int pageCount_ = 0;
    bool isEncryptedFile_ = false;
    bool recoveryChecked_ = false;
    bool isSaving_ = false;
    bool directChanges_ = false;
    bool fileReplaced_ = false;
    bool askingAboutReplacedFile_ = false;
    bool closing_ = false;
    bool closed_ = false;
    std::optional<QString> lastSaveError_;
    std::optional<QString> notice_;
    std::optional<SaveOutcome::Method> lastSaveMethod_;
    std::vector<PendingSave> queuedSaves_;
};

}  // namespace quillet
