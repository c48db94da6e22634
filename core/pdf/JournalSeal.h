// Seals the payloads of one recovery record of an encrypted document, so that
// the markup kept outside the file is no easier to read than the file itself.
// Each record draws a random salt, and HKDF-SHA-256 derives from it and the
// document's file key (never the password) a 32-byte key for that record
// alone; each payload is then sealed with AES-256-GCM under a fresh random
// 12-byte nonce, as nonce, ciphertext and 16-byte tag in one byte string.
// Opening checks the tag in constant time and gives the plaintext only when
// every byte of salt, nonce, ciphertext, tag and context is the one sealed:
// anything else (wrong key, damage, a payload moved between contexts) is
// absent, never a partial result.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

#include "core/pdf/PDFValue.h"

namespace quillet {

class JournalSeal {
  public:
    static constexpr size_t saltSize = 16;
    static constexpr size_t nonceSize = 12;
    static constexpr size_t tagSize = 16;
    // The largest payload sealed or opened: an item payload is far smaller,
    // and a hostile record must not make the reader allocate without bound.
    static constexpr size_t maxPlainSize = 16 * 1024 * 1024;
    static constexpr size_t maxSealedSize = nonceSize + maxPlainSize + tagSize;
    // What the derived key is for, so that no other use of the same file key
    // can ever produce it.
    static constexpr std::string_view keyPurpose = "Quillet recovery journal record key, AES-256-GCM";

    // A seal for a new record, with a fresh random salt. Throws
    // std::system_error if the random source fails.
    explicit JournalSeal(std::string_view fileKey);
    // The seal of a record written with `salt`; absent when the salt does not
    // have saltSize bytes.
    static std::optional<JournalSeal> forRecord(std::string_view fileKey, std::string_view salt);

    // Stored in the record: opening needs it and the file key.
    const Bytes& salt() const { return salt_; }

    // nonce + ciphertext + tag of `plain`; `context` (e.g. where the payload
    // sits in the record) is authenticated but not stored. Absent when
    // `plain` is larger than maxPlainSize. Throws std::system_error if the
    // random source fails.
    std::optional<Bytes> seal(std::string_view plain, std::string_view context) const;
    // The plaintext, or absent when `sealed` is shorter than a nonce and a
    // tag, longer than maxSealedSize, or not sealed under this key and context.
    std::optional<Bytes> open(std::string_view sealed, std::string_view context) const;

  private:
    JournalSeal(std::string_view fileKey, Bytes salt);

    Bytes salt_;
    Bytes key_;
};

}  // namespace quillet
