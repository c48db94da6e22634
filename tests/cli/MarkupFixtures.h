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

struct SourceLayout {
    std::string name;
    std::vector<std::string> qpdfArgs;  // how qpdf makes it from a plain document
    std::optional<std::string> password;
};

inline std::vector<SourceLayout> sourceLayouts() {
    return {
        {"classic_table", {}, std::nullopt},
    };
}

// The plain three-page document turned into `layout` by qpdf.
inline std::filesystem::path makeSource(const TempDir& dir, const SourceLayout& layout, int pages = 3) {
    const auto plain = dir.file("plain.pdf");
    writeFile(plain, simpleDocument(pages));
    const auto source = dir.file(layout.name + ".pdf");
    std::vector<std::string> args = layout.qpdfArgs;
    args.insert(args.end(), {plain.string(), source.string()});
    CommandResult r = runQpdf(args);
    EXPECT_EQ(r.status, 0) << r.err;
    return source;
}

inline std::vector<std::string> withPassword(std::vector<std::string> args,
                                             const std::optional<std::string>& password) {
    if (password) args.insert(args.end(), {"--password", *password});
    return args;
}

// `qpdf --check` passes without a single warning.
inline void expectQpdfClean(const std::filesystem::path& file, const std::optional<std::string>& password) {
    std::vector<std::string> args = {"--check", file.string()};
    if (password) args.insert(args.begin(), "--password=" + *password);
    CommandResult r = runQpdf(args);
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.out.find("WARNING"), std::string::npos) << r.out;
    EXPECT_EQ(r.err, "");
}

inline nlohmann::json listing(const std::filesystem::path& file, const std::optional<std::string>& password) {
    return quilletJSON(withPassword({"list", file.string()}, password));
}

}  // namespace quillet::testing
