// Saving into the user's own file: one writer at a time, a file changed by
// someone else is never overwritten, hard links and signatures are kept
// intact, links and permission bits survive. And a save in place killed
// anywhere: one save runs in a child process that the self-test hook kills
// at a named point. Afterwards the user's file is its old or its new version
// byte for byte, qpdf accepts it, the document's cleanup on opening leaves no
// temporary file, and the next save works.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "app/document/DocumentKey.h"
#include "app/document/SaveEngine.h"
#include "app/document/SaveEngineFixture.h"
#include "app/platform/SelfTestHook.h"
#include "core/save/PathLock.h"
#include "support/PdfSigner.h"

namespace quillet::testing {
namespace {

using Code = SaveEngineError::Code;

// Saves into the user's own file, `document`, which starts as `original`.
class InPlaceSaveTest : public SaveEngineTest {
  protected:
    void SetUp() override {
        SaveEngineTest::SetUp();
        writeFile(document, readFile(source));
        original = readFile(document);
    }

    SaveJob job() const { return jobFor({{0, fiveItems(1)}, {2, {inkItem(9, {{10, 10}, {20, 20}})}}}); }

    // Saves job() into the document in a child process with `environment`
    // set (the self-test hook's variables). The child's exit status: 0 saved,
    // exitCodeOf(the error's code), 1 anything else.
    pid_t saveInChild(const std::map<std::string, std::string>& environment) const {
        const pid_t child = fork();
        if (child == 0) {
            for (const auto& [name, value] : environment) setenv(name.c_str(), value.c_str(), 1);
            try {
                SaveEngine().saveInPlace(job(), document.string());
            } catch (const SaveEngineError& error) {
                _exit(exitCodeOf(error.code()));
            } catch (...) {
                _exit(1);
            }
            _exit(0);
        }
        return child;
    }
    static int exitCodeOf(SaveEngineError::Code code) { return 10 + static_cast<int>(code); }

    std::string original;
};

class SaveInPlace : public InPlaceSaveTest {
  protected:
    // A save in a child process that stops at `point` until released.
    struct PausedSave {
        pid_t pid = -1;
        std::filesystem::path pauseFile;

