// Saving into the user's own file: one writer at a time, a file changed by
// someone else is never overwritten, hard links and signatures are kept
// intact, links and permission bits survive.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <thread>

#include "app/document/DocumentKey.h"
#include "app/document/SaveEngine.h"
#include "app/document/SaveEngineFixture.h"
#include "app/platform/SelfTestHook.h"
#include "core/save/PathLock.h"

namespace quillet::testing {
namespace {

using Code = SaveEngineError::Code;

class SaveInPlace : public SaveEngineTest {
protected:
    void SetUp() override
    {
        SaveEngineTest::SetUp();
        writeFile(document, readFile(source));
        original = readFile(document);
    }

    SaveJob job() const { return jobFor({{0, fiveItems(1)}}); }

    // A save in a child process that stops at `point` until released. The
    // child's exit status: 0 saved, 10 + the error code, 1 anything else.
    struct PausedSave {
        pid_t pid = -1;
        std::filesystem::path pauseFile;

        bool paused() const
        {
            for (int i = 0; i < 3000 && !std::filesystem::exists(pauseFile); ++i) usleep(10'000);
            return std::filesystem::exists(pauseFile);
        }
        int finish() const
        {
            std::filesystem::remove(pauseFile);
            int status = 0;
            waitpid(pid, &status, 0);
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
    };

    PausedSave savePausedAt(const std::string& point) const
    {
        PausedSave save{-1, dir.file("paused")};
        save.pid = fork();
        if (save.pid == 0) {
            setenv(SelfTestHook::pauseVariable, point.c_str(), 1);
            setenv(SelfTestHook::pauseFileVariable, save.pauseFile.c_str(), 1);
            try {
                SaveEngine().saveInPlace(job(), document.string());
            } catch (const SaveEngineError& error) {
                _exit(10 + static_cast<int>(error.code()));
            } catch (...) {
                _exit(1);
            }
            _exit(0);
        }
        return save;
    }

    bool noTemporaryFiles() const
    {
        for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
            if (entry.path().filename().string().starts_with(".")) return false;
        }
        return true;
    }

