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

// A plain document of `pages` rewritten by qpdf with `options` into `name`.
inline std::filesystem::path qpdfDocument(const TempDir& dir, const std::string& name, int pages,
                                          std::vector<std::string> options = {}) {
    writeFile(dir.file("plain.pdf"), simpleDocument(pages));
    options.insert(options.end(), {dir.file("plain.pdf").string(), dir.file(name).string()});
    CommandResult r = runQpdf(options);
    EXPECT_EQ(r.status, 0) << r.err;
    return dir.file(name);
}

// The plain three-page document rewritten by qpdf, as other tools save it.
inline std::filesystem::path makeSource(const TempDir& dir) {
    return qpdfDocument(dir, "source.pdf", 3);
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
