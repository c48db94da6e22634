// InkDocument: the markup changes a revert drops, and "Add My Edits to This
// Version", which applies them on top of the version another program wrote.
#include <QFileInfo>

#include "app/document/AnnotationStore.h"
#include "app/document/FilePageItemSource.h"
#include "app/document/InkDocument.h"
#include "app/platform/PlatformLog.h"

namespace quillet {

namespace {

constexpr LocalizedString conflictNotice{
    "Your edits were added; where the other program changed the same items, your version was kept",
    "Ваши правки добавлены; там, где другая программа изменила те же пометки, оставлена ваша версия"};
constexpr LocalizedString setAsideNotice{
    "Some of your markup does not fit this version of the file and was set aside; it is offered back when you "
    "next open the file",
    "Часть пометок не подходит к этой версии файла и отложена; её предложат вернуть при следующем открытии файла"};

}  // namespace

PageItems InkDocument::baselineOf(const PageItems& pages, const QString& source, const PageItems* saved) const
{
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

UnsavedChanges InkDocument::unsavedChanges() const
{
    if (!store_) {
        return {};
    }
    const PageItems current = store_->snapshot().pages;
    return UnsavedChanges::between(baselineOf(current, loaded_.workingCopy, &savedPages_), current);
}

UnsavedChanges InkDocument::changesSinceOpened() const
{
    if (!store_ || openedVersion_.isEmpty()) {
        return unsavedChanges();
    }
    const PageItems current = store_->snapshot().pages;
    return UnsavedChanges::between(baselineOf(current, openedVersion_, nullptr), current);
}

void InkDocument::setAsideForQuestion(const UnsavedChanges& dropped)
{
    PageItems kept;
    for (const std::vector<UnsavedChanges::Placed>* placed : {&dropped.added(), &dropped.changed()}) {
        for (const UnsavedChanges::Placed& each : *placed) {
            kept[each.page].push_back(each.item);
        }
    }
    if (kept.empty() || !journal_.setAsideToAsk) {
        return;
    }
    journal_.setAsideToAsk(filePath_, kept);
    logLine("reverted " + QFileInfo(filePath_).fileName().toStdString() + "; " + std::to_string(dropped.count()) +
            " dropped changes are kept aside");
}

std::optional<QString> InkDocument::addEditsToNewVersion()
{
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
    if (!outcome.setAside.empty() && journal_.setAsideToAsk) {
        journal_.setAsideToAsk(filePath_, outcome.setAside);
    }
    logLine("added unsaved markup to the new version of " + QFileInfo(filePath_).fileName().toStdString() + ": " +
            std::to_string(outcome.applied) + " changes, " + std::to_string(outcome.conflicts) + " conflicts, " +
            std::to_string(outcome.setAside.size()) + " pages set aside");
    if (outcome.applied > 0) {
        directChanges_ = true;  // the store's change observer has recorded them and scheduled the save
    } else if (journal_.discard) {
        journal_.discard(filePath_);  // the old version's record must not come back on this one
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
