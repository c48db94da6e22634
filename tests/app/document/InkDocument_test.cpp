#include "app/document/InkDocument.h"

#include <QDir>
#include <QFileInfo>

#include "InkDocumentSupport.h"
#include "JournalTestSupport.h"

namespace quillet {
namespace {

using namespace std::chrono_literals;
using testing::DocumentTest;
using testing::inkItem;
using testing::qpath;

size_t itemCount(const PageItems& pages) {
    size_t count = 0;
    for (const auto& [page, items] : pages) {
        count += items.size();
    }
    return count;
}

TEST_F(DocumentTest, ABurstOfEditsGivesOneAutosaveAfterTheAdaptiveDelay) {
    auto document = open();
    for (int n = 1; n <= 10; ++n) {
        draw(*document, n);
        clock.advance(90ms);
    }
    EXPECT_TRUE(document->isEdited());
    // The last edit came 90 ms ago; before any save the delay is 1.5 s.
    clock.advance(1409ms);
    EXPECT_TRUE(writes.empty());
    clock.advance(1ms);
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_TRUE(document->isSaving());
    finishWrites();
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_EQ(jobs[0].pages.at(0).size(), 10u);
    EXPECT_EQ(jobs[0].source, document->loaded().workingCopy.toStdString())
        << "every save reads the pristine copy";
    EXPECT_EQ(jobs[0].documentPath, document->filePath().toStdString());
    EXPECT_FALSE(document->isEdited());
    EXPECT_FALSE(document->isSaving());
    EXPECT_TRUE(journal.recorded.empty()) << "a save of the current state drops the journal";
    clock.advance(60s);
    EXPECT_EQ(jobs.size(), 1u) << "nothing more to save";
}

TEST_F(DocumentTest, TheAutosaveDelayIsFourTimesTheLastSaveBetweenOneAndAHalfAndThirtySeconds) {
    auto document = open();
    const std::pair<double, std::chrono::milliseconds> table[] = {
        {0, 1500ms}, {0.2, 1500ms}, {2, 8000ms}, {10, 30000ms}, {100, 30000ms}};
    int n = 0;
    for (const auto& [duration, delay] : table) {
        saveDuration = duration;
        draw(*document, ++n);
        clock.advance(30s);
        finishWrites();
        EXPECT_EQ(document->autosaveDelay(), delay) << "after a save of " << duration << " s";
    }
    // And the next edit waits exactly that long.
    draw(*document, ++n);
    clock.advance(29999ms);
    EXPECT_TRUE(writes.empty());
    clock.advance(1ms);
    EXPECT_EQ(writes.size(), 1u);
}

TEST_F(DocumentTest, AnEditDuringASaveIsJournaledAndSavedAgainAndKeepsTheDocumentEdited) {
    auto document = open();
    draw(*document, 1);
    clock.advance(1500ms);
    ASSERT_EQ(writes.size(), 1u);
    draw(*document, 2);  // while the first save runs
    const int recordsBefore = journal.records;
    finishWrites();
    EXPECT_TRUE(document->isEdited());
    EXPECT_GT(journal.records, recordsBefore) << "the journal is written again after the save";
    EXPECT_EQ(itemCount(journal.recorded.at(document->filePath())), 2u);

    clock.advance(1500ms);
    finishWrites();
    ASSERT_EQ(jobs.size(), 2u);
    EXPECT_EQ(jobs[0].pages.at(0).size(), 1u);
    EXPECT_EQ(jobs[1].pages.at(0).size(), 2u);
    EXPECT_FALSE(document->isEdited());
    EXPECT_TRUE(journal.recorded.empty());
}

TEST_F(DocumentTest, AStepRecordedAfterItsChangeIsAutosaved) {
    // As an eraser gesture longer than the autosave delay: the store changes
    // first, the undo step that makes the document edited comes at the release.
    class AlreadyApplied : public QUndoCommand {
      public:
        void redo() override {}
    };
    auto document = open();
    document->undoStack()->push(new AlreadyApplied);
    ASSERT_TRUE(document->isEdited());
    clock.advance(1500ms);
    finishWrites();
    EXPECT_EQ(jobs.size(), 1u);
    EXPECT_FALSE(document->isEdited());
}

TEST_F(DocumentTest, AFailedSaveIsShownAndRetriedAfterTwentySeconds) {
    auto document = open();
    failSaves = true;
    draw(*document, 1);
    clock.advance(1500ms);
    finishWrites();
    ASSERT_TRUE(document->lastSaveError());
    EXPECT_EQ(*document->lastSaveError(), "The file could not be written.");
    EXPECT_TRUE(document->isEdited());
    EXPECT_FALSE(journal.recorded.empty()) << "the journal keeps the unsaved pages";

    failSaves = false;
    clock.advance(19999ms);
    EXPECT_TRUE(writes.empty());
    clock.advance(1ms);
    finishWrites();
    EXPECT_EQ(jobs.size(), 2u);
    EXPECT_FALSE(document->lastSaveError());
    EXPECT_FALSE(document->isEdited());
}

TEST_F(DocumentTest, NoticesLastSixSecondsUnlessANewerOneReplacesThem) {
    auto document = open();
    document->showNotice("first");
    clock.advance(4s);
    document->showNotice("second");
    clock.advance(2s);
    EXPECT_EQ(document->notice(), "second") << "the first notice's timer leaves the newer one alone";
    clock.advance(4s);
    EXPECT_FALSE(document->notice());
}

TEST_F(DocumentTest, ADocumentKilledWithUnsavedItemsComesBackWithEachItemOnce) {
    realSaves = true;
    writeAtOnce = true;
    diskJournals = true;
    {
        auto document = open();
        draw(*document, 1);
        clock.advance(1500ms);  // item 1 is saved in the file
        ASSERT_FALSE(document->lastSaveError()) << document->lastSaveError()->toStdString();
        ASSERT_FALSE(document->isEdited());
        draw(*document, 2);  // item 2 only in the journal
        const int writes = lastDiskJournal->writeCount();
        ASSERT_TRUE(testing::pumpUntil([&] { return lastDiskJournal->writeCount() > writes; }));
        ASSERT_TRUE(lastDiskJournal->waitForQueue(10s));
        // The process dies here; the journal on disk is all that is left.
    }
    auto reopened = open();
    EXPECT_EQ(reopened->store()->itemsOnPage(0).size(), 1u) << "the file holds the saved item";
    reopened->checkRecovery();
    const std::vector<AnnotationItem>& items = reopened->store()->itemsOnPage(0);
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].id, inkItem(1, {}).id);
    EXPECT_EQ(items[1].id, inkItem(2, {}).id);
    EXPECT_TRUE(reopened->isEdited());
    EXPECT_EQ(reopened->notice(), "Unsaved changes were restored");

