// The journal seal: what it seals opens again under the same file key, salt
// and context, and nothing else does, down to any single byte.
#include "core/pdf/JournalSeal.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace quillet {
namespace {

const Bytes kFileKey(32, '\x5a');
const Bytes kPlain = "QLT1:the secret text of a typed box";
const std::string kContext = "page 3";

TEST(JournalSeal, SealedPayloadsOpenOnlyWithTheSameKeySaltAndContext) {
    const JournalSeal writer(kFileKey);
    ASSERT_EQ(writer.salt().size(), JournalSeal::saltSize);
    EXPECT_NE(JournalSeal(kFileKey).salt(), writer.salt()) << "every record draws its own salt";
    for (const Bytes& plain : {Bytes(), Bytes("x"), kPlain, Bytes(100'000, 'q')}) {
        const std::optional<Bytes> sealed = writer.seal(plain, kContext);
        ASSERT_TRUE(sealed);
        EXPECT_EQ(sealed->size(), JournalSeal::nonceSize + plain.size() + JournalSeal::tagSize);
        EXPECT_EQ(JournalSeal::forRecord(kFileKey, writer.salt())->open(*sealed, kContext), plain);
        if (plain.size() > 8) {
            EXPECT_EQ(sealed->find(plain.substr(0, 8)), Bytes::npos);
        }
    }
    EXPECT_NE(writer.seal(kPlain, kContext), writer.seal(kPlain, kContext)) << "every payload its own nonce";

    // Each way a record can differ from what was sealed, at every byte.
    struct Record {
        Bytes fileKey, salt, sealed;
        std::string context;
    };
    const Record good{kFileKey, writer.salt(), *writer.seal(kPlain, kContext), kContext};
    auto flipped = [](Bytes bytes, size_t at) {
        bytes[at] = static_cast<char>(bytes[at] ^ 0x01);
        return bytes;
    };
    const struct {
        const char* what;
        size_t positions;
        std::function<void(Record&, size_t)> change;
    } tamperings[] = {
        {"nonce, ciphertext or tag byte", good.sealed.size(),
         [&](Record& r, size_t i) { r.sealed = flipped(r.sealed, i); }},
        {"salt byte", JournalSeal::saltSize, [&](Record& r, size_t i) { r.salt = flipped(r.salt, i); }},
        {"file key byte", kFileKey.size(), [&](Record& r, size_t i) { r.fileKey = flipped(r.fileKey, i); }},
        {"context byte", kContext.size(), [&](Record& r, size_t i) { r.context = flipped(r.context, i); }},
        {"truncation to length", good.sealed.size(), [](Record& r, size_t i) { r.sealed.resize(i); }},
        {"shorter file key", 1, [](Record& r, size_t) { r.fileKey.pop_back(); }},
    };
    for (const auto& tampering : tamperings) {
        for (size_t i = 0; i < tampering.positions; ++i) {
            Record r = good;
            tampering.change(r, i);
            const std::optional<JournalSeal> opener = JournalSeal::forRecord(r.fileKey, r.salt);
            ASSERT_TRUE(opener);
            EXPECT_FALSE(opener->open(r.sealed, r.context)) << tampering.what << " " << i;
        }
    }

    // Sizes no seal has are refused before any work.
    EXPECT_FALSE(JournalSeal::forRecord(kFileKey, Bytes(JournalSeal::saltSize - 1, 's')));
    EXPECT_FALSE(JournalSeal::forRecord(kFileKey, Bytes(JournalSeal::saltSize + 1, 's')));
    EXPECT_FALSE(writer.seal(Bytes(JournalSeal::maxPlainSize + 1, 'p'), kContext));
    EXPECT_FALSE(writer.open(Bytes(JournalSeal::maxSealedSize + 1, 'p'), kContext));
}

}  // namespace
}  // namespace quillet
