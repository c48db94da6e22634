// The recovery journal: one write per burst, the document's file versions,
// moved documents, damaged journals, and a private, durable file.
#include "app/document/RecoveryJournal.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>

#include <nlohmann/json.hpp>

#include "app/document/DocumentKey.h"
#include "app/platform/SerialQueue.h"
#include "core/save/SaveTestItems.h"
#include "support/QtTestSupport.h"

namespace quillet {
namespace {

using testing::inkItem;
using testing::qpath;

struct JournalFixture : ::testing::Test {
    testing::TempDir dir;
    QString folder = qpath(dir.file("Recovery"));
    QString document = qpath(dir.file("doc.pdf"));
    RecoveryJournal journal{folder};

    JournalFixture() {
        testing::testApplication();
        testing::writeFile(dir.file("doc.pdf"), "%PDF-1.7 original");
    }

    // Lets the quiet delay pass and the queue finish.
    void settle() { settle(journal); }
    static void settle(RecoveryJournal& journal) {
        testing::pumpFor(RecoveryJournal::quietDelay + std::chrono::milliseconds(150));
        ASSERT_TRUE(journal.waitForQueue(std::chrono::seconds(10)));
    }

    RecoveryJournal::Pages pages(int n) { return {{0, {inkItem(n, {{1, 1}, {5, 5}})}}}; }

    void writeJournal(const nlohmann::json& entry) {
        std::filesystem::create_directories(dir.file("Recovery"));
        testing::writeFile(journal.journalPath(document).toStdString(), entry.dump());
    }

    nlohmann::json validEntry() {
        auto identity = RecoveryJournal::Identity::ofFile(document);
        return {{"version", 1},
                {"path", document.toStdString()},
                {"identities", {{{"size", identity->size}, {"modified", identity->modified}}}},
                {"pages", {{"0", {ItemCodec::encode(inkItem(1, {{1, 1}}))}}}},
                {"written", 0}};
    }
};

TEST_F(JournalFixture, ABurstOfRecordsWritesOnceTheLastState) {
    journal.noteIdentity(document);
    for (int n = 1; n <= 10; ++n) {
        journal.record(document, pages(n));
        testing::pumpFor(std::chrono::milliseconds(25));
    }
    settle();
    EXPECT_EQ(journal.writeCount(), 1);
    std::optional<RecoveryJournal::Pages> offered = journal.pendingRecovery(document);
    ASSERT_TRUE(offered);
    EXPECT_EQ(*offered, pages(10));
}

TEST_F(JournalFixture, TheFileIsPrivateAndLeavesNoTemporaryFiles) {
    journal.noteIdentity(document);
    journal.record(document, pages(1));
    settle();
    journal.record(document, pages(2));
    journal.flush();
    ASSERT_TRUE(journal.waitForQueue(std::chrono::seconds(10)));
    EXPECT_EQ(journal.writeCount(), 2);
    struct stat info {};
    ASSERT_EQ(::stat(journal.journalPath(document).toStdString().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.file("Recovery"))) {
        ++files;
        EXPECT_EQ(entry.path().filename().string(), DocumentKey::of(document.toStdString()) + ".json");
    }
    EXPECT_EQ(files, 1);
    EXPECT_EQ(journal.pendingRecovery(document), pages(2));

    journal.discard(std::nullopt);
    ASSERT_TRUE(journal.waitForQueue(std::chrono::seconds(10)));
    EXPECT_FALSE(std::filesystem::exists(journal.journalPath(document).toStdString()));
}

TEST_F(JournalFixture, AMovedDocumentTakesItsJournalAlong) {
    QString moved = qpath(dir.file("renamed.pdf"));
    journal.record(document, pages(1));
    settle();
    std::filesystem::rename(dir.file("doc.pdf"), dir.file("renamed.pdf"));
    journal.record(moved, pages(2));
    settle();
    EXPECT_FALSE(std::filesystem::exists(journal.journalPath(document).toStdString()));
    EXPECT_TRUE(std::filesystem::exists(journal.journalPath(moved).toStdString()));
}

TEST_F(JournalFixture, AFileChangedByAnotherProgramGetsNoRecovery) {
    journal.noteIdentity(document);
    journal.record(document, pages(1));
    settle();
    ASSERT_TRUE(journal.pendingRecovery(document));
    testing::writeFile(dir.file("doc.pdf"), "%PDF-1.7 changed elsewhere");
    EXPECT_FALSE(journal.pendingRecovery(document));
    // A version the document noted itself (its own save) is accepted again.
    journal.noteIdentity(document);
    journal.record(document, pages(2));
    settle();
    EXPECT_EQ(journal.pendingRecovery(document), pages(2));
}

TEST_F(JournalFixture, KeepsTheLastEightFileVersions) {
    for (int n = 0; n < 10; ++n) {
        testing::writeFile(dir.file("doc.pdf"), std::string(static_cast<size_t>(n + 1), 'x'));
        journal.noteIdentity(document);
        journal.noteIdentity(document);
    }
    ASSERT_EQ(journal.identities().size(), RecoveryJournal::maxIdentities);
    EXPECT_EQ(journal.identities().front().size, 3);
    EXPECT_EQ(journal.identities().back().size, 10);
}

TEST_F(JournalFixture, DamagedJournalsAreSkippedOrTrimmed) {
    writeJournal(validEntry());
    EXPECT_TRUE(journal.pendingRecovery(document));

    testing::writeFile(journal.journalPath(document).toStdString(), "{\"version\": 1, \"pa");
    EXPECT_FALSE(journal.pendingRecovery(document));

    nlohmann::json entry = validEntry();
    entry["version"] = 2;
    writeJournal(entry);
    EXPECT_FALSE(journal.pendingRecovery(document));

    entry = validEntry();
    entry["path"] = qpath(dir.file("other.pdf")).toStdString();
    writeJournal(entry);
    EXPECT_FALSE(journal.pendingRecovery(document));

    entry = validEntry();
    entry["pages"]["first"] = {ItemCodec::encode(inkItem(2, {{1, 1}}))};
    entry["pages"]["+3"] = {"QLT1:broken", ItemCodec::encode(inkItem(3, {{1, 1}}))};
    entry["pages"]["4"] = {"QLT1:broken"};
    entry["pages"]["5"] = nlohmann::json::array();
    writeJournal(entry);
    std::optional<RecoveryJournal::Pages> offered = journal.pendingRecovery(document);
    ASSERT_TRUE(offered);
    EXPECT_EQ(offered->size(), 3u);  // 0, 3 and the emptied page 5
    EXPECT_EQ(offered->at(3), std::vector<AnnotationItem>{inkItem(3, {{1, 1}})});
    EXPECT_TRUE(offered->at(5).empty());

    entry = validEntry();
    entry["pages"] = {{"0", {"QLT1:broken"}}};
    writeJournal(entry);
    EXPECT_FALSE(journal.pendingRecovery(document));
}

TEST_F(JournalFixture, AWriteThatFailsIsLoggedAndChangesNothing) {
    testing::writeFile(dir.file("blocker"), "a file where the folder should be");
    RecoveryJournal blocked(qpath(dir.file("blocker")));
    blocked.record(document, pages(1));
    settle(blocked);
    EXPECT_EQ(blocked.writeCount(), 0);
}

}  // namespace
}  // namespace quillet
