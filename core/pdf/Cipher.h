// The encryption methods a crypt filter can name.
#pragma once

#include <string_view>

namespace quillet {

enum class Cipher {
    identity,  // no encryption
    rc4,
    aesV2,  // AES-128-CBC
    aesV3,  // AES-256-CBC
};

// "identity", "rc4", "aesV2" or "aesV3" (for logs and test output).
std::string_view cipherName(Cipher c);

// The AES methods carry a 16-byte initialisation vector before the data.
inline bool isAES(Cipher c) {
    return c == Cipher::aesV2 || c == Cipher::aesV3;
}

}  // namespace quillet
