// Known-answer checks of the primitives the security handler builds on, and
// the PKCS#7 padding that the AES wrapper adds itself.
#include "core/pdf/Crypto.h"

#include <gtest/gtest.h>

#include "support/Hex.h"

namespace quillet {
namespace {

using testing::hex;
using testing::unhex;

TEST(Crypto, DigestsMatchPublishedVectors) {
    EXPECT_EQ(hex(crypto::md5("abc")), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(hex(crypto::sha256("abc")), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(
        hex(crypto::sha384("abc")),
        "cb00753f45a35e8bb5a03d699ac65007272c32ab0eded1631a8b605a43ff5bed8086072ba1e7cc2358baeca134c825a7");
    EXPECT_EQ(hex(crypto::sha512("abc")),
              "ddaf35a193617abacc417349ae20413112e6fa4e89a97ea20a9eeee64b55d39a"
              "2192992a274fc1a836ba3c23a3feebbd454d4423643ce80e2a9ac94fa54ca49f");
    EXPECT_EQ(hex(crypto::md5("")), "d41d8cd98f00b204e9800998ecf8427e");
}

TEST(Crypto, RC4MatchesPublishedVectorAndIsItsOwnInverse) {
    const auto sealed = crypto::rc4("Key", "Plaintext");
    ASSERT_TRUE(sealed);
    EXPECT_EQ(hex(*sealed), "bbf316e8d940af0ad3");
    EXPECT_EQ(crypto::rc4("Key", *sealed), "Plaintext");
    EXPECT_EQ(crypto::rc4("Key", ""), Bytes());
    EXPECT_FALSE(crypto::rc4("", "data"));
    EXPECT_FALSE(crypto::rc4(Bytes(257, 'k'), "data"));
}

TEST(Crypto, AESCBCWithoutPaddingMatchesNISTVectors) {
    const Bytes iv = unhex("000102030405060708090a0b0c0d0e0f");
    const Bytes plain = unhex("6bc1bee22e409f96e93d7e117393172aae2d8a571e03ac9c9eb76fac45af8e51");
    const Bytes key128 = unhex("2b7e151628aed2a6abf7158809cf4f3c");
    const Bytes key256 = unhex("603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4");

    for (const auto& [key, expected] :
         {std::pair{key128, "7649abac8119b246cee98e9b12e9197d5086cb9b507219ee95db113a917678b2"},
          std::pair{key256, "f58c4c04d6e5f1ba779eabfb5f7bfbd69cfc4e967edb808d679f777bc6702c7d"}}) {
        const auto sealed = crypto::aesCbcEncrypt(key, iv, plain, false);
        ASSERT_TRUE(sealed);
        EXPECT_EQ(hex(*sealed), expected);
        EXPECT_EQ(crypto::aesCbcDecrypt(key, iv, *sealed, false), plain);
    }
}

TEST(Crypto, PKCS7PaddingAlwaysAddsAndStripsAWholePad) {
    const Bytes key(16, 'k'), iv(16, 'i');
    for (size_t n : {0u, 1u, 15u, 16u, 17u, 32u}) {
        const Bytes plain(n, 'p');
        auto sealed = crypto::aesCbcEncrypt(key, iv, plain, true);
        ASSERT_TRUE(sealed);
        EXPECT_EQ(sealed->size(), (n / 16 + 1) * 16) << n;  // a full block of padding on exact multiples
        EXPECT_EQ(crypto::aesCbcDecrypt(key, iv, *sealed, true), plain) << n;
    }
}

TEST(Crypto, AESRejectsBadSizesAndMalformedPadding) {
    const Bytes key(16, 'k'), iv(16, 'i');
    EXPECT_FALSE(crypto::aesCbcEncrypt(Bytes(15, 'k'), iv, "x", true));
    EXPECT_FALSE(crypto::aesCbcEncrypt(key, Bytes(8, 'i'), "x", true));
    EXPECT_FALSE(crypto::aesCbcEncrypt(key, iv, Bytes(15, 'x'), false));
    EXPECT_FALSE(crypto::aesCbcDecrypt(key, iv, Bytes(17, 'x'), true));
    EXPECT_FALSE(crypto::aesCbcDecrypt(key, iv, Bytes(), true));

    // Blocks whose last plaintext byte is not a well-formed pad.
    for (const Bytes& block : {Bytes(15, 'a') + '\0', Bytes(15, 'a') + '\x11', Bytes(14, 'a') + "\x01\x02"}) {
        auto sealed = crypto::aesCbcEncrypt(key, iv, block, false);
        ASSERT_TRUE(sealed);
        EXPECT_FALSE(crypto::aesCbcDecrypt(key, iv, *sealed, true)) << hex(block);
        EXPECT_EQ(crypto::aesCbcDecrypt(key, iv, *sealed, false), block);
    }
}

TEST(Crypto, RandomBytesAreFreshEachDraw) {
    EXPECT_EQ(crypto::randomBytes(0), Bytes());
    const Bytes a = crypto::randomBytes(32), b = crypto::randomBytes(32);
    EXPECT_EQ(a.size(), 32u);
    EXPECT_NE(a, b);
}

}  // namespace
}  // namespace quillet
