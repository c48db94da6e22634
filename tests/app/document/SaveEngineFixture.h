// Shared by the save engine's tests: a private application-data folder (for
// crash markers), plain and encrypted source documents, and jobs over them.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <optional>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "app/document/CrashMarker.h"
#include "app/document/SaveEngine.h"
#include "core/save/SaveTestItems.h"
#include "support/PdfFixtures.h"
#include "support/TempDir.h"

namespace quillet::testing {

class SaveEngineTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("XDG_DATA_HOME", dir.file("data").c_str(), 1);
        writeFile(source, simpleDocument(3));
    }

    SaveJob jobFor(std::map<int, std::vector<AnnotationItem>> pages, int pageCount = 3) const
    {
        SaveJob job;
        job.source = source.string();
        job.documentPath = document.string();
        job.pageCount = pageCount;
        job.pages = std::move(pages);
        return job;
    }

    // A marker left by a process that no longer exists (no process can have
    // this id: it is above every kernel's pid limit).
    void leaveStaleMarker(const SaveJob& job) const
    {
        const CrashMarker marker(job.documentPath);
        std::filesystem::create_directories(std::filesystem::path(*marker.path()).parent_path());
        writeFile(*marker.path(), "2147483646");
        ASSERT_TRUE(marker.isStale());
    }

    TempDir dir;
    std::filesystem::path source = dir.file("working.pdf");
    std::filesystem::path document = dir.file("document.pdf");
    std::filesystem::path output = dir.file("output.pdf");
};

// The code of the SaveEngineError `action` throws.
inline std::optional<SaveEngineError::Code> failureCode(const std::function<void()>& action)
{
    try {
        action();
    } catch (const SaveEngineError& error) {
        return error.code();
    }
    return std::nullopt;
}

inline std::vector<AnnotationItem> fiveItems(int firstId)
{
    return {inkItem(firstId, {{100, 100}, {200, 150}}), textItem(firstId + 1, {100, 400}, "Hello"),
            arrowItem(firstId + 2, {300, 300}, {400, 350}, "label"), noteItem(firstId + 3, {450, 600}, "note"),
            inkItem(firstId + 4, {{50, 50}, {60, 80}}, {1, 1, 0, 1}, InkKind::highlighter, 12)};
}

}  // namespace quillet::testing
