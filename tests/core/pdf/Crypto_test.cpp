#include "core/pdf/Crypto.h"

#include <gtest/gtest.h>

#include <string>

namespace quillet {
namespace {

std::string hex(std::string_view bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

Bytes unhex(std::string_view text) {
    Bytes out;
    for (size_t i = 0; i + 1 < text.size(); i += 2)
        out.push_back(static_cast<char>(std::stoi(std::string(text.substr(i, 2)), nullptr, 16)));
    return out;
}

// RFC 1321 and FIPS 180-2's examples.
TEST(Crypto, HashesMatchThePublishedVectors) {
    const std::string quick = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
    EXPECT_EQ(hex(crypto::md5("")), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(hex(crypto::md5("message digest")), "f96b697d7cb7938d525a2f31aaf161d0");
    EXPECT_EQ(hex(crypto::sha256("abc")), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(hex(crypto::sha256(quick)), "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    EXPECT_EQ(
        hex(crypto::sha384("abc")),
        "cb00753f45a35e8bb5a03d699ac65007272c32ab0eded1631a8b605a43ff5bed8086072ba1e7cc2358baeca134c825a7");
    EXPECT_EQ(hex(crypto::sha512("abc")),
              "ddaf35a193617abacc417349ae20413112e6fa4e89a97ea20a9eeee64b55d39a"
              "2192992a274fc1a836ba3c23a3feebbd454d4423643ce80e2a9ac94fa54ca49f");
}

// RFC 6229's first keystream bytes for the 40-bit key 0102030405, and the
// key sizes RC4 takes.
TEST(Crypto, RC4MatchesThePublishedKeystreamAndDecryptsWithTheSameCall) {
    const Bytes key = unhex("0102030405");
    EXPECT_EQ(hex(*crypto::rc4(key, Bytes(16, '\0'))), "b2396305f03dc027ccc3524a0a1118a8");
    EXPECT_EQ(crypto::rc4(key, *crypto::rc4(key, "plain text")), "plain text");
    EXPECT_EQ(crypto::rc4(key, ""), "");
    EXPECT_FALSE(crypto::rc4("", "x"));
    EXPECT_FALSE(crypto::rc4(Bytes(257, 'k'), "x"));
    EXPECT_TRUE(crypto::rc4(Bytes(256, 'k'), "x"));
}

// NIST SP 800-38A, F.2.1 and F.2.5: the first two blocks of CBC-AES128 and
// CBC-AES256.
TEST(Crypto, AesCbcMatchesTheNISTVectorsBothWays) {
    const Bytes iv = unhex("000102030405060708090a0b0c0d0e0f");
    const Bytes plain = unhex("6bc1bee22e409f96e93d7e117393172aae2d8a571e03ac9c9eb76fac45af8e51");
    const std::pair<const char*, const char*> cases[] = {
        {"2b7e151628aed2a6abf7158809cf4f3c",
         "7649abac8119b246cee98e9b12e9197d5086cb9b507219ee95db113a917678b2"},
        {"603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4",
         "f58c4c04d6e5f1ba779eabfb5f7bfbd69cfc4e967edb808d679f777bc6702c7d"},
    };
    for (const auto& [key, cipher] : cases) {
        EXPECT_EQ(hex(*crypto::aesCbcEncrypt(unhex(key), iv, plain, false)), cipher) << key;
        EXPECT_EQ(crypto::aesCbcDecrypt(unhex(key), iv, unhex(cipher), false), plain) << key;
    }
}

TEST(Crypto, AesPaddingIsAddedAndCheckedAndBadSizesAreRefused) {
    const Bytes key(16, 'k'), iv(16, 'v');
    for (size_t n : {0, 1, 15, 16, 17}) {
        const Bytes text(n, 'p');
        const std::optional<Bytes> sealed = crypto::aesCbcEncrypt(key, iv, text, true);
        ASSERT_TRUE(sealed);
        EXPECT_EQ(sealed->size(), (n / 16 + 1) * 16) << n;
        EXPECT_EQ(crypto::aesCbcDecrypt(key, iv, *sealed, true), text) << n;
    }
    // A last block that decrypts to a pad byte of 0 or above 16, or to pad
    // bytes that differ, is not PKCS#7.
    for (const Bytes& last : {Bytes(16, '\0'), Bytes(16, '\x11'), Bytes(15, 'x') + "\x02"}) {
        const Bytes sealed = *crypto::aesCbcEncrypt(key, iv, last, false);
        EXPECT_FALSE(crypto::aesCbcDecrypt(key, iv, sealed, true)) << hex(last);
    }
    EXPECT_FALSE(crypto::aesCbcEncrypt(Bytes(15, 'k'), iv, "x", true));
    EXPECT_FALSE(crypto::aesCbcEncrypt(key, Bytes(8, 'v'), "x", true));
    EXPECT_FALSE(crypto::aesCbcEncrypt(key, iv, Bytes(17, 'p'), false));
    EXPECT_FALSE(crypto::aesCbcDecrypt(key, iv, Bytes(17, 'c'), false));
    EXPECT_TRUE(crypto::aesCbcEncrypt(Bytes(24, 'k'), iv, Bytes(16, 'p'), false));
}

}  // namespace
}  // namespace quillet
