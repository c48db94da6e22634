// The standard password security handler, revisions 2 to 6: finds the file
// key from the /Encrypt dictionary and a password, then encrypts and decrypts
// the strings and stream data of individual objects. Immutable after
// construction and shared (std::shared_ptr<const SecurityHandler>) by the
// reader that built it and any writer appending to the same file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "core/pdf/Cipher.h"
#include "core/pdf/PDFSecurityError.h"
#include "core/pdf/PDFValue.h"

namespace quillet {

class SecurityHandler {
  public:
    // encryptDict: the resolved /Encrypt dictionary (its entries must be
    // direct values). firstID: the first element of the trailer's /ID, empty
    // if there is none. password: UTF-8 text; the empty password is always
    // tried after it. Throws PDFSecurityError.
    SecurityHandler(const PDFDictionary& encryptDict, const Bytes& firstID,
                    const std::optional<std::string>& password);

    const Bytes& fileKey() const { return fileKey_; }
    Cipher stringCipher() const { return stringCipher_; }
    Cipher streamCipher() const { return streamCipher_; }
    int64_t revision() const { return revision_; }
    // False when the dictionary says /EncryptMetadata false.
    bool encryptMetadata() const { return encryptMetadata_; }

    Bytes decryptString(const Bytes& bytes, int64_t num, int64_t gen) const;
    Bytes encryptString(const Bytes& bytes, int64_t num, int64_t gen) const;
    Bytes decryptStream(const Bytes& bytes, int64_t num, int64_t gen) const;
    Bytes encryptStream(const Bytes& bytes, int64_t num, int64_t gen) const;

    // The operation behind the four above, for object num/gen. Decrypting
    // never throws: undecryptable AES input (shorter than one block, bad
    // padding) gives empty bytes. Encrypting with AES draws a fresh random
    // initialisation vector each time; it throws PDFSecurityError
    // (unsupported) when the file pairs AES with a key too short for it,
    // rather than return empty data in place of the object, and
    // std::system_error if the random source fails.
    Bytes crypt(const Bytes& bytes, int64_t num, int64_t gen, Cipher cipher, bool encrypt) const;

    // The value with every string inside it, at any depth of arrays and
    // dictionary values, passed through stringCipher; all else unchanged.
    PDFValue cryptValue(const PDFValue& value, int64_t num, int64_t gen, bool encrypt) const;

    // The key for one object: the file key for aesV3, otherwise the
    // MD5-derived key of the standard's algorithm 1.
    Bytes objectKey(int64_t num, int64_t gen, Cipher cipher) const;

  private:
    Bytes fileKey_;
    Cipher stringCipher_ = Cipher::identity;
    Cipher streamCipher_ = Cipher::identity;
    int64_t revision_ = 0;
    bool encryptMetadata_ = true;
};

}  // namespace quillet
