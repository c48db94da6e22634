// A save in place killed anywhere: one save runs in a child process that the
// self-test hook kills at a named point. Afterwards the user's file is its
// old or its new version byte for byte, qpdf accepts it, the document's
// cleanup on opening leaves no temporary file, and the next save works.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include "app/document/SaveEngine.h"
#include "app/document/SaveEngineFixture.h"
#include "app/platform/SelfTestHook.h"

namespace quillet::testing {
namespace {

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
