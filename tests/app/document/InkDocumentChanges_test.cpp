// Unsaved markup when the file cannot take it or goes back or forward under
// it: a read-only file keeps it until Save As, a revert sets it aside for a
// question, and a version another program wrote gets it on top.
#include <sys/stat.h>

#include <QFileInfo>

#include "InkDocumentSupport.h"
#include "app/document/InkDocument.h"
#include "cli/MarkupFixtures.h"

namespace quillet {
namespace {

using namespace std::chrono_literals;
using testing::DocumentTest;
using testing::inkItem;
using testing::itemId;
using testing::qpath;

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
    std::optional<InkDocument::SaveResult> saved;
    document->save([&](const InkDocument::SaveResult& error) { saved = error; });
    ASSERT_TRUE(saved && *saved);
    EXPECT_EQ(**saved, document->notice());
    EXPECT_TRUE(journal.recorded.contains(document->filePath())) << "the markup waits in the journal";

    const QString copy = qpath(dir.file("copy.pdf"));
    document->saveAs(copy, [&](const InkDocument::SaveResult& error) { saved = error; });
    ASSERT_TRUE(saved);
    EXPECT_FALSE(*saved);
    EXPECT_FALSE(document->isReadOnlyFile());
    EXPECT_EQ(document->notice(), std::nullopt);
    draw(*document, 2);
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
    std::optional<InkDocument::SaveResult> saved;
    document->saveAs(qpath(dir.file("other.pdf")),
                     [&](const InkDocument::SaveResult& error) { saved = error; });
    ASSERT_TRUE(saved && *saved);
    EXPECT_EQ(**saved, "“other.pdf” is open in another window: close it there to save over it");
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
    testing::writeFile(file.string() + ".new", testing::simpleDocument(2));
    std::filesystem::rename(file.string() + ".new", file);
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

}  // namespace
}  // namespace quillet
