// Shared by the save engine's tests: a private application-data folder (for
// crash markers), plain and encrypted source documents and jobs over them.
#pragma once

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "app/document/CrashMarker.h"
#include "app/document/SaveEngine.h"
#include "app/document/SaveEngineError.h"
#include "core/save/SaveTestItems.h"
#include "support/PdfFixtures.h"
#include "support/TempDir.h"

namespace quillet::testing {

// A pen stroke, a text box, a labelled arrow, a note and a highlighter stroke.
inline std::vector<AnnotationItem> fiveItems(int firstId) {
    return {inkItem(firstId, {{100, 100}, {200, 150}}), textItem(firstId + 1, {100, 400}, "Hello"),
            arrowItem(firstId + 2, {300, 300}, {400, 350}, "label"),
            noteItem(firstId + 3, {450, 600}, "note"),
            inkItem(firstId + 4, {{50, 50}, {60, 80}}, {1, 1, 0, 1}, InkKind::highlighter, 12)};
}

// The SaveEngineError `action` throws; without one, a test failure.
inline SaveEngineError failureOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const SaveEngineError& error) {
        return error;
    }
    ADD_FAILURE() << "no SaveEngineError";
    return SaveEngineError::writeFailed("no error");
}

// File calls whose every fsync fails, as on a failing disk.
inline FileClonerCalls failingFsync() {
    FileClonerCalls calls = FileClonerCalls::system();
    calls.fsync = [](int) { return (errno = EIO, -1); };
    return calls;
}

class SaveEngineTest : public ::testing::Test {
  protected:
    void SetUp() override {
        setenv("XDG_DATA_HOME", dir.file("data").c_str(), 1);
        writeFile(source, simpleDocument(3));
    }

    SaveJob jobFor(std::map<int, std::vector<AnnotationItem>> pages, int pageCount = 3) const {
        SaveJob job;
        job.source = source.string();
        job.documentPath = document.string();
        job.pageCount = pageCount;
        job.pages = std::move(pages);
        return job;
    }

    // What verifying `output` against a job of `pages` finds wrong.
    SaveEngineError::Detail verifyFailure(std::map<int, std::vector<AnnotationItem>> pages,
                                          int pageCount = 3) const {
        return failureOf([&] { SaveEngine::verify(output.string(), jobFor(std::move(pages), pageCount)); })
            .detail();
    }

    // Encrypts the source with qpdf (`how`: its encryption arguments) and
    // returns a job that opens it with `password`.
    SaveJob encryptedJobFor(std::map<int, std::vector<AnnotationItem>> pages, const std::string& password,
                            std::vector<std::string> how = {"--encrypt", "secret", "owner", "256", "--"}) {
        const std::filesystem::path plain = dir.file("unencrypted.pdf");
        std::filesystem::rename(source, plain);
        how.insert(how.end(), {plain.string(), source.string()});
        EXPECT_EQ(runQpdf(how).status, 0);
        SaveJob job = jobFor(std::move(pages));
        job.isEncrypted = true;
        job.password = password;
        return job;
    }

    // A marker left by a process that no longer exists (no process can have
    // this id: it is above every kernel's pid limit).
    void leaveStaleMarker(const SaveJob& job) const {
        const CrashMarker marker(job.documentPath);
        std::filesystem::create_directories(std::filesystem::path(*marker.path()).parent_path());
        writeFile(*marker.path(), "2147483646");
        ASSERT_TRUE(marker.isStale());
    }

    // Names in the test's folder that start with a dot: the save's temporary files.
    std::vector<std::string> hiddenFiles() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
            if (entry.path().filename().string().starts_with(".")) names.push_back(entry.path().filename());
        }
        return names;
    }

    TempDir dir;
    std::filesystem::path source = dir.file("working.pdf");
    std::filesystem::path document = dir.file("document.pdf");
    std::filesystem::path output = dir.file("output.pdf");
};

}  // namespace quillet::testing
