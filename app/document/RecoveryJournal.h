// Keeps a document's unsaved markup on disk, outside the document, so that it
// survives a crash: after each change the document records the items of its
// touched pages, and 0.4 s after the last of a burst of records one JSON file
// "<document key>.json" is written in "Quillet/Recovery" under the user's data
// folder. When the document is opened again and the journal belongs to exactly
// that version of the file, its pages are offered back.
//
// When the user reloads a file another program replaced, the unsaved markup
// is set aside: it moves to "<document key>.set-aside.json", with the file
// versions it was made on, and this journal stops accepting those versions,
// so the reloaded file's own markup and the dropped markup never mix. The
// set-aside markup is offered back like a journal when the file at the path
// is one of its versions again (the other program's version was undone), and
// otherwise the document asks whether to add it to the version it opened.
//
// The file holds the user's markup: it is created 0600, written to a
// temporary file beside it, made durable and then renamed over the old one,
// so a power cut leaves the old or the new journal, never a partial one.
// Writes and deletions run one at a time on the queue "app.quillet.journal";
// failures are logged and never block editing.
//
// A password-protected document's markup must not be easier to read from the
// data folder than from the file, so the journal of an encrypted document is
// sealed (JournalSeal): each record has a salt of its own and each item
// payload is sealed under the key derived from the document's file key, as
// Base64 of nonce, ciphertext and tag, bound to its place in the record; the
// list of pages with their payload counts is sealed too, so that nothing is
// dropped or added unnoticed. The record is marked version 2, which earlier
// versions of the application do not read. Until the document hands
// over its key (the file is still locked) its journal writes nothing, opens
// no sealed record and deletes none. A sealed record that does not open for
// exactly the version it was written on was damaged or tampered with: it is
// never restored, it is renamed aside (kept, and out of the way of the next
// record) and the journal file is logged. Plain records (version 1) are
// written for documents that are not encrypted, and read for any document.
//
// Main thread only (record needs the event loop for its delay).
#pragma once

#include <QString>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/document/DocumentJournal.h"
#include "app/platform/DelayedWork.h"
#include "core/markup/AnnotationItem.h"
#include "core/pdf/PDFValue.h"

namespace quillet {

class SerialQueue;

class RecoveryJournal : public DocumentJournal {
  public:
    using Pages = PageItems;

    static constexpr std::chrono::milliseconds quietDelay{400};
    static constexpr size_t maxIdentities = 8;
    static constexpr int64_t formatVersion = 1;
    static constexpr int64_t sealedFormatVersion = 2;
    static constexpr char queueName[] = "app.quillet.journal";

    // A version of the document file: its size and modification time.
    struct Identity {
        int64_t size = 0;
        double modified = 0;  // seconds since 1970-01-01 UTC

        // Absent when the file cannot be examined.
        static std::optional<Identity> ofFile(const QString& path);
        bool operator==(const Identity&) const = default;
    };

    // folder: where the journals live; by default "Quillet/Recovery" in the
    // application-data folder. Tests pass their own.
    explicit RecoveryJournal(QString folder = defaultFolder());
    // A scheduled write that has not started is dropped; one that has runs
    // to its end on the queue.
    ~RecoveryJournal() override;
    RecoveryJournal(const RecoveryJournal&) = delete;
    RecoveryJournal& operator=(const RecoveryJournal&) = delete;

    static QString defaultFolder();
    // The queue every journal writes on, created on first use.
    static SerialQueue& queue();

    // The journal file of a document path.
    QString journalPath(const QString& documentPath) const;
    // Where the markup set aside by a reload of that path lives.
    QString setAsidePath(const QString& documentPath) const;

    // Accepts the current version of the file as the journal's own (after
    // opening and after each save); the last 8 are kept.
    void noteIdentity(const QString& documentPath) override;
    const std::vector<Identity>& identities() const { return identities_; }

    // What the document's records are kept under, from its opening on and
    // again after each unlock or reload: an encrypted file's key (records
    // sealed), none while an encrypted file is locked (nothing written,
    // opened or deleted), or no encryption (plain records, the default).
    void protect(bool encrypted, std::optional<Bytes> fileKey) override;

    // Schedules writing `pages` as the document's journal; a later record
    // within the quiet delay replaces it.
    void record(const QString& documentPath, Pages pages) override;
    // Writes what is scheduled now instead of after the delay.
    void flush() override;
    // Cancels what is scheduled and deletes the journal files of the path
    // given and of the last recorded one (none while the document is locked:
    // they may hold what it has not been able to open yet).
    void discard(const std::optional<QString>& documentPath) override;

    // The document reloads its file from disk and drops `pages`: they are
    // written aside with the versions noted so far (which this journal then
    // forgets), and the document's journal file is deleted once they are on
    // disk. A later set-aside of the same path replaces this one.
    void setAside(const QString& documentPath, Pages pages) override;
    // The user dropped `pages` on purpose (a revert): they are written aside
    // with no version, so they are never taken back by themselves, only
    // offered with a question (setAsideMarkup). The journal keeps its versions.
    void setAsideToAsk(const QString& documentPath, Pages pages) override;

    // The pages stored for the file at `documentPath`, when the journal (or
    // else the set-aside markup) is readable, belongs to that path and to the
    // file's current version, and holds at least one decodable item (a
    // sealed one: opens under the key handed over); otherwise absent.
    // Set-aside markup offered here is deleted by the next
    // write of the journal, which then holds it.
    std::optional<Pages> pendingRecovery(const QString& documentPath) override;
    // The set-aside markup of the path whatever version the file is now (the
    // document asks the user before putting it on another version).
    std::optional<Pages> setAsideMarkup(const QString& documentPath) const override;
    // The document took it: deleted, like the above, once the journal holds it.
    void takeSetAside(const QString& documentPath) override;
    // Deletes the set-aside markup of the path (the user declined it).
    void dropSetAside(const QString& documentPath) override;

    // Journal files written by this object, for tests and diagnostics.
    int writeCount() const { return writes_->load(); }
    // Waits until the journal queue has run what was handed to it (tests;
    // a write still in its quiet delay is not handed over yet).
    bool waitForQueue(std::chrono::milliseconds timeout) const;

  private:
    struct Scheduled;
    // The next write of `pages`, in place of one still waiting for its delay.
    std::shared_ptr<Scheduled> replacePendingWrite(const QString& documentPath, Pages pages);
    void schedule(std::shared_ptr<Scheduled> write);
    // Encrypted, and the key not handed over yet.
    bool locked() const { return encrypted_ && !fileKey_; }
    // False (and logged once) when the document is locked.
    bool mayWrite(const QString& documentPath);
    // `sameVersion`: only when the file is one of the entry's versions.
    static void keepEarlierSetAside(Scheduled& write);
    std::optional<Pages> readEntry(const std::string& file, const QString& documentPath,
                                   bool sameVersion) const;
    // The same under a given file key (absent: sealed records do not open).
    static std::optional<Pages> readEntryUnder(const std::string& file, const QString& documentPath,
                                               bool sameVersion, const std::optional<Bytes>& fileKey);

    QString folder_;
    bool encrypted_ = false;
    std::optional<Bytes> fileKey_;
    bool lockedWriteLogged_ = false;
    std::vector<Identity> identities_;
    std::optional<QString> lastPath_;
    // The path whose set-aside markup was offered back and goes once the journal holds it.
    std::optional<QString> offeredSetAside_;
    DelayedWork pendingWork_;
    std::shared_ptr<Scheduled> pendingWrite_;
    std::shared_ptr<std::atomic<int>> writes_ = std::make_shared<std::atomic<int>>(0);
};

}  // namespace quillet
