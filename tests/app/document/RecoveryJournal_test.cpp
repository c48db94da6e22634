// The recovery journal: one write per burst, the document's file versions,
// moved documents, damaged journals, a private, durable file, and the sealed
// records of encrypted documents.
#include "app/document/RecoveryJournal.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>

#include "JournalTestSupport.h"
#include "app/document/DocumentKey.h"
#include "app/platform/SerialQueue.h"
#include "core/save/SaveTestItems.h"
#include "support/QtTestSupport.h"

namespace quillet {
namespace {

using testing::inkItem;
using testing::qpath;
using testing::textItem;

const std::string kSecret = "the combination is 4-8-15-16";
const Bytes kFileKey(32, '\x6b');

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
    RecoveryJournal::Pages secretPages() {
        return {{0, {inkItem(1, {{1, 1}, {5, 5}}), textItem(2, {10, 10}, kSecret)}},
                {2, {textItem(3, {5, 5}, "b")}}};
    }
    std::string journalBytes() { return testing::readFile(journal.journalPath(document).toStdString()); }
    // A journal of this document as written by an encrypted document.
    std::string writeSealed() {
        journal.protect(true, kFileKey);
        journal.noteIdentity(document);
        journal.record(document, secretPages());
        settle();
        return journalBytes();
    }

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

TEST_F(JournalFixture, ABurstOfRecordsWritesOncePrivatelyAndLeavesNoTemporaryFiles) {
    journal.noteIdentity(document);
    for (int n = 1; n <= 10; ++n) {
        journal.record(document, pages(n));
        testing::pumpFor(std::chrono::milliseconds(25));
    }
    settle();
    EXPECT_EQ(journal.writeCount(), 1);
    EXPECT_EQ(journal.pendingRecovery(document), pages(10)) << "the burst's last state";
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

TEST_F(JournalFixture, AnEncryptedDocumentsRecordHoldsNoReadableTextAndOpensOnlyWithItsKey) {
    journal.noteIdentity(document);
    journal.record(document, secretPages());
    settle();
    ASSERT_TRUE(testing::revealsText(journalBytes(), kSecret))
        << "a plain record shows the text to the check";

    const std::string sealed = writeSealed();
    EXPECT_FALSE(testing::revealsText(sealed, kSecret));
    EXPECT_EQ(nlohmann::json::parse(sealed)["version"], RecoveryJournal::sealedFormatVersion);
    RecoveryJournal reader(folder);
    reader.protect(true, kFileKey);
    EXPECT_EQ(reader.pendingRecovery(document), secretPages());

    // Without the key nothing is opened, and while locked nothing is deleted or written.
    RecoveryJournal plain(folder);
    EXPECT_FALSE(plain.pendingRecovery(document));
    RecoveryJournal locked(folder);
    locked.protect(true, std::nullopt);
    EXPECT_FALSE(locked.pendingRecovery(document));
    locked.record(document, pages(1));
    settle(locked);
    locked.discard(document);
    settle(locked);
    EXPECT_EQ(locked.writeCount(), 0);
    EXPECT_EQ(journalBytes(), sealed);

    // A record written before sealing existed still restores for an encrypted document.
    writeJournal(validEntry());
    EXPECT_EQ(reader.pendingRecovery(document), (RecoveryJournal::Pages{{0, {inkItem(1, {{1, 1}})}}}));

    // Markup set aside on one version does not open on another (whose key
    // may differ): no sign of tampering, so it stays where it is.
    journal.setAsideToAsk(document, secretPages());
    ASSERT_TRUE(journal.waitForQueue(std::chrono::seconds(10)));
    EXPECT_EQ(reader.setAsideMarkup(document), secretPages());
    RecoveryJournal otherKey(folder);
    otherKey.protect(true, Bytes(32, 'o'));
    EXPECT_FALSE(otherKey.setAsideMarkup(document));
    EXPECT_TRUE(std::filesystem::exists(journal.setAsidePath(document).toStdString()));
}

TEST_F(JournalFixture, ASealedRecordThatDoesNotOpenIsKeptAndLoggedAndNeverRestored) {
    using Change = std::function<void(nlohmann::json&, Bytes & key)>;
    // Flips a bit of the byte `at` (from the end when negative) of a Base64 value.
    auto flipInside = [](nlohmann::json& text, int at) {
        Bytes bytes = *Base64::decode(text.get<std::string>());
        char& byte = bytes.at(at >= 0 ? size_t(at) : bytes.size() - size_t(-at));
        byte = static_cast<char>(byte ^ 0x80);
        text = Base64::encode(bytes);
    };
    const std::pair<const char*, Change> changes[] = {
        {"a payload's nonce", [&](nlohmann::json& e, Bytes&) { flipInside(e["pages"]["0"][1], 0); }},
        {"a payload's text", [&](nlohmann::json& e, Bytes&) { flipInside(e["pages"]["0"][1], 12); }},
        {"a payload's tag", [&](nlohmann::json& e, Bytes&) { flipInside(e["pages"]["0"][1], -1); }},
        {"the salt", [&](nlohmann::json& e, Bytes&) { flipInside(e["seal"]["salt"], 3); }},
        {"a payload moved", [](nlohmann::json& e, Bytes&) { std::swap(e["pages"]["0"], e["pages"]["2"]); }},
        {"a payload not Base64", [](nlohmann::json& e, Bytes&) { e["pages"]["2"][0] = "QLT1:not sealed"; }},
        {"no salt", [](nlohmann::json& e, Bytes&) { e.erase("seal"); }},
        {"a page dropped", [](nlohmann::json& e, Bytes&) { e["pages"].erase("2"); }},
        {"a payload dropped", [](nlohmann::json& e, Bytes&) { e["pages"]["0"].erase(1); }},
        {"an emptied page added",
         [](nlohmann::json& e, Bytes&) { e["pages"]["1"] = nlohmann::json::array(); }},
        {"the page list", [&](nlohmann::json& e, Bytes&) { flipInside(e["seal"]["pages"], 12); }},
        {"another key", [](nlohmann::json&, Bytes& key) { key[0] = 'x'; }},
    };
    const std::string sealed = writeSealed();
    for (const auto& [what, change] : changes) {
        SCOPED_TRACE(what);
        nlohmann::json entry = nlohmann::json::parse(sealed);
        Bytes key = kFileKey;
        change(entry, key);
        writeJournal(entry);
        const std::string tampered = journalBytes();
        RecoveryJournal reader(folder);
        reader.protect(true, key);
        ::testing::internal::CaptureStderr();
        EXPECT_FALSE(reader.pendingRecovery(document));
        const std::string log = ::testing::internal::GetCapturedStderr();

        const std::string file = journal.journalPath(document).toStdString();
        EXPECT_NE(log.find("VerdaPDF: journal " + file + " failed authentication"), std::string::npos) << log;
        EXPECT_EQ(log.find(kSecret), std::string::npos);
        // Kept byte for byte beside, where the next record does not overwrite it.
        EXPECT_FALSE(std::filesystem::exists(file));
        std::vector<std::string> kept;
        for (const auto& found : std::filesystem::directory_iterator(dir.file("Recovery")))
            if (found.path().string().starts_with(file + ".rejected-"))
                kept.push_back(testing::readFile(found.path()));
        EXPECT_EQ(kept, std::vector<std::string>{tampered});
        std::filesystem::remove_all(dir.file("Recovery"));
    }
}

}  // namespace
}  // namespace quillet
