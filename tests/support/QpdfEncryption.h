// The ways qpdf encrypts a file, shared by the tests that check the reader,
// the security handler and the writer against qpdf.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/pdf/Cipher.h"

namespace quillet::testing {

struct EncryptionVariant {
    std::string name;
    std::vector<std::string> keyArgs;  // key length and options after the passwords
    int64_t revision = 0;
    Cipher cipher = Cipher::identity;
    size_t keyLength = 0;
    bool encryptMetadata = true;
    bool objectStreams = false;  // objects in (encrypted) object streams, xref stream
};

inline const std::vector<EncryptionVariant>& qpdfEncryptionVariants() {
    static const std::vector<EncryptionVariant> variants = {
        {"rc4_40", {"40"}, 2, Cipher::rc4, 5},
        {"rc4_128", {"128", "--use-aes=n"}, 3, Cipher::rc4, 16},
        {"rc4_128_v4", {"128", "--use-aes=n", "--force-V4"}, 4, Cipher::rc4, 16},
        {"aes_128", {"128", "--use-aes=y"}, 4, Cipher::aesV2, 16},
        {"aes_128_cleartext_metadata",
         {"128", "--use-aes=y", "--cleartext-metadata"},
         4,
         Cipher::aesV2,
         16,
         false},
        {"aes_256_r5", {"256", "--force-R5"}, 5, Cipher::aesV3, 32},
        {"aes_256", {"256"}, 6, Cipher::aesV3, 32},
        {"aes_256_object_streams", {"256"}, 6, Cipher::aesV3, 32, true, true},
    };
    return variants;
}

// qpdf's options that encrypt with these passwords, up to the "--" before the
// file names; `extra` goes before --encrypt (qpdf 11 wants its weak-crypto
// and password-mode options there).
inline std::vector<std::string> qpdfEncryptArgs(const EncryptionVariant& v, const std::string& user,
                                                const std::string& owner,
                                                const std::vector<std::string>& extra = {}) {
    std::vector<std::string> args = {"--allow-weak-crypto"};
    if (v.objectStreams) args.push_back("--object-streams=generate");
    args.insert(args.end(), extra.begin(), extra.end());
    args.insert(args.end(), {"--encrypt", user, owner});
    args.insert(args.end(), v.keyArgs.begin(), v.keyArgs.end());
    args.push_back("--");
    return args;
}

}  // namespace quillet::testing
