// A document's life: autosaves, the journal that survives a crash, closing,
// reverts, its file replaced or read-only under unsaved markup, markup set
// aside for another version, and the controller of every open document.
#include "app/document/InkDocument.h"

#include <sys/stat.h>

#include <QDir>
#include <QFileInfo>

#include "InkDocumentSupport.h"
#include "JournalTestSupport.h"
#include "app/document/DocumentController.h"
#include "cli/MarkupFixtures.h"

namespace quillet {
namespace {

using namespace std::chrono_literals;
using testing::DocumentTest;
using testing::inkItem;
using testing::itemId;
using testing::qpath;

TEST_F(DocumentTest, ABurstOfEditsGivesOneAutosaveAfterTheDelayAndAnEditDuringItASecond) {
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

    // An edit while a save runs is journaled, keeps the document edited and is saved next.
    draw(*document, 11);
    clock.advance(1500ms);
    ASSERT_EQ(writes.size(), 1u);
    draw(*document, 12);
    const int recordsBefore = journal.records;
    finishWrites();
    EXPECT_TRUE(document->isEdited());
    EXPECT_GT(journal.records, recordsBefore) << "the journal is written again after the save";
    EXPECT_EQ(journal.recorded.at(document->filePath()).at(0).size(), 12u);
    clock.advance(1500ms);
    finishWrites();
    ASSERT_EQ(jobs.size(), 3u);
    EXPECT_EQ(jobs[1].pages.at(0).size(), 11u);
    EXPECT_EQ(jobs[2].pages.at(0).size(), 12u);
    EXPECT_FALSE(document->isEdited());
    EXPECT_TRUE(journal.recorded.empty());

    // A step recorded after its change, as an eraser gesture longer than the
    // delay makes at the release, is autosaved too.
    class AlreadyApplied : public QUndoCommand {
      public:
        void redo() override {}
    };
    document->undoStack()->push(new AlreadyApplied);
    ASSERT_TRUE(document->isEdited());
    clock.advance(1500ms);
    finishWrites();
    EXPECT_EQ(jobs.size(), 4u);
    EXPECT_FALSE(document->isEdited());
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

// A close that waits for a save that fails or takes too long asks; "Close
// Anyway" then keeps the journal.
TEST_F(DocumentTest, ClosingAnEditedDocumentWhoseSaveFailsOrTakesTooLongKeepsItsJournalAndAsks) {
    for (const bool tooLong : {false, true}) {
        SCOPED_TRACE(tooLong ? "too long" : "failed");
        journal.recorded.clear();
        auto document = open();
        draw(*document, 1);
        failSaves = !tooLong;
        std::optional<std::pair<bool, QString>> answer;
        document->prepareToClose([&](bool mayClose, const QString& failure) {
            answer = {mayClose, failure};
        });
        EXPECT_TRUE(document->isClosing());
        EXPECT_EQ(document->notice(), "Saving changes before closing…");
        tooLong ? clock.advance(InkDocument::closeSaveLimit) : finishWrites();
        ASSERT_TRUE(answer);
        EXPECT_FALSE(answer->first);
        EXPECT_EQ(answer->second,
                  tooLong ? "The save did not finish in time." : "The file could not be written.");

        const QString path = document->filePath();
        document->close();
        EXPECT_FALSE(journal.recorded.at(path).empty());
        EXPECT_TRUE(journal.discarded.empty());
        writes.clear();  // the save that never finished
    }
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

// Another program writes a new version of the file: a rename over it.
void replaceFile(const std::filesystem::path& file, int pages) {
    testing::writeFile(file.string() + ".new", testing::simpleDocument(pages));
    std::filesystem::rename(file.string() + ".new", file);
}

TEST_F(DocumentTest, AFileReplacedByAnotherProgramReloadsUneditedAndIsNeverSavedOverSilently) {
    auto document = open();
    replaceFile(file, 6);
    ASSERT_TRUE(testing::pumpUntil([&] {
        clock.advance(InkDocument::diskChangeSettle);
        return reloads > 0;
    }));
    EXPECT_EQ(document->pageCount(), 6);
    EXPECT_FALSE(document->isEdited());

    reloads = 0;
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

// Another program writes the file in place, as `quillet` does.
void runQuilletOn(const std::filesystem::path& file, std::vector<std::string> args) {
    args.insert(args.begin() + 1, {file.string(), file.string()});
    const testing::CommandResult r = testing::runQuillet(args);
    ASSERT_EQ(r.status, 0) << r.err;
}

std::vector<std::string> idsInFile(const std::filesystem::path& file) {
    std::vector<std::string> ids;
    const nlohmann::json list = testing::listing(file);
    for (const auto& [page, items] : list["pages"].items()) {
        for (const auto& item : items) {
            ids.push_back(item["id"].get<std::string>());
        }
    }
    std::sort(ids.begin(), ids.end());
    return ids;
}

class ChangesTest : public DocumentTest {
  protected:
    void SetUp() override {
        DocumentTest::SetUp();
        realSaves = true;
        writeAtOnce = true;
    }

    // Saves item 1 into the file, then leaves item 2 unsaved.
    std::unique_ptr<InkDocument> openWithSavedAndUnsavedItems() {
        auto document = open();
        draw(*document, 1);
        clock.advance(InkDocument::minimumAutosaveDelay);
        EXPECT_FALSE(document->isEdited());
        draw(*document, 2);
        return document;
    }
};

TEST_F(ChangesTest, AReadOnlyFileIsNeverTriedAndSaveAsTakesTheMarkupOn) {
    readOnlyFile = file;
    auto document = open();
    EXPECT_TRUE(document->isReadOnlyFile());
    EXPECT_EQ(document->notice(),
              "This file is read-only: your markup is kept until you save a copy with Save As…");
    draw(*document, 1);
    clock.advance(InkDocument::maximumAutosaveDelay * 2);
    EXPECT_TRUE(jobs.empty()) << "no autosave against a file it cannot replace";
    std::optional<SaveResult> saved;
    document->save([&](const SaveResult& result) { saved = result; });
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->status, SaveResult::Status::readOnly);
    EXPECT_EQ(saved->message, document->notice());
    EXPECT_TRUE(journal.recorded.contains(document->filePath())) << "the markup waits in the journal";

    const QString copy = qpath(dir.file("copy.pdf"));
    document->saveAs(copy, [&](const SaveResult& result) { saved = result; });
    EXPECT_EQ(saved, SaveResult::done());
    EXPECT_FALSE(document->isReadOnlyFile());
    EXPECT_EQ(document->notice(), std::nullopt);
    EXPECT_EQ(document->filePath(), QFileInfo(copy).canonicalFilePath());
    EXPECT_FALSE(document->isEdited());
    draw(*document, 2);
    EXPECT_TRUE(journal.recorded.contains(document->filePath())) << "the journal moved with it";
    clock.advance(InkDocument::minimumAutosaveDelay);
    EXPECT_EQ(idsInFile(dir.file("copy.pdf")),
              (std::vector<std::string>{itemId(1).text(), itemId(2).text()}));
}

TEST_F(ChangesTest, SaveAsOntoAFileOpenInAnotherWindowIsRefused) {
    openElsewhere = dir.file("other.pdf");
    testing::writeFile(dir.file("other.pdf"), testing::simpleDocument(1));
    const std::string before = testing::readFile(dir.file("other.pdf"));
    auto document = open();
    draw(*document, 1);
    std::optional<SaveResult> saved;
    document->saveAs(qpath(dir.file("other.pdf")), [&](const SaveResult& result) { saved = result; });
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->status, SaveResult::Status::openElsewhere);
    EXPECT_EQ(saved->message, "“other.pdf” is open in another window: close it there to save over it");
    EXPECT_EQ(testing::readFile(dir.file("other.pdf")), before);
    EXPECT_EQ(document->filePath(), QFileInfo(qpath(file)).canonicalFilePath());
}

// Both reverts: the markup they drop comes back only when the user says so,
// also on the very version it was made on.
TEST_F(ChangesTest, ARevertSetsTheDroppedMarkupAsideForAQuestion) {
    diskJournals = true;
    for (const bool toOpened : {false, true}) {
        SCOPED_TRACE(toOpened ? "to the version as opened" : "to saved");
        testing::writeFile(file, testing::simpleDocument(3));
        auto document = openWithSavedAndUnsavedItems();
        ASSERT_EQ(document->unsavedChanges().count(), 1);
        ASSERT_EQ(document->changesSinceOpened().count(), 2);
        EXPECT_FALSE(toOpened ? document->revertToOpened() : document->revertToSaved());
        EXPECT_EQ(document->store()->itemsOnPage(0).size(), toOpened ? 0u : 1u);
        document->close();
        document.reset();
        ASSERT_TRUE(lastDiskJournal->waitForQueue(10s));

        restoreSetAside.reset();  // "Not Now"
        setAsideQuestions = 0;
        auto reopened = open();
        reopened->checkRecovery();
        EXPECT_EQ(setAsideQuestions, 1);
        EXPECT_EQ(reopened->store()->itemsOnPage(0).size(), toOpened ? 0u : 1u)
            << "nothing came back by itself";
        reopened->close();
        reopened.reset();

        restoreSetAside = true;
        auto restored = open();
        restored->checkRecovery();
        EXPECT_EQ(restored->store()->itemsOnPage(0).size(), 2u);
        restored->close();
        restored.reset();
        ASSERT_TRUE(lastDiskJournal->waitForQueue(10s));
    }
}

TEST_F(ChangesTest, AddMyEditsKeepsTheOtherProgramsAnnotationsAndOurs) {
    auto document = openWithSavedAndUnsavedItems();
    runQuilletOn(file, {"add", "--page", "1", "--text", "theirs", "--at", "72,700"});
    const std::vector<std::string> theirs = idsInFile(file);
    ASSERT_EQ(theirs.size(), 2u);
    replacedFileChoice = ReplacedFileChoice::addMine;
    document->save();
    EXPECT_EQ(replacedQuestions, 1);
    EXPECT_EQ(reloads, 1);
    EXPECT_EQ(document->store()->itemsOnPage(0).size(), 3u);
    EXPECT_EQ(document->notice(), std::nullopt) << "nothing to tell: no item was changed by both";
    clock.advance(InkDocument::minimumAutosaveDelay);
    EXPECT_FALSE(document->isEdited());
    std::vector<std::string> expected = theirs;
    expected.push_back(itemId(2).text());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(idsInFile(file), expected);
}

TEST_F(ChangesTest, WhereBothChangedAnItemOursWinsAndTheUserIsTold) {
    auto document = openWithSavedAndUnsavedItems();
    // Ours: item 1 redrawn; theirs: item 1 removed.
    document->store()->apply(StoreChange::replace({inkItem(1, {{300, 300}, {320, 340}})}));
    runQuilletOn(file, {"remove", "--id", itemId(1).text()});
    replacedFileChoice = ReplacedFileChoice::addMine;
    document->save();
    EXPECT_EQ(document->notice(),
              "Your edits were added; where the other program changed the same items, your version was kept");
    clock.advance(InkDocument::minimumAutosaveDelay);
    EXPECT_EQ(idsInFile(file), (std::vector<std::string>{itemId(1).text(), itemId(2).text()}));
}

TEST_F(ChangesTest, EditsOnPagesTheNewVersionLacksAreSetAsideAndTheUserIsTold) {
    diskJournals = true;
    auto document = open();
    draw(*document, 1, 2);  // page 3 of 3, unsaved
    replaceFile(file, 2);
    replacedFileChoice = ReplacedFileChoice::addMine;
    document->save();
    EXPECT_EQ(document->pageCount(), 2);
    EXPECT_EQ(
        document->notice(),
        "Some of your markup does not fit this version of the file and was set aside; it is offered back "
        "when you next open the file");
    document->close();
    document.reset();
    ASSERT_TRUE(lastDiskJournal->waitForQueue(10s));
    const std::optional<PageItems> aside =
        RecoveryJournal(qpath(dir.file("journal"))).setAsideMarkup(qpath(file));
    ASSERT_TRUE(aside);
    EXPECT_EQ(*aside, (PageItems{{2, {inkItem(1, {{100, 100}, {150, 120}})}}}));
}

class ControllerTest : public testing::DocumentTest {
  protected:
    void SetUp() override {
        DocumentTest::SetUp();
        testing::writeFile(dir.file("other.pdf"), testing::simpleDocument(2));
        std::filesystem::create_symlink(file, dir.file("link.pdf"));
        store = testing::settingsIn(dir.file("store.ini"));
        controller = std::make_unique<DocumentController>(*store, [this] { return services(); });
    }

    std::unique_ptr<QSettings> store;
    std::unique_ptr<DocumentController> controller;
};

TEST_F(ControllerTest, OneDocumentPerFileAndRecentFilesMostRecentFirst) {
    InkDocument* report = controller->open(qpath(file));
    EXPECT_EQ(controller->open(qpath(dir.file("link.pdf"))), report) << "another name of the same file";
    InkDocument* other = controller->open(qpath(dir.file("other.pdf")));
    EXPECT_NE(other, report);
    EXPECT_EQ(controller->documents().size(), 2u);
    EXPECT_EQ(controller->recentFiles(), (QStringList{other->filePath(), report->filePath()}));
    EXPECT_EQ(controller->openPanelFolder(report), QFileInfo(report->filePath()).absolutePath());

    controller->clearRecentFiles();
    EXPECT_TRUE(controller->recentFiles().isEmpty());
    EXPECT_EQ(controller->openPanelFolder(nullptr), QDir::homePath());

    // Save As makes the new file the most recent and the document answers to it.
    writeAtOnce = true;
    realSaves = true;
    report->saveAs(qpath(dir.file("renamed.pdf")));
    EXPECT_EQ(controller->recentFiles(), QStringList{report->filePath()});
    EXPECT_EQ(controller->documentFor(qpath(dir.file("renamed.pdf"))), report);

    controller->close(report);
    EXPECT_EQ(controller->documents(), std::vector<InkDocument*>{other});
    EXPECT_NE(controller->open(qpath(dir.file("renamed.pdf"))), nullptr);
}

TEST_F(ControllerTest, QuitStopsAtTheFirstDocumentWhoseSaveFails) {
    InkDocument* report = controller->open(qpath(file));
    InkDocument* other = controller->open(qpath(dir.file("other.pdf")));
    draw(*other, 1);
    failSaves = true;
    writeAtOnce = true;
    std::optional<std::pair<InkDocument*, QString>> outcome;
    controller->prepareToQuit([&](InkDocument* failed, const QString& reason) {
        outcome = {failed, reason};
    });
    ASSERT_TRUE(outcome);
    EXPECT_EQ(outcome->first, other);
    EXPECT_EQ(outcome->second, "The file could not be written.");

    failSaves = false;
    outcome.reset();
    controller->prepareToQuit([&](InkDocument* failed, const QString& reason) {
        outcome = {failed, reason};
    });
    ASSERT_TRUE(outcome);
    EXPECT_EQ(outcome->first, nullptr);
    EXPECT_FALSE(report->isEdited());
    EXPECT_FALSE(other->isEdited());
}

}  // namespace
}  // namespace quillet