    reopened->store()->replacePages({{0, {}}});  // whatever happens next,
    reopened->checkRecovery();                   // a second showing restores nothing
    EXPECT_TRUE(reopened->store()->itemsOnPage(0).empty());

    // Saved, the journal goes: the next opening has nothing to restore.
    clock.advance(1500ms);
    ASSERT_TRUE(lastDiskJournal->waitForQueue(10s));
    reopened.reset();
    auto third = open();
    third->checkRecovery();
    EXPECT_TRUE(third->store()->itemsOnPage(0).empty());
    EXPECT_FALSE(third->isEdited());
}

TEST_F(DocumentTest, AnEncryptedDocumentKilledWithATypedSecretLeavesItUnreadableAndGetsItBackAfterUnlocking) {
    const std::string secret = "meet at the north gate, 06:40";
    testing::encryptedCopy(file, dir.file("encrypted.pdf"), "user-pw");
    std::filesystem::rename(dir.file("encrypted.pdf"), file);
    diskJournals = true;
    const AnnotationItem typed = testing::textItem(7, {100, 100}, secret);
    {
        auto document = open();
        ASSERT_TRUE(document->pdf()->isLocked());
        ASSERT_TRUE(document->unlock(QStringLiteral("user-pw")));
        document->undoStack()->push(new testing::InsertItem(*document->store(), typed, 1));
        ASSERT_TRUE(testing::pumpUntil([&] { return lastDiskJournal->writeCount() > 0; }));
        ASSERT_TRUE(lastDiskJournal->waitForQueue(10s));
        // The process dies here: whatever is on disk now is all an intruder finds.
        EXPECT_EQ(testing::filesRevealing(dir.file(""), secret), std::vector<std::string>{});
    }
    auto reopened = open();
    reopened->checkRecovery();  // still locked: nothing is opened, nothing is lost
    EXPECT_TRUE(QFileInfo::exists(lastDiskJournal->journalPath(reopened->filePath())));
    ASSERT_TRUE(reopened->unlock(QStringLiteral("user-pw")));
    reopened->checkRecovery();
    EXPECT_EQ(reopened->store()->itemsOnPage(1), std::vector<AnnotationItem>{typed});
    EXPECT_TRUE(reopened->isEdited());
}

