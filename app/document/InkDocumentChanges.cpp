// InkDocument and the markup its file does not hold: what an earlier session
// left in the journal or set aside, reading the file again (a reload,
// Revert) with the changes that drops, and "Add My Edits to This Version",
// which applies them on top of the version another program wrote.
#include <QFileInfo>
#include <QPointer>

#include "app/document/AnnotationStore.h"
#include "app/document/DocumentLoaderError.h"
#include "app/document/FilePageItemSource.h"
#include "app/document/InPlaceSave.h"
#include "app/document/InkDocument.h"
#include "app/document/SaveEngineError.h"
#include "app/platform/PlatformLog.h"

namespace quillet {

namespace {

constexpr LocalizedString restoredNotice{"Unsaved changes were restored",
                                         "Восстановлены несохранённые изменения"};
constexpr LocalizedString conflictNotice{
    "Your edits were added; where the other program changed the same items, your version was kept",
    "Ваши правки добавлены; там, где другая программа изменила те же пометки, оставлена ваша версия"};
constexpr LocalizedString setAsideNotice{
    "Some of your markup does not fit this version of the file and was set aside; it is offered back when "
    "you "
    "next open the file",
    "Часть пометок не подходит к этой версии файла и отложена; её предложат вернуть при следующем открытии "
    "файла"};

}  // namespace

void InkDocument::checkRecovery() {
    if (recoveryChecked_ || !store_ || loaded_.pdf->isLocked() || closed_) {
        return;
    }
    recoveryChecked_ = true;
    const std::optional<PageItems> pages = journal_->pendingRecovery(filePath_);
    if (pages && !pages->empty()) {
        restore(*pages, true);
        return;
    }
    if (!services_.askRestoreSetAside) {
        return;
    }
    const std::optional<PageItems> kept = journal_->setAsideMarkup(filePath_);
    if (!kept || kept->empty()) {
        return;
    }
    QPointer<InkDocument> self(this);
    services_.askRestoreSetAside(*this, [self, kept](bool restore) {
        if (!self || self->closed_ || !self->store_) {
            return;
        }
        if (restore) {
            self->journal_->takeSetAside(self->filePath_);  // before the restore records the journal
        }
        // Declined, or none of its pages is in this version: it goes.
        if (!restore || !self->restore(*kept, false)) {
            self->journal_->dropSetAside(self->filePath_);
        }
    });
}

bool InkDocument::restore(const PageItems& pages, bool wholePages) {
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

std::optional<QString> InkDocument::reload(DroppedMarkup dropped) {
    emit cancelInteractionRequested();
    LoadedPDF fresh;
    try {
        fresh = LoadedPDF::open(filePath_, services_.places);
    } catch (const DocumentLoaderError& error) {
        return error.userText(InterfaceLanguage::current());
    }
    if (password_ && fresh.pdf->isLocked()) {
        fresh.pdf->unlock(*password_);
    }
    // Before install() notes the new version: the set-aside markup keeps the
    // versions it was made on, the reloaded file starts a journal of its own.
    if (dropped == DroppedMarkup::setAside && store_) {
        const StoreSnapshot unsaved = store_->snapshot();
        if (!unsaved.pages.empty()) {
            journal_->setAside(filePath_, unsaved.pages);
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
    if (dropped == DroppedMarkup::discard) {
        journal_->discard(filePath_);
    }
    autosave_.cancel();
    directChanges_ = false;
    fileReplaced_ = false;
    lastSaveError_.reset();
    watchFile();
    emit reloaded();
    emitStatus();
    return std::nullopt;
}

std::optional<QString> InkDocument::revertToSaved() {
    setAsideForQuestion(unsavedChanges());
    return reload(DroppedMarkup::discard);
}

bool InkDocument::canRevertToOpened() const {
    return !openedVersion_.isEmpty() && QFileInfo::exists(openedVersion_);
}

std::optional<QString> InkDocument::revertToOpened() {
    if (!canRevertToOpened()) {
        return SaveEngineError::writeFailed().userText(InterfaceLanguage::current());
    }
    const UnsavedChanges dropped = changesSinceOpened();
    try {
        InPlaceSave::replaceWith(openedVersion_, filePath_, knownIdentity_);
    } catch (const SaveEngineError& error) {
        return error.userText(InterfaceLanguage::current());
    }
    setAsideForQuestion(dropped);
    return reload(DroppedMarkup::discard);
}

PageItems InkDocument::baselineOf(const PageItems& pages, const QString& source,
                                  const PageItems* saved) const {
    PageItems baseline;
    std::optional<std::string> password;
    if (password_) {
        password = password_->toStdString();
    }
    FilePageItemSource file(source.toStdString(), password);
    for (const auto& [page, items] : pages) {
        if (saved) {
            if (const auto last = saved->find(page); last != saved->end()) {
                baseline[page] = last->second;
                continue;
            }
        }
        // A page the file holds nothing of ours on, or cannot give: nothing to compare with.
        std::vector<AnnotationItem>& list = baseline[page];
        for (StoredAnnotation& stored : file.readPage(page).value_or(std::vector<StoredAnnotation>{})) {
            list.push_back(std::move(stored.item));
        }
    }
    return baseline;
}

UnsavedChanges InkDocument::unsavedChanges() const {
    if (!store_) {
        return {};
    }
    const PageItems current = store_->snapshot().pages;
    return UnsavedChanges::between(baselineOf(current, loaded_.workingCopy, &savedPages_), current);
}

UnsavedChanges InkDocument::changesSinceOpened() const {
    if (!store_ || openedVersion_.isEmpty()) {
        return unsavedChanges();
    }
    const PageItems current = store_->snapshot().pages;
    return UnsavedChanges::between(baselineOf(current, openedVersion_, nullptr), current);
}

void InkDocument::setAsideForQuestion(const UnsavedChanges& dropped) {
    PageItems kept;
    for (const std::vector<UnsavedChanges::Placed>* placed : {&dropped.added(), &dropped.changed()}) {
        for (const UnsavedChanges::Placed& each : *placed) {
            kept[each.page].push_back(each.item);
        }
    }
    if (kept.empty()) {
        return;
    }
    journal_->setAsideToAsk(filePath_, kept);
    logLine("reverted " + QFileInfo(filePath_).fileName().toStdString() + "; " +
            std::to_string(dropped.count()) + " dropped changes are kept aside");
}

std::optional<QString> InkDocument::addEditsToNewVersion() {
    const PageItems current = store_->snapshot().pages;
    const PageItems baseline = baselineOf(current, loaded_.workingCopy, &savedPages_);
    const UnsavedChanges changes = UnsavedChanges::between(baseline, current);
    // Not a PDF any more: nothing is dropped, the edits stay in this document
    // (and its journal) until the user saves them somewhere.
    if (const std::optional<QString> error = reload(DroppedMarkup::keep)) {
        fileReplaced_ = true;
        emitStatus();
        return error;
    }
    UnsavedChanges::Outcome outcome;
    if (store_->isReadOnly() || loaded_.pdf->isLocked()) {
        // Another password, or pages that cannot be read: the markup waits aside.
        outcome.setAside = current;
    } else {
        outcome = changes.applyTo(*store_, baseline);
    }
    if (!outcome.setAside.empty()) {
        journal_->setAsideToAsk(filePath_, outcome.setAside);
    }
    logLine("added unsaved markup to the new version of " + QFileInfo(filePath_).fileName().toStdString() +
            ": " + std::to_string(outcome.applied) + " changes, " + std::to_string(outcome.conflicts) +
            " conflicts, " + std::to_string(outcome.setAside.size()) + " pages set aside");
    if (outcome.applied > 0) {
        directChanges_ = true;  // the store's change observer has recorded them and scheduled the save
    } else {
        journal_->discard(filePath_);  // the old version's record must not come back on this one
    }
    emitStatus();
    if (!outcome.setAside.empty()) {
        showNotice(setAsideNotice.text());
    } else if (outcome.conflicts > 0) {
        showNotice(conflictNotice.text());
    }
    return std::nullopt;
}

}  // namespace quillet
