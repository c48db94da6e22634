#include "app/document/DocumentKey.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "core/pdf/Crypto.h"

namespace quillet::DocumentKey {

std::string resolvedPath(const std::string& documentPath) {
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(documentPath, error);
    if (error) {
        return documentPath;
    }
    std::filesystem::path resolved = std::filesystem::weakly_canonical(absolute, error);
    return error ? absolute.lexically_normal().string() : resolved.string();
}

std::string of(const std::string& documentPath) {
    const Bytes digest = crypto::sha256(resolvedPath(documentPath));
    std::string key;
    for (size_t i = 0; i < digest.size() && key.size() < length; ++i) {
        char pair[3];
        std::snprintf(pair, sizeof pair, "%02x", static_cast<unsigned char>(digest[i]));
        key += pair;
    }
    return key;
}

}  // namespace quillet::DocumentKey