        bool paused() const {
            for (int i = 0; i < 3000 && !std::filesystem::exists(pauseFile); ++i) usleep(10'000);
            return std::filesystem::exists(pauseFile);
        }
        int finish() const {
            std::filesystem::remove(pauseFile);
            int status = 0;
            waitpid(pid, &status, 0);
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
    };

    PausedSave savePausedAt(const std::string& point) const {
        const std::filesystem::path pauseFile = dir.file("paused");
        return {
            saveInChild({{SelfTestHook::pauseVariable, point}, {SelfTestHook::pauseFileVariable, pauseFile}}),
            pauseFile};
    }
};

TEST_F(SaveInPlace, ReplacesTheFileAndReportsItsNewIdentity) {
    const SaveOutcome outcome = SaveEngine().saveInPlace(job(), document.string());
    EXPECT_EQ(outcome.method, SaveOutcome::Method::incremental);
    EXPECT_EQ(outcome.targetIdentity, FileIdentity::ofPath(document.string()));
    EXPECT_EQ(itemsOnPage(document, 0), fiveItems(1));
    EXPECT_TRUE(hiddenFiles().empty());

    // The identity the document remembers lets the next save through...
    SaveJob next = job();
    next.targetIdentity = outcome.targetIdentity;
    next.pages[1] = {inkItem(40, {{5, 5}, {9, 9}})};
    EXPECT_NO_THROW(SaveEngine().saveInPlace(next, document.string()));
    // ...and one from before stops it.
    const std::string saved = readFile(document);
    next.pages[2] = {inkItem(41, {{5, 5}, {9, 9}})};
    EXPECT_EQ(failureOf([&] { SaveEngine().saveInPlace(next, document.string()); }).code(),
              Code::fileChanged);
    EXPECT_EQ(readFile(document), saved);
    EXPECT_TRUE(hiddenFiles().empty());
}

TEST_F(SaveInPlace, SecondWriterWaitsForTheSaveAndNothingIsLost) {
    const PausedSave save = savePausedAt("commit.start");
    ASSERT_TRUE(save.paused());
    std::atomic<bool> done = false;
    CommandResult added;
    std::thread quillet([&] {
        added = runCommand({QUILLET_BINARY_DIR "/cli/quillet", "add", document.string(), document.string(),
                            "--page", "2", "--text", "second writer", "--at", "100,100"});
        done = true;
    });
    usleep(300'000);
    EXPECT_FALSE(done) << "quillet wrote while the save held the file";
    EXPECT_EQ(readFile(document), original);
    EXPECT_EQ(save.finish(), 0);
    quillet.join();
    EXPECT_EQ(added.status, 0) << added.err;

    EXPECT_EQ(itemsOnPage(document, 0), fiveItems(1));
    EXPECT_EQ(itemsOnPage(document, 1).size(), 1u);
    EXPECT_EQ(runQpdf({"--check", document.string()}).status, 0);
    EXPECT_TRUE(hiddenFiles().empty());
}

TEST_F(SaveInPlace, FileReplacedDuringTheSaveIsLeftAsTheOtherProgramWroteIt) {
    const PausedSave save = savePausedAt("commit.start");
    ASSERT_TRUE(save.paused());
    writeFile(dir.file("theirs.pdf"), simpleDocument(4, "Theirs"));
    std::filesystem::rename(dir.file("theirs.pdf"), document);
    EXPECT_EQ(save.finish(), exitCodeOf(Code::fileChanged));
    EXPECT_EQ(readFile(document), simpleDocument(4, "Theirs"));
    EXPECT_TRUE(hiddenFiles().empty());
}

TEST_F(SaveInPlace, BusyFileFailsAsBusyAndIsUntouched) {
    const PathLock held = PathLock::acquire(DocumentKey::resolvedPath(document.string()), {});
    const SaveEngine engine(FileClonerCalls::system(), std::chrono::milliseconds(50));
    const SaveEngineError error = failureOf([&] { engine.saveInPlace(job(), document.string()); });
    EXPECT_EQ(error.code(), Code::fileBusy);
    EXPECT_EQ(readFile(document), original);
}

TEST_F(SaveInPlace, HardLinkedFileIsRefusedAndUntouched) {
    std::filesystem::create_hard_link(document, dir.file("other-name.pdf"));
    EXPECT_EQ(failureOf([&] { SaveEngine().saveInPlace(job(), document.string()); }).code(),
              Code::hardLinked);
    EXPECT_EQ(readFile(document), original);
    EXPECT_EQ(std::filesystem::hard_link_count(document), 2u);
    EXPECT_TRUE(hiddenFiles().empty());
}

TEST_F(SaveInPlace, SymbolicLinkStaysALinkAndTheFileKeepsItsPermissions) {
    std::filesystem::permissions(document, std::filesystem::perms(0640));
    const std::filesystem::path link = dir.file("link.pdf");
    std::filesystem::create_symlink(document, link);
    SaveEngine().saveInPlace(job(), link.string());
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(itemsOnPage(document, 0), fiveItems(1));
    EXPECT_EQ(std::filesystem::status(document).permissions(), std::filesystem::perms(0640));
}

// Signing rewrites nothing before the signature; a rewrite would.
TEST_F(SaveInPlace, SignedFileIsNeverRewritten) {
    if (!PdfSigner::available()) GTEST_SKIP() << "needs qpdf, pdfsig and certutil";
    const PdfSigner signer(dir);
    ASSERT_TRUE(signer.sign(source, document));
    std::filesystem::copy_file(document, source, std::filesystem::copy_options::overwrite_existing);
    const std::string signedBytes = readFile(document);

    // The incremental save fails: no rewrite, nothing changed.
    const SaveEngineError error =
        failureOf([&] { SaveEngine(failingFsync()).saveInPlace(job(), document.string()); });
    EXPECT_EQ(error.code(), Code::signedUnsupported);
    EXPECT_EQ(readFile(document), signedBytes);
    EXPECT_TRUE(signer.verifies(document));
    EXPECT_TRUE(hiddenFiles().empty());

    // A crashed earlier save does not send it to the rewrite either.
    leaveStaleMarker(job());
    EXPECT_EQ(SaveEngine().saveInPlace(job(), document.string()).method, SaveOutcome::Method::incremental);
    EXPECT_TRUE(signer.verifies(document));
}

struct KillPoint {
    std::string name;
    bool replaced;  // the new version is in place once the point is reached
};

// In the order a save reaches them.
const std::vector<KillPoint> incrementalPoints = {
    {"inplace.start", false},  {"lock.acquired", false},  {"temporary.created", false},
    {"marker.before", false},  {"marker.written", false}, {"clone.start", false},
    {"clone.data", false},     {"clone.closing", false},  {"append.data", false},
    {"append.fsync", false},   {"append.close", false},   {"verify.start", false},
    {"verify.opened", false},  {"verify.page", false},    {"incremental.verified", false},
    {"marker.removed", false}, {"commit.start", false},   {"commit.synced", false},
    {"commit.checked", false}, {"commit.renamed", true},  {"commit.done", true},
};
// A save whose last attempt died in the writer: straight to the rewrite.
const std::vector<KillPoint> rewritePoints = {
    {"rewrite.start", false},   {"rewrite.edited", false}, {"rewrite.writing", false},
    {"rewrite.written", false}, {"verify.opened", false},  {"rewrite.verified", false},
    {"commit.checked", false},  {"commit.renamed", true},
};

class SaveInterruption : public InPlaceSaveTest {
  protected:
    // The user's file after one uninterrupted save, from the same start.
    std::string savedVersion(bool staleMarker) {
        TempDir other;
        const std::filesystem::path copy = other.file("document.pdf");
        writeFile(copy, original);
        SaveJob j = job();
        j.documentPath = copy.string();
        if (staleMarker) leaveStaleMarker(j);
        SaveEngine().saveInPlace(j, copy.string());
        return readFile(copy);
    }

    // Runs the save in a child killed at `point`; true when the kill came.
    bool saveKilledAt(const std::string& point) {
        int status = 0;
        waitpid(saveInChild({{SelfTestHook::killVariable, point}}), &status, 0);
        return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
    }

    void expectIntactAfterKillAt(const KillPoint& point, const std::string& newVersion, bool staleMarker) {
        SCOPED_TRACE(point.name);
        writeFile(document, original);
        if (staleMarker) leaveStaleMarker(job());
        ASSERT_TRUE(saveKilledAt(point.name)) << "the save never reached " << point.name;

        const std::string now = readFile(document);
        EXPECT_EQ(now == newVersion, point.replaced);
        EXPECT_TRUE(now == original || now == newVersion);
        const CommandResult check = runQpdf({"--check", document.string()});
        EXPECT_EQ(check.status, 0) << check.out << check.err;

        SaveEngine::removeLeftovers(document.string());  // what opening the document does
        EXPECT_EQ(hiddenFiles(), std::vector<std::string>{});

        // The document saves again; a marker left by the killed writer makes
        // that a rewrite.
        EXPECT_NO_THROW(SaveEngine().saveInPlace(job(), document.string()));
        EXPECT_EQ(hiddenFiles(), std::vector<std::string>{});
        CrashMarker(job().documentPath).remove();
    }
};

TEST_F(SaveInterruption, KilledIncrementalSaveLeavesTheOldOrTheNewFile) {
    const std::string newVersion = savedVersion(false);
    ASSERT_NE(newVersion, original);
    for (const KillPoint& point : incrementalPoints) expectIntactAfterKillAt(point, newVersion, false);
}

TEST_F(SaveInterruption, KilledRewriteLeavesTheOldOrTheNewFile) {
    const std::string newVersion = savedVersion(true);
    ASSERT_NE(newVersion, original);
    for (const KillPoint& point : rewritePoints) expectIntactAfterKillAt(point, newVersion, true);
}

}  // namespace
}  // namespace quillet::testing