TEST_F(DocumentTest, ClosingAnEditedDocumentWhoseSaveFailsKeepsItsJournalAndAsks) {
    auto document = open();
    draw(*document, 1);
    failSaves = true;
    std::optional<std::pair<bool, QString>> answer;
    document->prepareToClose([&](bool mayClose, const QString& failure) { answer = {mayClose, failure}; });
    EXPECT_TRUE(document->isClosing());
    EXPECT_EQ(document->notice(), "Saving changes before closing…");
    finishWrites();
    ASSERT_TRUE(answer);
    EXPECT_FALSE(answer->first);
    EXPECT_EQ(answer->second, "The file could not be written.");

    // "Close Anyway"
    const QString path = document->filePath();
    document->close();
    EXPECT_FALSE(journal.recorded.at(path).empty());
    EXPECT_TRUE(journal.discarded.empty());
}

TEST_F(DocumentTest, ClosingWaitsForTheSaveAndThenClosesCleanly) {
    auto document = open();
    const QString copy = document->loaded().workingCopy;
    ASSERT_TRUE(document->loaded().ownsWorkingCopy);
    std::optional<bool> mayClose;
    document->prepareToClose([&](bool ok, const QString&) { mayClose = ok; });
    EXPECT_EQ(mayClose, true) << "nothing to save";

    mayClose.reset();
    draw(*document, 1);
    document->prepareToClose([&](bool ok, const QString&) { mayClose = ok; });
    EXPECT_FALSE(mayClose);
    finishWrites();
    EXPECT_EQ(mayClose, true);
    document->close();
    EXPECT_FALSE(QFileInfo::exists(copy)) << "the working copy goes with the document";
    EXPECT_TRUE(QDir(QFileInfo(copy).absolutePath()).isEmpty());
    EXPECT_EQ(QDir(qpath(dir.path())).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              (QStringList{"report.pdf", "tmp"}));
}

TEST_F(DocumentTest, ACloseThatWaitsTooLongAsks) {
    auto document = open();
    draw(*document, 1);
    std::optional<QString> failure;
    document->prepareToClose([&](bool, const QString& text) { failure = text; });
    clock.advance(InkDocument::closeSaveLimit);
    EXPECT_EQ(failure, "The save did not finish in time.");
}

TEST_F(DocumentTest, RevertDropsUnsavedMarkupTheJournalAndTheUndoSteps) {
    auto document = open();
    draw(*document, 1);
    ASSERT_EQ(document->store()->itemsOnPage(0).size(), 1u);
    EXPECT_FALSE(document->revertToSaved());
    EXPECT_EQ(reloads, 1);
    EXPECT_TRUE(document->store()->itemsOnPage(0).empty());
    EXPECT_EQ(document->undoStack()->count(), 0);
    EXPECT_FALSE(document->isEdited());
    EXPECT_EQ(journal.discarded, std::vector<QString>{document->filePath()});
    clock.advance(60s);
    EXPECT_TRUE(writes.empty()) << "the pending autosave went with the markup";
}

