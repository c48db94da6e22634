#include "app/document/InkDocument.h"

#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <algorithm>
#include <new>

#include "app/document/AnnotationStore.h"
#include "app/document/DocumentLoaderError.h"
#include "app/document/FileKey.h"
#include "app/document/FilePageItemSource.h"
#include "app/document/InPlaceSave.h"
#include "app/document/RecoveryJournal.h"
#include "app/document/SaveEngine.h"
#include "app/document/SaveEngineError.h"
#include "app/document/SaveWriter.h"
#include "app/platform/DelayedWork.h"
#include "app/platform/MainThread.h"
#include "app/platform/PlatformLog.h"
#include "app/platform/SerialQueue.h"

namespace quillet {

namespace {

constexpr LocalizedString rewriteNotice{"The file was non-standard and was saved in full",
                                        "Файл был нестандартным и сохранён целиком"};
constexpr LocalizedString closingNotice{"Saving changes before closing…",
                                        "Сохранение изменений перед закрытием…"};
constexpr LocalizedString reloadedNotice{"The file was changed by another program and was reloaded",
                                         "Файл изменён другой программой и открыт заново"};
constexpr LocalizedString closeTimeout{"The save did not finish in time.",
                                       "Сохранение не завершилось вовремя."};
constexpr LocalizedString documentClosed{"The document is closed.", "Документ закрыт."};
constexpr LocalizedString readOnlyNotice{
    "This file is read-only: your markup is kept until you save a copy with Save As…",
    "Файл доступен только для чтения: пометки сохранятся, пока вы не сохраните копию командой «Сохранить "
    "как…»"};
constexpr LocalizedString repairedNotice{"This file was damaged and has been repaired for display",
                                         "Этот файл был повреждён и восстановлен для показа"};
constexpr LocalizedString openElsewherePrefix{"“", "Файл «"};
constexpr LocalizedString openElsewhereSuffix{
    "” is open in another window: close it there to save over it",
    "» открыт в другом окне: закройте его там, чтобы сохранить поверх"};

QString resolvedPath(const QString& path) {
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? info.absoluteFilePath() : canonical;
}

SaveResult writeResult(const SaveWriter::Result& result) {
    return result.error ? SaveResult::failure(SaveResult::Status::failed, *result.error) : SaveResult::done();
}

}  // namespace

InkDocument::Services InkDocument::Services::forApplication() {
    Services services;
    services.clock = [](std::chrono::milliseconds delay, std::function<void()> work) {
        DelayedWork::schedule(delay, std::move(work));
    };
    // One save thread per document: its saves run one after the other.
    auto queue = std::make_shared<SerialQueue>("app.quillet.save");
    services.runWrite = [queue](std::function<void()> work) { queue->async(std::move(work)); };
    services.toMainThread = [](std::function<void()> work) { MainThread::post(std::move(work)); };
    services.writeFile = &InPlaceSave::write;
    services.makeJournal = [] { return std::make_shared<RecoveryJournal>(); };
    if (qEnvironmentVariableIsSet("QUILLET_SELFTEST")) {
        bool valid = false;
        const int delay = qEnvironmentVariableIntValue("QUILLET_SELFTEST_AUTOSAVE_DELAY", &valid);
        if (valid && delay >= 0) {
            services.fixedAutosaveDelay = std::chrono::milliseconds(delay);
        }
    }
    return services;
}

std::unique_ptr<InkDocument> InkDocument::open(const QString& path, Services services) {
    const QString resolved = resolvedPath(path);
    // What saves killed halfway left beside the file.
    SaveEngine::removeLeftovers(resolved.toStdString());
    LoadedPDF loaded = LoadedPDF::open(resolved, services.places);
    return std::unique_ptr<InkDocument>(new InkDocument(resolved, std::move(loaded), std::move(services)));
}

InkDocument::InkDocument(QString filePath, LoadedPDF loaded, Services services)
    : services_(std::move(services)),
      writer_(services_.runWrite, services_.toMainThread, services_.writeFile, services_.places),
      autosave_(services_.clock, services_.fixedAutosaveDelay),
      disk_(services_.clock, [this] { checkDiskIdentity(); }),
      filePath_(std::move(filePath)) {
    journal_ = services_.makeJournal ? services_.makeJournal() : nullptr;
    if (!journal_) {
        journal_ = std::make_shared<DocumentJournal>();
    }
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
    watchFile();
    checkWritable();
}

InkDocument::~InkDocument() {
    close();
    // The store's callbacks point here; the store may outlive the document in
    // a view that still holds it.
    if (store_) {
        store_->setOnChange({});
        store_->setOnDraftChange({});
    }
}

QString InkDocument::displayName() const {
    return QFileInfo(filePath_).fileName();
}

void InkDocument::install(LoadedPDF loaded) {
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
    auto logRepair = [name = filePath_.toStdString()](const ReaderWarning& warning) {
        logLine("repaired " + name + ": " + warning.text);
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
    journal_->protect(isEncryptedFile_, isEncryptedFile_ && !loaded_.pdf->isLocked()
                                            ? fileKeyOf(loaded_.workingCopy, password_)
                                            : std::nullopt);
    journal_->noteIdentity(filePath_);
    writer_.setWorkingCopy(loaded_.workingCopy);
}

bool InkDocument::unlock(const QString& password) {
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

bool InkDocument::isEdited() const {
    return !undoStack_.isClean() || directChanges_;
}

void InkDocument::showNotice(const QString& text) {
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

void InkDocument::noteDirectChange() {
    draftChanged();
}

void InkDocument::storeChanged() {
    recordJournal();
    scheduleAutosave();
    emitStatus();
}

void InkDocument::draftChanged() {
    directChanges_ = true;
    emitStatus();
    recordJournal();
    scheduleAutosave();
}

void InkDocument::recordJournal() {
    if (store_ && !closed_) {
        journal_->record(filePath_, store_->snapshot().pages);
    }
}

std::chrono::milliseconds InkDocument::autosaveDelay() const {
    return autosave_.delay(lastSaveDuration_);
}

void InkDocument::scheduleAutosave(std::optional<std::chrono::milliseconds> fixedDelay) {
    if (closed_) {
        return;
    }
    QPointer<InkDocument> self(this);
    autosave_.schedule(fixedDelay.value_or(autosaveDelay()), [self] {
        if (self) {
            self->autosaveFired();
        }
    });
}

void InkDocument::autosaveFired() {
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

void InkDocument::save(SaveCompletion done) {
    if (!checkWritable()) {
        if (done) {
            done(SaveResult::failure(SaveResult::Status::readOnly, readOnlyNotice.text()));
        }
        return;
    }
    startSave({SaveKind::user, filePath_, std::move(done)});
}

void InkDocument::saveAs(const QString& path, SaveCompletion done) {
    const QString target = resolvedPath(path);
    if (target == filePath_) {
        save(std::move(done));
        return;
    }
    if (services_.isOpenElsewhere && services_.isOpenElsewhere(target)) {
        const QString refusal =
            openElsewherePrefix.text() + QFileInfo(target).fileName() + openElsewhereSuffix.text();
        showNotice(refusal);
        if (done) {
            done(SaveResult::failure(SaveResult::Status::openElsewhere, refusal));
        }
        return;
    }
    startSave({SaveKind::saveAs, QFileInfo(path).absoluteFilePath(), std::move(done)});
}

std::optional<QString> InkDocument::notice() const {
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

bool InkDocument::checkWritable() {
    const std::optional<QString> reason =
        services_.whyReadOnly ? services_.whyReadOnly(filePath_) : InPlaceSave::whyReadOnly(filePath_);
    if (reason != readOnly_) {
        if (reason) {
            logLine("cannot save " + QFileInfo(filePath_).fileName().toStdString() +
                    " in place: " + reason->toStdString());
        }
        readOnly_ = reason;
        emitStatus();
    }
    return !readOnly_;
}

bool InkDocument::diskFileDiffers() const {
    if (fileReplaced_) {
        return true;
    }
    const std::optional<FileIdentity> now = FileIdentity::ofPath(filePath_.toStdString());
    return now.has_value() != knownIdentity_.has_value() || (now && !(*now == *knownIdentity_));
}

void InkDocument::startSave(PendingSave request) {
    if (closed_) {
        if (request.done) {
            request.done(SaveResult::failure(SaveResult::Status::closed, documentClosed.text()));
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
                request.done(SaveResult::failure(
                    SaveResult::Status::fileChanged,
                    SaveEngineError::fileChanged().userText(InterfaceLanguage::current())));
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

void InkDocument::answerFileReplaced(ReplacedFileChoice choice, PendingSave request) {
    if (closed_) {
        if (request.done) {
            request.done(SaveResult::failure(SaveResult::Status::closed, documentClosed.text()));
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
        request.done(error ? SaveResult::failure(SaveResult::Status::failed, *error)
                           : SaveResult::done(SaveResult::Status::tookOtherVersion));
    }
}

void InkDocument::beginWrite(PendingSave request) {
    const std::optional<FileIdentity> expected =
        request.kind == SaveKind::saveAs ? std::nullopt : knownIdentity_;
    const int undoIndex = undoStack_.index();
    const QPointer<InkDocument> self(this);
    const std::shared_ptr<AnnotationStore> store = store_;  // revert may replace it meanwhile
    const QString target = request.target;
    writer_.write(snapshotJob(false), target, expected,
                  [self, store, request = std::move(request), undoIndex](SaveWriter::Result result) mutable {
                      if (self && self->store_ == store) {
                          self->completeSave(std::move(request), undoIndex, std::move(result));
                          return;
                      }
                      if (self) {
                          self->isSaving_ = false;
                          self->emitStatus();
                          self->runQueuedSaves();
                      }
                      if (request.done) {
                          request.done(writeResult(result));
                      }
                  });
}

void InkDocument::completeSave(PendingSave request, int undoIndex, SaveWriter::Result result) {
    isSaving_ = false;
    const std::optional<QString>& error = result.error;
    const std::optional<SaveOutcome>& outcome = result.outcome;
    if (error) {
        lastSaveError_ = error;
        if (!closed_) {
            scheduleAutosave(retryDelay);
        }
    } else {
        lastSaveError_.reset();
        savedPages_ = std::move(result.saved);
        if (request.kind == SaveKind::saveAs) {
            filePath_ = resolvedPath(request.target);
            watchFile();
            checkWritable();
            emit filePathChanged(filePath_);
        }
        if (outcome) {
            lastSaveDuration_ = outcome->duration;
            lastSaveMethod_ = outcome->method;
            if (outcome->method == SaveOutcome::Method::rewrite && !isEncryptedFile_ &&
                !rewriteNoticeShown_) {
                rewriteNoticeShown_ = true;
                showNotice(rewriteNotice.text());
            }
        }
        knownIdentity_ = outcome && outcome->targetIdentity ? outcome->targetIdentity
                                                            : FileIdentity::ofPath(filePath_.toStdString());
        fileReplaced_ = false;
        journal_->noteIdentity(filePath_);
        if (store_ && result.generation == store_->generation()) {
            journal_->discard(filePath_);
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
        request.done(writeResult(result));
    }
    runQueuedSaves();
}

void InkDocument::runQueuedSaves() {
    if (isSaving_ || queuedSaves_.empty()) {
        return;
    }
    PendingSave next = std::move(queuedSaves_.front());
    queuedSaves_.erase(queuedSaves_.begin());
    startSave(std::move(next));
}

void InkDocument::watchFile() {
    if (closed_) {
        return;
    }
    disk_.watch(filePath_);
}

void InkDocument::checkDiskIdentity() {
    if (closed_) {
        return;
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

void InkDocument::prepareToClose(std::function<void(bool mayClose, const QString& failure)> done) {
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
    startSave({SaveKind::closing, filePath_,
               [finish](const SaveResult& result) { finish(result.ok(), result.message); }});
}

void InkDocument::close() {
    if (closed_) {
        return;
    }
    const bool edited = isEdited();
    if (edited) {
        recordJournal();  // the last state, also a draft not yet recorded
    }
    closed_ = true;
    autosave_.cancel();
    disk_.stop();
    // An edited document keeps its journal: its markup comes back next time.
    if (edited) {
        journal_->flush();
    } else {
        journal_->discard(filePath_);
    }
    writer_.removeRewriteSource(loaded_.workingCopy);
    if (loaded_.ownsWorkingCopy) {
        WorkingCopies::remove(loaded_.workingCopy, services_.places);
    }
    if (!openedVersion_.isEmpty() && openedVersion_ != loaded_.workingCopy) {
        WorkingCopies::remove(openedVersion_, services_.places);
    }
    emit closed();
}

SaveJob InkDocument::snapshotJob(bool expandNotes) const {
    // The snapshot takes the store's own lock; the writer's is taken after it.
    const StoreSnapshot snapshot = store_->snapshot();
    SaveJob job;
    writer_.setSource(job);
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
