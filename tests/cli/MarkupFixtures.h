#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "QuilletProcess.h"
#include "support/PdfFixtures.h"
#include "support/TempDir.h"

namespace quillet::testing {

// The plain three-page document rewritten by qpdf, as other tools save it.
inline std::filesystem::path makeSource(const TempDir& dir) {
    writeFile(dir.file("plain.pdf"), simpleDocument(3));
    CommandResult r = runQpdf({dir.file("plain.pdf").string(), dir.file("source.pdf").string()});
    EXPECT_EQ(r.status, 0) << r.err;
    return dir.file("source.pdf");
}

// `qpdf --check` passes without a single warning.
inline void expectQpdfClean(const std::filesystem::path& file) {
    CommandResult r = runQpdf({"--check", file.string()});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.out.find("WARNING"), std::string::npos) << r.out;
    EXPECT_EQ(r.err, "");
}

inline nlohmann::json listing(const std::filesystem::path& file) {
    return quilletJSON({"list", file.string()});
}

// The items `quillet list` finds on a page (counted from 0); none when the
// listing fails.
inline nlohmann::json itemsOn(const std::filesystem::path& file, int page = 0) {
    const nlohmann::json listed = listing(file);
    const std::string key = std::to_string(page);
    return listed.is_object() && listed["pages"].contains(key) ? listed["pages"][key]
                                                               : nlohmann::json::array();
}

}  // namespace quillet::testing
