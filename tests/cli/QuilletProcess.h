// Running the built quillet tool as a separate process, as users and
// scripts do, and reading its JSON answer.
#pragma once

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "support/PdfFixtures.h"

namespace quillet::testing {

inline std::string quilletBinary() {
    return QUILLET_BINARY_DIR "/cli/quillet";
}

inline CommandResult runQuillet(std::vector<std::string> args) {
    args.insert(args.begin(), quilletBinary());
    return runCommand(args);
}

// The JSON printed by a run that must succeed; null (and a test failure)
// otherwise.
inline nlohmann::json quilletJSON(const std::vector<std::string>& args) {
    CommandResult r = runQuillet(args);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    if (r.status != 0) return nullptr;
    return nlohmann::json::parse(r.out, nullptr, false);
}

}  // namespace quillet::testing