    std::string original;
};

int exitCodeOf(Code code)
{
    return 10 + static_cast<int>(code);
}

TEST_F(SaveInPlace, ReplacesTheFileAndReportsItsNewIdentity)
{
    const SaveOutcome outcome = SaveEngine().saveInPlace(job(), document.string());
    EXPECT_EQ(outcome.method, SaveOutcome::Method::incremental);
    EXPECT_EQ(outcome.targetIdentity, FileIdentity::ofPath(document.string()));
    EXPECT_EQ(itemsOnPage(document, 0), fiveItems(1));
    EXPECT_TRUE(noTemporaryFiles());

    // The identity the document remembers lets the next save through...
    SaveJob next = job();
    next.targetIdentity = outcome.targetIdentity;
    next.pages[1] = {inkItem(40, {{5, 5}, {9, 9}})};
    EXPECT_NO_THROW(SaveEngine().saveInPlace(next, document.string()));
    // ...and one from before stops it.
    const std::string saved = readFile(document);
    next.pages[2] = {inkItem(41, {{5, 5}, {9, 9}})};
    EXPECT_EQ(failureCode([&] { SaveEngine().saveInPlace(next, document.string()); }), Code::fileChanged);
    EXPECT_EQ(readFile(document), saved);
    EXPECT_TRUE(noTemporaryFiles());
}

TEST_F(SaveInPlace, SecondWriterWaitsForTheSaveAndNothingIsLost)
{
    const PausedSave save = savePausedAt("commit.start");
    ASSERT_TRUE(save.paused());
    std::atomic<bool> done = false;
    CommandResult added;
    std::thread quillet([&] {
        added = runCommand({QUILLET_BINARY_DIR "/cli/quillet", "add", document.string(), document.string(), "--page",
                            "2", "--text", "second writer", "--at", "100,100"});
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
    EXPECT_TRUE(noTemporaryFiles());
}

TEST_F(SaveInPlace, FileReplacedDuringTheSaveIsLeftAsTheOtherProgramWroteIt)
{
    const PausedSave save = savePausedAt("commit.start");
    ASSERT_TRUE(save.paused());
    writeFile(dir.file("theirs.pdf"), simpleDocument(4, "Theirs"));
    std::filesystem::rename(dir.file("theirs.pdf"), document);
    EXPECT_EQ(save.finish(), exitCodeOf(Code::fileChanged));
    EXPECT_EQ(readFile(document), simpleDocument(4, "Theirs"));
    EXPECT_TRUE(noTemporaryFiles());
}

TEST_F(SaveInPlace, BusyFileFailsClearlyInBothLanguages)
{
    const PathLock held = PathLock::acquire(DocumentKey::resolvedPath(document.string()), {});
    const SaveEngine engine(FileClonerCalls::system(), std::chrono::milliseconds(50));
    try {
        engine.saveInPlace(job(), document.string());
        FAIL() << "saved past the lock";
    } catch (const SaveEngineError& error) {
        EXPECT_EQ(error.code(), Code::fileBusy);
        EXPECT_EQ(error.text(), "Another program is writing this file. Try saving again in a moment.");
        EXPECT_EQ(error.localizedFailureReason(Language::ru).toStdString(),
                  "Этот файл сейчас записывает другая программа. Попробуйте сохранить чуть позже.");
    }
    EXPECT_EQ(readFile(document), original);
}

TEST_F(SaveInPlace, HardLinkedFileIsRefusedAndUntouched)
{
    std::filesystem::create_hard_link(document, dir.file("other-name.pdf"));
    EXPECT_EQ(failureCode([&] { SaveEngine().saveInPlace(job(), document.string()); }), Code::hardLinked);
    EXPECT_EQ(readFile(document), original);
    EXPECT_EQ(std::filesystem::hard_link_count(document), 2u);
    EXPECT_TRUE(noTemporaryFiles());
}

TEST_F(SaveInPlace, SymbolicLinkStaysALinkAndTheFileKeepsItsPermissions)
{
    std::filesystem::permissions(document, std::filesystem::perms(0640));
    const std::filesystem::path link = dir.file("link.pdf");
    std::filesystem::create_symlink(document, link);
    SaveEngine().saveInPlace(job(), link.string());
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(itemsOnPage(document, 0), fiveItems(1));
    EXPECT_EQ(std::filesystem::status(document).permissions(), std::filesystem::perms(0640));
}

bool toolAvailable(const std::string& tool)
{
    return runCommand({"sh", "-c", "command -v " + tool}).status == 0;
}

// Signing rewrites nothing before the signature; a rewrite would.
TEST_F(SaveInPlace, SignedFileIsNeverRewritten)
{
    if (!toolAvailable("pdfsig") || !toolAvailable("certutil")) GTEST_SKIP() << "needs pdfsig and certutil";
    const std::string nss = "sql:" + dir.file("nss").string();
    std::filesystem::create_directory(dir.file("nss"));
    writeFile(dir.file("noise"), std::string(64, 'x') + std::to_string(getpid()));
    ASSERT_EQ(runCommand({"certutil", "-N", "-d", nss, "--empty-password"}).status, 0);
    ASSERT_EQ(runCommand({"certutil", "-S", "-d", nss, "-n", "saver", "-s", "CN=Save Test", "-x", "-t", "CT,C,C",
                          "-k", "rsa", "-g", "2048", "-v", "12", "-z", dir.file("noise").string(), "--keyUsage",
                          "digitalSignature,nonRepudiation"})
                  .status,
              0);
    const std::filesystem::path normalized = dir.file("normalized.pdf");
    ASSERT_EQ(runQpdf({document.string(), normalized.string()}).status, 0);
    std::filesystem::remove(document);
    ASSERT_EQ(runCommand({"pdfsig", "-add-signature", "-nssdir", nss, "-nick", "saver", normalized.string(),
                          document.string()})
                  .status,
              0);
    std::filesystem::copy_file(document, source, std::filesystem::copy_options::overwrite_existing);
    const std::string signedBytes = readFile(document);
    auto signatureValid = [&] {
        return runCommand({"pdfsig", "-nssdir", nss, document.string()}).out.find("Signature is Valid.") !=
               std::string::npos;
    };
    ASSERT_TRUE(signatureValid());

    // The incremental save fails: no rewrite, nothing changed.
    FileClonerCalls failing = FileClonerCalls::system();
    failing.fsync = [](int) {
        errno = EIO;
        return -1;
    };
    SaveEngineError error = SaveEngineError::writeFailed();
    try {
        SaveEngine(failing).saveInPlace(job(), document.string());
    } catch (const SaveEngineError& e) {
        error = e;
    }
    EXPECT_EQ(error.code(), Code::signedUnsupported);
    EXPECT_NE(error.text().find("break its signatures"), std::string::npos) << error.text();
    EXPECT_EQ(readFile(document), signedBytes);
    EXPECT_TRUE(signatureValid());
    EXPECT_TRUE(noTemporaryFiles());

    // A crashed earlier save does not send it to the rewrite either.
    leaveStaleMarker(job());
    EXPECT_EQ(SaveEngine().saveInPlace(job(), document.string()).method, SaveOutcome::Method::incremental);
    EXPECT_TRUE(signatureValid());
}

}  // namespace
}  // namespace quillet::testing
