// A document under test: a PDF in a private folder, a clock the test moves
// by hand, writes that wait until the test runs them, an in-memory journal
// and a save that records its jobs (or the real in-place save).
#pragma once

#include <gtest/gtest.h>

#include <QUndoCommand>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "app/document/AnnotationStore.h"
#include "app/document/InPlaceSave.h"
#include "app/document/InkDocument.h"
#include "app/document/RecoveryJournal.h"
#include "app/document/SaveEngineError.h"
#include "core/save/SaveTestItems.h"
#include "support/QtTestSupport.h"

namespace quillet::testing {

// The journal of every document of a test, by path.
struct MemoryJournal : DocumentJournal {
    std::map<QString, PageItems> recorded;
    std::vector<QString> discarded;
    int records = 0;

    void record(const QString& path, PageItems pages) override {
        recorded[path] = std::move(pages);
        ++records;
    }
    void discard(const std::optional<QString>& path) override {
        if (path) {
            recorded.erase(*path);
            discarded.push_back(*path);
        }
    }
    std::optional<PageItems> pendingRecovery(const QString& path) override {
        const auto entry = recorded.find(path);
        return entry == recorded.end() ? std::nullopt : std::optional(entry->second);
    }
};

// One undo step that inserts an item, as the editor's commands do.
class InsertItem : public QUndoCommand {
  public:
    InsertItem(AnnotationStore& store, AnnotationItem item, int page)
        : store_(store), item_(std::move(item)), page_(page) {}
    void redo() override { store_.apply(StoreChange::insert(item_, page_, 1 << 20)); }
    void undo() override { store_.apply(StoreChange::remove({item_.id})); }

  private:
    AnnotationStore& store_;
    AnnotationItem item_;
    int page_;
};

class DocumentTest : public ::testing::Test {
  protected:
    void SetUp() override {
        testApplication();
        InterfaceLanguage::fix(Language::en);
        setenv("XDG_DATA_HOME", dir.file("data").c_str(), 1);
        std::filesystem::create_directories(dir.file("tmp"));
        writeFile(file, simpleDocument(3));
    }

    InkDocument::Services services() {
        InkDocument::Services s;
        s.clock = clock.scheduler();
        s.runWrite = [this](std::function<void()> work) {
            if (writeAtOnce) {
                work();
            } else {
                writes.push_back(std::move(work));
            }
        };
        s.toMainThread = [](std::function<void()> work) { work(); };
        s.writeFile = [this](const SaveJob& job, const QString& target,
                             const std::optional<FileIdentity>& expected) {
            jobs.push_back(job);
            if (realSaves) {
                return InPlaceSave::write(job, target, expected);
            }
            if (failSaves) {
                throw SaveEngineError::writeFailed("disk full");
            }
            SaveOutcome outcome;
            outcome.duration = saveDuration;
            return outcome;
        };
        s.makeJournal = [this] {
            if (!diskJournals) {
                // The test's own journal, which outlives its documents.
                return std::shared_ptr<DocumentJournal>(&journal, [](DocumentJournal*) {});
            }
            lastDiskJournal = std::make_shared<RecoveryJournal>(qpath(dir.file("journal")));
            return std::shared_ptr<DocumentJournal>(lastDiskJournal);
        };
        s.askFileReplaced = [this](InkDocument&, std::function<void(ReplacedFileChoice)> answer) {
            ++replacedQuestions;
            answer(replacedFileChoice);
        };
        s.askRestoreSetAside = [this](InkDocument&, std::function<void(bool)> answer) {
            ++setAsideQuestions;
            if (restoreSetAside) {
                answer(*restoreSetAside);
            }
        };
        const auto names = [](const std::optional<std::filesystem::path>& file, const QString& path) {
            std::error_code ec;
            return file && std::filesystem::equivalent(*file, path.toStdString(), ec);
        };
        s.whyReadOnly = [this, names](const QString& path) -> std::optional<QString> {
            if (names(readOnlyFile, path)) {
                return QStringLiteral("the file is not writable");
            }
            return std::nullopt;
        };
        s.isOpenElsewhere = [this, names](const QString& path) { return names(openElsewhere, path); };
        s.places.temporaryFolder = qpath(dir.file("tmp"));
        s.places.processId = ::getpid();
        s.places.sameFileSystem = [](const std::string&, const std::string&) { return true; };
        return s;
    }

    std::unique_ptr<InkDocument> open() {
        std::unique_ptr<InkDocument> document = InkDocument::open(qpath(file), services());
        QObject::connect(document.get(), &InkDocument::reloaded, [this] { ++reloads; });
        return document;
    }

    // An undoable insertion of item n on `page`, as a tool makes it.
    static void draw(InkDocument& document, int n, int page = 0) {
        document.undoStack()->push(
            new InsertItem(*document.store(), inkItem(n, {{100, 100}, {150, 120}}), page));
    }

    void finishWrites() {
        while (!writes.empty()) {
            std::function<void()> work = std::move(writes.front());
            writes.erase(writes.begin());
            work();
        }
    }

    TempDir dir;
    std::filesystem::path file = dir.file("report.pdf");
    FakeClock clock;
    MemoryJournal journal;
    std::vector<std::function<void()>> writes;
    std::vector<SaveJob> jobs;
    bool writeAtOnce = false;
    // Real journals in the test's folder instead of the memory one.
    bool diskJournals = false;
    std::shared_ptr<RecoveryJournal> lastDiskJournal;
    bool realSaves = false;
    bool failSaves = false;
    double saveDuration = 0;
    ReplacedFileChoice replacedFileChoice = ReplacedFileChoice::reload;
    int replacedQuestions = 0;
    std::optional<bool> restoreSetAside = true;  // absent: "Not Now"
    int setAsideQuestions = 0;
    int reloads = 0;
    // The file a save cannot replace, and the one open in another window.
    std::optional<std::filesystem::path> readOnlyFile;
    std::optional<std::filesystem::path> openElsewhere;
};

}  // namespace quillet::testing
