// Whether bytes left on disk give away a text: the text itself, or any JSON
// string of them that is the text in Base64, in zlib under Base64, or an item
// payload ("QLT1:" + Base64 of zlib) holding it.
#pragma once

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>

#include "core/markup/Base64.h"
#include "core/markup/ItemCodec.h"
#include "core/pdf/Flate.h"
#include "support/TempDir.h"

namespace quillet::testing {

inline bool decodedHolds(std::string text, const std::string& secret) {
    if (text.starts_with(ItemCodec::kPrefix)) text.erase(0, ItemCodec::kPrefix.size());
    const std::optional<std::string> decoded = Base64::decode(text);
    if (!decoded) return false;
    if (decoded->find(secret) != std::string::npos) return true;
    try {
        return Flate::inflate(*decoded, 1 << 24).find(secret) != std::string::npos;
    } catch (const CoreError&) {
        return false;  // not a zlib stream
    }
}

inline bool jsonHolds(const nlohmann::json& value, const std::string& secret) {
    if (value.is_string()) return decodedHolds(value.get<std::string>(), secret);
    if (value.is_object()) {
        for (const auto& [key, member] : value.items())
            if (decodedHolds(key, secret) || jsonHolds(member, secret)) return true;
    }
    if (value.is_array()) {
        for (const nlohmann::json& member : value)
            if (jsonHolds(member, secret)) return true;
    }
    return false;
}

inline bool revealsText(const std::string& bytes, const std::string& secret) {
    if (bytes.find(secret) != std::string::npos) return true;
    const nlohmann::json json = nlohmann::json::parse(bytes, nullptr, false);
    return !json.is_discarded() && jsonHolds(json, secret);
}

// The files under `folder` (at any depth) whose bytes give the secret away.
inline std::vector<std::string> filesRevealing(const std::filesystem::path& folder,
                                               const std::string& secret) {
    std::vector<std::string> found;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
        if (entry.is_regular_file() && revealsText(readFile(entry.path()), secret))
            found.push_back(entry.path().string());
    return found;
}

}  // namespace quillet::testing