TEST_F(DocumentTest, RevertToTheVersionAsOpenedPutsTheOriginalBack) {
    realSaves = true;
    writeAtOnce = true;
    const std::string original = testing::readFile(file);
    auto document = open();
    draw(*document, 1);
    clock.advance(1500ms);
    ASSERT_NE(testing::readFile(file), original);
    ASSERT_TRUE(document->canRevertToOpened());
    EXPECT_FALSE(document->revertToOpened());
    EXPECT_EQ(testing::readFile(file), original);
    EXPECT_TRUE(document->store()->itemsOnPage(0).empty());
}

// Another program writes a new version of the file: a rename over it.
void replaceFile(const std::filesystem::path& file, int pages) {
    testing::writeFile(file.string() + ".new", testing::simpleDocument(pages));
    std::filesystem::rename(file.string() + ".new", file);
}

TEST_F(DocumentTest, AFileReplacedByAnotherProgramReloadsWhenUnedited) {
    auto document = open();
    replaceFile(file, 5);
    ASSERT_TRUE(testing::pumpUntil([&] {
        clock.advance(InkDocument::diskChangeSettle);
        return reloads > 0;
    }));
    EXPECT_EQ(document->pageCount(), 5);
    EXPECT_FALSE(document->isEdited());
}

TEST_F(DocumentTest, AFileReplacedUnderEditsIsNeverSavedOverSilently) {
    auto document = open();
    saveDuration = 10;  // the autosave comes 30 s after an edit, so the watch is seen first
    draw(*document, 1);
    clock.advance(1500ms);
    finishWrites();
    jobs.clear();
    draw(*document, 2);
    replaceFile(file, 5);
    ASSERT_TRUE(testing::pumpUntil([&] {
        clock.advance(InkDocument::diskChangeSettle);
        return document->fileReplacedOnDisk();
    }));
    EXPECT_EQ(reloads, 0) << "edits are not thrown away";

    // The autosave asks; "reload" takes the other program's version.
    replacedFileChoice = ReplacedFileChoice::reload;
    clock.advance(30s);
    EXPECT_EQ(replacedQuestions, 1);
    EXPECT_TRUE(jobs.empty());
    EXPECT_EQ(reloads, 1);
    EXPECT_EQ(document->pageCount(), 5);
    EXPECT_FALSE(document->isEdited());

    // Replaced again under new edits; "keep these edits" saves over it.
    draw(*document, 3);
    replaceFile(file, 4);
    replacedFileChoice = ReplacedFileChoice::keepMine;
    document->save();
    EXPECT_EQ(replacedQuestions, 2);
    ASSERT_EQ(writes.size(), 1u);
    finishWrites();
    EXPECT_FALSE(document->fileReplacedOnDisk());
}

TEST_F(DocumentTest, ReloadFromDiskKeepsTheDroppedMarkupForTheVersionItWasMadeOn) {
    diskJournals = true;
    const std::string original = testing::readFile(file);
    const auto originalTime = std::filesystem::last_write_time(file);
    auto document = open();
    draw(*document, 1);  // unsaved: it never reaches the file
    replaceFile(file, 5);
    replacedFileChoice = ReplacedFileChoice::reload;
    document->save();
    ASSERT_EQ(reloads, 1);
    draw(*document, 2, 4);  // the reloaded version's own markup
    const auto recorded = [&](int writes) {
        return testing::pumpUntil([&] { return lastDiskJournal->writeCount() >= writes; }) &&
               lastDiskJournal->waitForQueue(10s);
    };
    ASSERT_TRUE(recorded(2));
    document->close();
    document.reset();

    // The other program's version gets back its own markup only.
    const PageItems ownMarkup{{4, {inkItem(2, {{100, 100}, {150, 120}})}}};
    EXPECT_EQ(RecoveryJournal(qpath(dir.file("journal"))).pendingRecovery(qpath(file)), ownMarkup);

    // The replaced version comes back, and with it the markup dropped by the reload;
    // once the journal holds it, the set-aside copy goes.
    testing::writeFile(file, original);
    std::filesystem::last_write_time(file, originalTime);
    auto restored = open();
    restored->checkRecovery();
    ASSERT_EQ(restored->store()->itemsOnPage(0).size(), 1u);
    EXPECT_EQ(restored->store()->itemsOnPage(0)[0].id, inkItem(1, {}).id);
    EXPECT_EQ(restored->notice(), "Unsaved changes were restored");
    EXPECT_EQ(setAsideQuestions, 0) << "its own version takes it back without asking";
    const QString setAside = lastDiskJournal->setAsidePath(restored->filePath());
    ASSERT_TRUE(QFileInfo::exists(setAside));
    ASSERT_TRUE(recorded(1));
    EXPECT_FALSE(QFileInfo::exists(setAside));
}

