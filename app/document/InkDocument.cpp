#include "app/document/InkDocument.h"

#include <algorithm>
#include <cerrno>
#include <new>

#include <sys/statvfs.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QPointer>

#include "app/document/AnnotationStore.h"
#include "app/document/DocumentLoaderError.h"
#include "app/document/FileKey.h"
#include "app/document/FilePageItemSource.h"
#include "app/document/InPlaceSave.h"
#include "app/document/RecoveryJournal.h"
#include "app/document/SaveEngine.h"
#include "app/document/SaveEngineError.h"
#include "app/platform/DelayedWork.h"
#include "app/platform/MainThread.h"
#include "app/platform/PlatformLog.h"
#include "app/platform/SerialQueue.h"

namespace quillet {

namespace {

constexpr LocalizedString restoredNotice{"Unsaved changes were restored", "Восстановлены несохранённые изменения"};
constexpr LocalizedString rewriteNotice{"The file was non-standard and was saved in full",
                                        "Файл был нестандартным и сохранён целиком"};
constexpr LocalizedString closingNotice{"Saving changes before closing…", "Сохранение изменений перед закрытием…"};
constexpr LocalizedString reloadedNotice{"The file was changed by another program and was reloaded",
                                         "Файл изменён другой программой и открыт заново"};
constexpr LocalizedString closeTimeout{"The save did not finish in time.", "Сохранение не завершилось вовремя."};
constexpr LocalizedString documentClosed{"The document is closed.", "Документ закрыт."};
constexpr LocalizedString readOnlyNotice{
    "This file is read-only: your markup is kept until you save a copy with Save As…",
    "Файл доступен только для чтения: пометки сохранятся, пока вы не сохраните копию командой «Сохранить как…»"};
constexpr LocalizedString repairedNotice{"This file was damaged and has been repaired for display",
                                         "Этот файл был повреждён и восстановлен для показа"};
constexpr LocalizedString openElsewherePrefix{"“", "Файл «"};
constexpr LocalizedString openElsewhereSuffix{"” is open in another window: close it there to save over it",
                                              "» открыт в другом окне: закройте его там, чтобы сохранить поверх"};

QString resolvedPath(const QString& path)
{
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? info.absoluteFilePath() : canonical;
}

QString failureText(const SaveEngineError& error)
{
    const QString reason = error.localizedFailureReason(InterfaceLanguage::current());
    return reason.isEmpty() ? error.localizedDescription(InterfaceLanguage::current()) : reason;
}

// Why a save cannot replace the file at `path`, for the log; absent when it can.
std::optional<QString> readOnlyReason(const QString& path)
{
    const QByteArray file = QFile::encodeName(path);
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    struct statvfs volume {};
    if (::statvfs(file.constData(), &volume) == 0 && (volume.f_flag & ST_RDONLY) != 0) {
        return QStringLiteral("the file system is read-only");
    }
    if (::access(file.constData(), W_OK) != 0 && errno != ENOENT) {
        return QStringLiteral("the file is not writable");
    }
    // A save replaces the file by a rename in its folder.
    if (::access(folder.constData(), W_OK | X_OK) != 0) {
        return QStringLiteral("its folder is not writable");
    }
    return std::nullopt;
}

QString loaderFailureText(const DocumentLoaderError& error)
{
    return error.localizedText(InterfaceLanguage::current()) + QStringLiteral(": ") +
           error.localizedExplanation(InterfaceLanguage::current());
}

}  // namespace

DocumentJournal journalHooks(std::shared_ptr<RecoveryJournal> journal)
{
    DocumentJournal hooks;
    hooks.noteIdentity = [journal](const QString& path) { journal->noteIdentity(path); };
    hooks.record = [journal](const QString& path, const PageItems& pages) { journal->record(path, pages); };
    hooks.flush = [journal] { journal->flush(); };
    hooks.discard = [journal](const std::optional<QString>& path) { journal->discard(path); };
    hooks.pendingRecovery = [journal](const QString& path) { return journal->pendingRecovery(path); };
    hooks.setAside = [journal](const QString& path, const PageItems& pages) { journal->setAside(path, pages); };
    hooks.setAsideToAsk = [journal](const QString& path, const PageItems& pages) {
        journal->setAsideToAsk(path, pages);
    };
    hooks.setAsideMarkup = [journal](const QString& path) { return journal->setAsideMarkup(path); };
    hooks.takeSetAside = [journal](const QString& path) { journal->takeSetAside(path); };
    hooks.dropSetAside = [journal](const QString& path) { journal->dropSetAside(path); };
    hooks.protect = [journal](bool encrypted, const std::optional<std::string>& fileKey) {
        journal->protect(encrypted, fileKey);
    };
    return hooks;
}

InkDocument::Services InkDocument::Services::forApplication()
{
    Services services;
    services.clock = [](std::chrono::milliseconds delay, std::function<void()> work) {
        DelayedWork::schedule(delay, std::move(work));
    };
    // One save thread per document: its saves run one after the other.
    auto queue = std::make_shared<SerialQueue>("app.quillet.save");
    services.runWrite = [queue](std::function<void()> work) { queue->async(std::move(work)); };
    services.toMainThread = [](std::function<void()> work) { MainThread::post(std::move(work)); };
    services.writeFile = &InPlaceSave::write;
    services.makeJournal = [] { return journalHooks(std::make_shared<RecoveryJournal>()); };
    if (qEnvironmentVariableIsSet("QUILLET_SELFTEST")) {
        bool valid = false;
        const int delay = qEnvironmentVariableIntValue("QUILLET_SELFTEST_AUTOSAVE_DELAY", &valid);
        if (valid && delay >= 0) {
            services.fixedAutosaveDelay = std::chrono::milliseconds(delay);
        }
    }
    return services;
}

std::unique_ptr<InkDocument> InkDocument::open(const QString& path, Services services)
{
    const QString resolved = resolvedPath(path);
    // What saves killed halfway left beside the file.
    SaveEngine::removeLeftovers(resolved.toStdString());
    LoadedPDF loaded = LoadedPDF::open(resolved, services.places);
    return std::unique_ptr<InkDocument>(new InkDocument(resolved, std::move(loaded), std::move(services)));
}

InkDocument::InkDocument(QString filePath, LoadedPDF loaded, Services services)
    : services_(std::move(services)), filePath_(std::move(filePath)), write_(std::make_shared<WriteState>())
{
    journal_ = services_.makeJournal ? services_.makeJournal() : DocumentJournal{};
    openedVersion_ = loaded.ownsWorkingCopy ? loaded.workingCopy : QString();
    install(std::move(loaded));
    connect(&undoStack_, &QUndoStack::cleanChanged, this, &InkDocument::emitStatus);
    connect(&undoStack_, &QUndoStack::indexChanged, this, &InkDocument::emitStatus);
    // A step whose change the store already holds (an eraser gesture removes
    // as it goes) changes nothing in the store when it is recorded, yet it is
    // what makes the document edited: it needs its own autosave.
    connect(&undoStack_, &QUndoStack::indexChanged, this, [this] {
        if (isEdited()) {
            scheduleAutosave();
        }
    });
    connect(&watcher_, &QFileSystemWatcher::fileChanged, this, &InkDocument::fileChangedOnDisk);
    watchFile();
    checkWritable();
}

InkDocument::~InkDocument()
{
    close();
    // The store's callbacks point here; the store may outlive the document in
    // a view that still holds it.
    if (store_) {
        store_->setOnChange({});
        store_->setOnDraftChange({});
    }
}

QString InkDocument::displayName() const
{
    return QFileInfo(filePath_).fileName();
}

void InkDocument::install(LoadedPDF loaded)
{
    loaded_ = std::move(loaded);
    pageCount_ = loaded_.pdf->pageCount();
    isEncryptedFile_ = loaded_.pdf->isEncrypted();
    if (store_) {
        store_->setOnChange({});
        store_->setOnDraftChange({});
    }
    std::optional<std::string> password;
    if (password_) {
        password = password_->toStdString();
    }
    // The reader's repairs of a damaged file are logged, once, under the
    // user's file name (the working copy's is private).
    auto logRepair = [name = filePath_.toStdString()](const std::string& warning) {
        logLine("repaired " + name + ": " + warning);
    };
    store_ = std::make_shared<AnnotationStore>(
        pageCount_,
        std::make_shared<FilePageItemSource>(loaded_.workingCopy.toStdString(), password, logRepair));
    QPointer<InkDocument> self(this);
    store_->setOnChange([self](const std::set<int>&) {
        if (self) {
            self->storeChanged();
        }
    });
    store_->setOnDraftChange([self] {
        if (self) {
            self->draftChanged();
        }
    });
    knownIdentity_ = FileIdentity::ofPath(filePath_.toStdString());
    // Before anything is recorded: the journal of an encrypted file is sealed
    // under its key, which is known once the file is unlocked.
    if (journal_.protect) {
        journal_.protect(isEncryptedFile_, isEncryptedFile_ && !loaded_.pdf->isLocked()
                                               ? fileKeyOf(loaded_.workingCopy, password_)
                                               : std::nullopt);
    }
    if (journal_.noteIdentity) {
        journal_.noteIdentity(filePath_);
    }
    std::optional<SaveSource> previous;
    {
        std::lock_guard lock(write_->lock);
        previous = write_->saveSource;
        write_->saveSource.reset();
        write_->pageRefCache.reset();
        write_->workingCopy = loaded_.workingCopy;
    }
    if (previous && previous->owned && previous->path != loaded_.workingCopy) {
        WorkingCopies::remove(previous->path, services_.places);
    }
}

bool InkDocument::unlock(const QString& password)
{
    if (!loaded_.pdf->unlock(password)) {
        return false;
    }
    if (password_ == password && store_ && pageCount_ == loaded_.pdf->pageCount()) {
        return true;
    }
    password_ = password;
    // The store was made while the pages could not be read: a new one, on
    // the unlocked file, and the views rebuild on it.
    const std::shared_ptr<AnnotationStore> previous = store_;
    undoStack_.clear();
    install(loaded_);
    emit reloaded();
    emitStatus();
    return true;
}

void InkDocument::checkRecovery()
{
    if (recoveryChecked_ || !store_ || loaded_.pdf->isLocked() || closed_) {
        return;
    }
    recoveryChecked_ = true;
    if (!journal_.pendingRecovery) {
        return;
    }
    const std::optional<PageItems> pages = journal_.pendingRecovery(filePath_);
    if (pages && !pages->empty()) {
        restore(*pages, true);
        return;
    }
    if (!journal_.setAsideMarkup || !services_.askRestoreSetAside) {
        return;
    }
    const std::optional<PageItems> kept = journal_.setAsideMarkup(filePath_);
    if (!kept || kept->empty()) {
        return;
    }
    QPointer<InkDocument> self(this);
    services_.askRestoreSetAside(*this, [self, kept](bool restore) {
        if (!self || self->closed_ || !self->store_) {
            return;
        }
        if (restore && self->journal_.takeSetAside) {
            self->journal_.takeSetAside(self->filePath_);  // before the restore records the journal
        }
        // Declined, or none of its pages is in this version: it goes.
        if ((!restore || !self->restore(*kept, false)) && self->journal_.dropSetAside) {
            self->journal_.dropSetAside(self->filePath_);
        }
    });
}

bool InkDocument::restore(const PageItems& pages, bool wholePages)
{
    if (wholePages) {
        store_->replacePages(pages);
    } else {
        // Another version of the file: nothing of it is replaced but the
        // items themselves; the others join the end of their pages.
        std::vector<StoreChange> changes;
        for (const auto& [page, items] : pages) {
            if (page < 0 || page >= pageCount_) {
                continue;
            }
            int end = static_cast<int>(store_->itemsOnPage(page).size());
            for (const AnnotationItem& item : items) {
                changes.push_back(store_->locate(item.id) ? StoreChange::replace({item})
                                                          : StoreChange::insert(item, page, end++));
            }
        }
        if (changes.empty()) {
            return false;
        }
        store_->apply(StoreChange::batch(std::move(changes)));
    }
    directChanges_ = true;
    emitStatus();
    showNotice(restoredNotice.text());
    return true;
}

bool InkDocument::isEdited() const
{
    return !undoStack_.isClean() || directChanges_;
}

void InkDocument::showNotice(const QString& text)
{
    notice_ = text;
    emitStatus();
    QPointer<InkDocument> self(this);
    services_.clock(noticeDuration, [self, text] {
        if (self && self->notice_ == text) {
            self->notice_.reset();
            self->emitStatus();
        }
    });
}

void InkDocument::noteDirectChange()
{
    draftChanged();
}

void InkDocument::storeChanged()
{
    recordJournal();
    scheduleAutosave();
    emitStatus();
}

void InkDocument::draftChanged()
{
    directChanges_ = true;
    emitStatus();
    recordJournal();
    scheduleAutosave();
}

void InkDocument::recordJournal()
{
    if (store_ && journal_.record && !closed_) {
        journal_.record(filePath_, store_->snapshot().pages);
    }
}

std::chrono::milliseconds InkDocument::autosaveDelay() const
{
    if (services_.fixedAutosaveDelay) {
        return *services_.fixedAutosaveDelay;
    }
    const auto adaptive = std::chrono::milliseconds(static_cast<int64_t>(lastSaveDuration_ * 4 * 1000));
    return std::clamp(adaptive, minimumAutosaveDelay, maximumAutosaveDelay);
}

void InkDocument::scheduleAutosave(std::optional<std::chrono::milliseconds> fixedDelay)
{
    if (closed_) {
        return;
    }
    // Only the latest schedule counts: each edit pushes the autosave back.
    const int64_t ticket = ++autosaveTicket_;
    QPointer<InkDocument> self(this);
    services_.clock(fixedDelay.value_or(autosaveDelay()), [self, ticket] {
        if (self && self->autosaveTicket_ == ticket) {
            self->autosaveFired();
        }
    });
}

void InkDocument::autosaveFired()
{
    if (closed_) {
        return;
    }
    if (isSaving_) {
        scheduleAutosave();
        return;
    }
    // A read-only file is not tried: the next edit checks again.
    if (isEdited() && checkWritable()) {
        startSave({SaveKind::autosave, filePath_, {}});
    }
}

void InkDocument::save(SaveCompletion done)
{
    if (!checkWritable()) {
        if (done) {
            done(readOnlyNotice.text());
        }
        return;
    }
    startSave({SaveKind::user, filePath_, std::move(done)});
}

void InkDocument::saveAs(const QString& path, SaveCompletion done)
{
    const QString target = resolvedPath(path);
    if (target == filePath_) {
        save(std::move(done));
        return;
    }
    if (services_.isOpenElsewhere && services_.isOpenElsewhere(target)) {
        const QString refusal = openElsewherePrefix.text() + QFileInfo(target).fileName() + openElsewhereSuffix.text();
        showNotice(refusal);
        if (done) {
            done(refusal);
        }
        return;
    }
    startSave({SaveKind::saveAs, QFileInfo(path).absoluteFilePath(), std::move(done)});
}

std::optional<QString> InkDocument::notice() const
{
    if (notice_) {
        return notice_;
    }
    if (readOnly_) {
        return readOnlyNotice.text();
    }
    if (loaded_.repaired) {
        return repairedNotice.text();
    }
    return std::nullopt;
}

bool InkDocument::checkWritable()
{
    const std::optional<QString> reason =
        services_.whyReadOnly ? services_.whyReadOnly(filePath_) : readOnlyReason(filePath_);
    if (reason != readOnly_) {
        if (reason) {
            logLine("cannot save " + QFileInfo(filePath_).fileName().toStdString() + " in place: " +
                    reason->toStdString());
        }
        readOnly_ = reason;
        emitStatus();
    }
    return !readOnly_;
}

bool InkDocument::diskFileDiffers() const
{
    if (fileReplaced_) {
        return true;
    }
    const std::optional<FileIdentity> now = FileIdentity::ofPath(filePath_.toStdString());
    return now.has_value() != knownIdentity_.has_value() || (now && !(*now == *knownIdentity_));
}

void InkDocument::startSave(PendingSave request)
{
    if (closed_) {
        if (request.done) {
            request.done(documentClosed.text());
        }
        return;
    }
    if (isSaving_) {
        queuedSaves_.push_back(std::move(request));
        return;
    }
    if (request.kind != SaveKind::autosave) {
        emit commitPendingEditsRequested();
    }
    if (request.kind != SaveKind::saveAs && diskFileDiffers()) {
        // Never saved over another program's version without asking.
        fileReplaced_ = true;
        emitStatus();
        if (!services_.askFileReplaced || askingAboutReplacedFile_) {
            if (request.done) {
                request.done(failureText(SaveEngineError::fileChanged()));
            }
            return;
        }
        askingAboutReplacedFile_ = true;
        QPointer<InkDocument> self(this);
        services_.askFileReplaced(*this, [self, request](ReplacedFileChoice choice) mutable {
            if (self) {
                self->askingAboutReplacedFile_ = false;
                self->answerFileReplaced(choice, std::move(request));
            }
        });
        return;
    }
    isSaving_ = true;
    emitStatus();
    beginWrite(std::move(request));
}

void InkDocument::answerFileReplaced(ReplacedFileChoice choice, PendingSave request)
{
    if (closed_) {
        if (request.done) {
            request.done(documentClosed.text());
        }
        return;
    }
    if (choice == ReplacedFileChoice::keepMine) {
        knownIdentity_ = FileIdentity::ofPath(filePath_.toStdString());
        fileReplaced_ = false;
        startSave(std::move(request));
        return;
    }
    const std::optional<QString> error =
        choice == ReplacedFileChoice::reload ? reload(DroppedMarkup::setAside) : addEditsToNewVersion();
    if (request.done) {
        request.done(error);
    }
}

void InkDocument::beginWrite(PendingSave request)
{
    SaveJob job = snapshotJob(false);

    const std::optional<FileIdentity> expected =
        request.kind == SaveKind::saveAs ? std::nullopt : knownIdentity_;
    const int undoIndex = undoStack_.index();
    const QPointer<InkDocument> self(this);
    const std::shared_ptr<AnnotationStore> store = store_;  // revert may replace it meanwhile
    auto write = [state = write_, job, expected, request, undoIndex, self, store, writeFile = services_.writeFile,
                  places = services_.places, toMainThread = services_.toMainThread]() mutable {
        std::optional<QString> error;
        std::shared_ptr<const HeldFile> replacedVersion;
        try {
            SaveOutcome outcome = writeFile(job, request.target, expected);
            replacedVersion = std::move(outcome.replacedVersion);
            // A rewritten file is the pristine source of the next saves.
            std::optional<SaveSource> newSource;
            if (outcome.method == SaveOutcome::Method::rewrite) {
                const WorkingCopy copy = WorkingCopies::make(request.target, WorkingCopies::sizeLimit, places);
                if (copy.owned) {
                    newSource = SaveSource{copy.path, true};
                }
            }
            std::optional<SaveSource> replaced;
            QString workingCopy;
            {
                std::lock_guard lock(state->lock);
                state->lastWrittenGeneration = job.generation;
                state->lastOutcome = outcome;
                workingCopy = state->workingCopy;
                if (newSource) {
                    replaced = state->saveSource;
                    state->saveSource = newSource;
                    state->pageRefCache.reset();
                } else if (outcome.method == SaveOutcome::Method::incremental && outcome.pageRefs &&
                           !outcome.pageRefs->empty()) {
                    const QString next = state->saveSource ? state->saveSource->path : state->workingCopy;
                    if (next.toStdString() == job.source) {
                        state->pageRefCache = outcome.pageRefs;
                    }
                }
            }
            if (replaced && replaced->owned && replaced->path != workingCopy) {
                WorkingCopies::remove(replaced->path, places);
            }
            if (outcome.method == SaveOutcome::Method::rewrite) {
                logLine("saved " + QFileInfo(request.target).fileName().toStdString() + " with a full rewrite");
            }
        } catch (const SaveEngineError& failure) {
            logLine("save failed: " + failure.text());
            error = failureText(failure);
        } catch (const std::bad_alloc&) {
            throw;  // not a failure of this work to report and go on from
        } catch (const std::exception& failure) {
            logLine(std::string("save failed: ") + failure.what());
            error = failureText(SaveEngineError::writeFailed(failure.what()));
        }
        toMainThread([self, store, request, undoIndex, saved = std::move(job.pages), error]() mutable {
            if (self && self->store_ == store) {
                self->completeSave(std::move(request), undoIndex, std::move(saved), error);
            } else {
                if (self) {
                    self->isSaving_ = false;
                    self->emitStatus();
                    self->runQueuedSaves();
                }
                if (request.done) {
                    request.done(error);
                }
            }
        });
        // The old version's space is given back here, on the save thread,
        // after the user has been told the save is done.
        replacedVersion.reset();
    };
    services_.runWrite(std::move(write));
}

void InkDocument::completeSave(PendingSave request, int undoIndex, PageItems saved,
                               const std::optional<QString>& error)
{
    isSaving_ = false;
    std::optional<int64_t> written;
    std::optional<SaveOutcome> outcome;
    {
        std::lock_guard lock(write_->lock);
        written = std::exchange(write_->lastWrittenGeneration, std::nullopt);
        outcome = std::exchange(write_->lastOutcome, std::nullopt);
    }
    if (error) {
        lastSaveError_ = error;
        if (!closed_) {
            scheduleAutosave(retryDelay);
        }
    } else {
        lastSaveError_.reset();
        savedPages_ = std::move(saved);
        if (request.kind == SaveKind::saveAs) {
            filePath_ = resolvedPath(request.target);
            watchFile();
            checkWritable();
            emit filePathChanged(filePath_);
        }
        if (outcome) {
            lastSaveDuration_ = outcome->duration;
            lastSaveMethod_ = outcome->method;
            if (outcome->method == SaveOutcome::Method::rewrite && !isEncryptedFile_ && !rewriteNoticeShown_) {
                rewriteNoticeShown_ = true;
                showNotice(rewriteNotice.text());
            }
        }
        knownIdentity_ = outcome && outcome->targetIdentity ? outcome->targetIdentity
                                                             : FileIdentity::ofPath(filePath_.toStdString());
        fileReplaced_ = false;
        if (journal_.noteIdentity) {
            journal_.noteIdentity(filePath_);
        }
        if (written && store_ && *written == store_->generation()) {
            if (journal_.discard) {
                journal_.discard(filePath_);
            }
            directChanges_ = false;
            if (undoStack_.index() == undoIndex) {
                undoStack_.setClean();
            }
        } else if (!closed_) {
            recordJournal();
            scheduleAutosave();
        }
    }
    emitStatus();
    if (request.done) {
        request.done(error);
    }
    runQueuedSaves();
}

void InkDocument::runQueuedSaves()
{
    if (isSaving_ || queuedSaves_.empty()) {
        return;
    }
    PendingSave next = std::move(queuedSaves_.front());
    queuedSaves_.erase(queuedSaves_.begin());
    startSave(std::move(next));
}

void InkDocument::watchFile()
{
    if (!watcher_.files().isEmpty()) {
        watcher_.removePaths(watcher_.files());
    }
    if (!closed_ && QFileInfo::exists(filePath_)) {
        watcher_.addPath(filePath_);
    }
}

void InkDocument::fileChangedOnDisk()
{
    QPointer<InkDocument> self(this);
    services_.clock(diskChangeSettle, [self] {
        if (self) {
            self->checkDiskIdentity();
        }
    });
}

void InkDocument::checkDiskIdentity()
{
    if (closed_) {
        return;
    }
    // A file replaced by a rename is a new file: watch it again.
    if (!watcher_.files().contains(filePath_)) {
        watchFile();
    }
    // Our own save is under way; its completion notes the new version.
    if (isSaving_ || !diskFileDiffers() || !FileIdentity::ofPath(filePath_.toStdString())) {
        return;
    }
    if (!isEdited()) {
        if (!reload(DroppedMarkup::discard)) {
            showNotice(reloadedNotice.text());
        }
        return;
    }
    fileReplaced_ = true;
    emitStatus();
}

std::optional<QString> InkDocument::reload(DroppedMarkup dropped)
{
    emit cancelInteractionRequested();
    LoadedPDF fresh;
    try {
        fresh = LoadedPDF::open(filePath_, services_.places);
    } catch (const DocumentLoaderError& error) {
        return loaderFailureText(error);
    }
    if (password_ && fresh.pdf->isLocked()) {
        fresh.pdf->unlock(*password_);
    }
    // Before install() notes the new version: the set-aside markup keeps the
    // versions it was made on, the reloaded file starts a journal of its own.
    if (dropped == DroppedMarkup::setAside && journal_.setAside && store_) {
        const StoreSnapshot unsaved = store_->snapshot();
        if (!unsaved.pages.empty()) {
            journal_.setAside(filePath_, unsaved.pages);
            logLine("reloaded " + filePath_.toStdString() + " from disk; its unsaved markup is kept aside");
        }
    }
    // The undo steps name the old store's items; they go first.
    undoStack_.clear();
    const std::shared_ptr<AnnotationStore> previousStore = store_;  // alive until the views have moved
    const LoadedPDF previous = loaded_;
    install(std::move(fresh));
    savedPages_.clear();
    if (previous.ownsWorkingCopy && previous.workingCopy != openedVersion_) {
        WorkingCopies::remove(previous.workingCopy, services_.places);
    }
    if (dropped == DroppedMarkup::discard && journal_.discard) {
        journal_.discard(filePath_);
    }
    ++autosaveTicket_;
    directChanges_ = false;
    fileReplaced_ = false;
    lastSaveError_.reset();
    watchFile();
    emit reloaded();
    emitStatus();
    return std::nullopt;
}

std::optional<QString> InkDocument::revertToSaved()
{
    setAsideForQuestion(unsavedChanges());
    return reload(DroppedMarkup::discard);
}

bool InkDocument::canRevertToOpened() const
{
    return !openedVersion_.isEmpty() && QFileInfo::exists(openedVersion_);
}

std::optional<QString> InkDocument::revertToOpened()
{
    if (!canRevertToOpened()) {
        return failureText(SaveEngineError::writeFailed());
    }
    const UnsavedChanges dropped = changesSinceOpened();
    try {
        InPlaceSave::replaceWith(openedVersion_, filePath_, knownIdentity_);
    } catch (const SaveEngineError& error) {
        return failureText(error);
    }
    setAsideForQuestion(dropped);
    return reload(DroppedMarkup::discard);
}

void InkDocument::prepareToClose(std::function<void(bool mayClose, const QString& failure)> done)
{
    emit commitPendingEditsRequested();
    if (closed_ || (!isEdited() && !isSaving_)) {
        done(true, QString());
        return;
    }
    closing_ = true;
    showNotice(closingNotice.text());
    auto answered = std::make_shared<bool>(false);
    QPointer<InkDocument> self(this);
    auto finish = [self, done, answered](bool mayClose, const QString& failure) {
        if (*answered) {
            return;
        }
        *answered = true;
        if (self) {
            self->closing_ = false;
            self->emitStatus();
        }
        done(mayClose, failure);
    };
    services_.clock(closeSaveLimit, [finish] { finish(false, closeTimeout.text()); });
    startSave({SaveKind::closing, filePath_, [finish](const SaveResult& error) {
                   finish(!error, error.value_or(QString()));
               }});
}

void InkDocument::close()
{
    if (closed_) {
        return;
    }
    const bool edited = isEdited();
    if (edited) {
        recordJournal();  // the last state, also a draft not yet recorded
    }
    closed_ = true;
    ++autosaveTicket_;
    if (!watcher_.files().isEmpty()) {
        watcher_.removePaths(watcher_.files());
    }
    // An edited document keeps its journal: its markup comes back next time.
    if (edited) {
        if (journal_.flush) {
            journal_.flush();
        }
    } else if (journal_.discard) {
        journal_.discard(filePath_);
    }
    std::optional<SaveSource> source;
    {
        std::lock_guard lock(write_->lock);
        source = write_->saveSource;
    }
    if (source && source->owned && source->path != loaded_.workingCopy) {
        WorkingCopies::remove(source->path, services_.places);
    }
    if (loaded_.ownsWorkingCopy) {
        WorkingCopies::remove(loaded_.workingCopy, services_.places);
    }
    if (!openedVersion_.isEmpty() && openedVersion_ != loaded_.workingCopy) {
        WorkingCopies::remove(openedVersion_, services_.places);
    }
    emit closed();
}

SaveJob InkDocument::snapshotJob(bool expandNotes) const
{
    // The snapshot takes the store's own lock; writeLock is taken after it.
    const StoreSnapshot snapshot = store_->snapshot();
    SaveJob job;
    {
        std::lock_guard lock(write_->lock);
        job.source = (write_->saveSource ? write_->saveSource->path : write_->workingCopy).toStdString();
        job.cachedPageRefs = write_->pageRefCache;
    }
    job.fallbackSource = filePath_.toStdString();
    job.documentPath = filePath_.toStdString();
    job.pageCount = pageCount_;
    job.pages = snapshot.pages;
    job.generation = snapshot.generation;
    job.isEncrypted = isEncryptedFile_;
    if (password_) {
        job.password = password_->toStdString();
    }
    job.expandNotes = expandNotes;
    return job;
}

}  // namespace quillet
