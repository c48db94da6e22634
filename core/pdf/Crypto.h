// The hash, cipher and random primitives the security handler needs, over
// plain bytes so that no cryptographic library's headers leak into callers.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

#include "core/pdf/PDFValue.h"

namespace quillet::crypto {

Bytes md5(std::string_view data);
Bytes sha256(std::string_view data);
Bytes sha384(std::string_view data);
Bytes sha512(std::string_view data);

// RC4 (ARCFOUR); the same call encrypts and decrypts. The key must be 1 to
// 256 bytes; otherwise the result is absent.
std::optional<Bytes> rc4(std::string_view key, std::string_view data);

// AES-CBC with a 16-, 24- or 32-byte key and a 16-byte vector. With padding
// the plaintext gets PKCS#7 padding on encryption and loses it on decryption;
// without, the data must be whole blocks. Absent on a bad key or vector
// size, data that is not whole blocks, or (decrypting) bad padding.
std::optional<Bytes> aesCbcEncrypt(std::string_view key, std::string_view iv, std::string_view data,
                                   bool pkcs7);
std::optional<Bytes> aesCbcDecrypt(std::string_view key, std::string_view iv, std::string_view data,
                                   bool pkcs7);

// n bytes from the kernel's secure random source (getrandom). Throws
// std::system_error if the source fails.
Bytes randomBytes(size_t n);

}  // namespace quillet::crypto