TEST_F(DocumentTest, MarkupSetAsideIsOfferedToTheOtherVersionAndAddedToItsPages) {
    diskJournals = true;
    realSaves = true;
    writeAtOnce = true;
    auto document = open();
    draw(*document, 1);
    replaceFile(file, 5);
    document->save();  // "Reload from Disk"
    draw(*document, 3);
    clock.advance(1500ms);  // the other version, with an item of its own, saved
    ASSERT_FALSE(document->isEdited());
    document->close();
    document.reset();
    ASSERT_TRUE(lastDiskJournal->waitForQueue(10s));

    // "Not Now": the markup stays aside whatever this opening records or drops.
    restoreSetAside.reset();
    auto notNow = open();
    notNow->checkRecovery();
    EXPECT_EQ(setAsideQuestions, 1);
    draw(*notNow, 4);
    ASSERT_TRUE(testing::pumpUntil([&] { return lastDiskJournal->writeCount() > 0; }));
    EXPECT_FALSE(notNow->revertToSaved());
    notNow->close();
    notNow.reset();
    ASSERT_TRUE(lastDiskJournal->waitForQueue(10s));

    restoreSetAside = true;
    auto reopened = open();
    reopened->checkRecovery();
    EXPECT_EQ(setAsideQuestions, 2);
    // Item 4, which the revert dropped, joined the record instead of replacing it.
    const std::vector<AnnotationItem>& items = reopened->store()->itemsOnPage(0);
    ASSERT_EQ(items.size(), 3u) << "added, nothing of this version replaced";
    EXPECT_EQ(items[0].id, inkItem(3, {}).id);
    EXPECT_EQ(items[1].id, inkItem(4, {}).id);
    EXPECT_EQ(items[2].id, inkItem(1, {}).id);
    EXPECT_TRUE(reopened->isEdited());
    const QString setAside = lastDiskJournal->setAsidePath(reopened->filePath());
    ASSERT_TRUE(testing::pumpUntil([&] { return lastDiskJournal->writeCount() > 0; }));
    ASSERT_TRUE(lastDiskJournal->waitForQueue(10s));
    EXPECT_FALSE(QFileInfo::exists(setAside)) << "the journal holds it now";
}

TEST_F(DocumentTest, SaveAsGoesOnWithTheNewFileAndMovesTheJournal) {
    realSaves = true;
    writeAtOnce = true;
    auto document = open();
    draw(*document, 1);
    std::optional<InkDocument::SaveResult> result;
    const QString copy = qpath(dir.file("copy.pdf"));
    document->saveAs(copy, [&](const InkDocument::SaveResult& error) { result = error; });
    ASSERT_TRUE(result);
    EXPECT_FALSE(*result);
    EXPECT_EQ(document->filePath(), QFileInfo(copy).canonicalFilePath());
    EXPECT_FALSE(document->isEdited());
    draw(*document, 2);
    EXPECT_TRUE(journal.recorded.contains(document->filePath()));

    auto reopened = InkDocument::open(copy, services());
    EXPECT_EQ(reopened->store()->itemsOnPage(0).size(), 1u);
}

}  // namespace
}  // namespace quillet
