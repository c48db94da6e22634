#include "core/pdf/Crypto.h"

#include <nettle/aes.h>
#include <nettle/arcfour.h>
#include <nettle/cbc.h>
#include <nettle/md5.h>
#include <nettle/sha2.h>
#include <sys/random.h>

#include <cerrno>
#include <system_error>

namespace quillet::crypto {
namespace {

const uint8_t* u8(std::string_view s) {
    return reinterpret_cast<const uint8_t*>(s.data());
}
uint8_t* u8(Bytes& s) {
    return reinterpret_cast<uint8_t*>(s.data());
}

template <typename Ctx, size_t DigestSize>
Bytes digest(std::string_view data, void (*init)(Ctx*), void (*update)(Ctx*, size_t, const uint8_t*),
             void (*finish)(Ctx*, size_t, uint8_t*)) {
    Ctx ctx;
    init(&ctx);
    update(&ctx, data.size(), u8(data));
    Bytes out(DigestSize, '\0');
    finish(&ctx, out.size(), u8(out));
    return out;
}

// nettle's CBC helpers call the block function through a generic pointer
// type; these adapters have exactly that type, so no function pointer is cast.
template <typename Ctx, void (*Block)(const Ctx*, size_t, uint8_t*, const uint8_t*)>
void blockFn(const void* ctx, size_t length, uint8_t* dst, const uint8_t* src) {
    Block(static_cast<const Ctx*>(ctx), length, dst, src);
}

// One AES key schedule of whichever size the key has.
struct AESKey {
    union {
        aes128_ctx k128;
        aes192_ctx k192;
        aes256_ctx k256;
    };
    const void* ctx = nullptr;
    nettle_cipher_func* fn = nullptr;

    // False when the key size is not 16, 24 or 32 bytes.
    bool set(std::string_view key, bool encrypt) {
        switch (key.size()) {
            case AES128_KEY_SIZE:
                encrypt ? aes128_set_encrypt_key(&k128, u8(key)) : aes128_set_decrypt_key(&k128, u8(key));
                ctx = &k128;
                fn = encrypt ? blockFn<aes128_ctx, aes128_encrypt> : blockFn<aes128_ctx, aes128_decrypt>;
                return true;
            case AES192_KEY_SIZE:
                encrypt ? aes192_set_encrypt_key(&k192, u8(key)) : aes192_set_decrypt_key(&k192, u8(key));
                ctx = &k192;
                fn = encrypt ? blockFn<aes192_ctx, aes192_encrypt> : blockFn<aes192_ctx, aes192_decrypt>;
                return true;
            case AES256_KEY_SIZE:
                encrypt ? aes256_set_encrypt_key(&k256, u8(key)) : aes256_set_decrypt_key(&k256, u8(key));
                ctx = &k256;
                fn = encrypt ? blockFn<aes256_ctx, aes256_encrypt> : blockFn<aes256_ctx, aes256_decrypt>;
                return true;
            default:
                return false;
        }
    }
};

// Strips PKCS#7 padding; absent when the padding is not well formed.
std::optional<Bytes> unpad(Bytes plain) {
    if (plain.empty()) return std::nullopt;
    const auto n = static_cast<unsigned char>(plain.back());
    if (n == 0 || n > AES_BLOCK_SIZE || n > plain.size()) return std::nullopt;
    for (size_t i = plain.size() - n; i < plain.size(); ++i)
        if (static_cast<unsigned char>(plain[i]) != n) return std::nullopt;
    plain.resize(plain.size() - n);
    return plain;
}

}  // namespace

Bytes md5(std::string_view data) {
    return digest<md5_ctx, MD5_DIGEST_SIZE>(data, md5_init, md5_update, md5_digest);
}
Bytes sha256(std::string_view data) {
    return digest<sha256_ctx, SHA256_DIGEST_SIZE>(data, sha256_init, sha256_update, sha256_digest);
}
Bytes sha384(std::string_view data) {
    return digest<sha512_ctx, SHA384_DIGEST_SIZE>(data, sha384_init, sha512_update, sha384_digest);
}
Bytes sha512(std::string_view data) {
    return digest<sha512_ctx, SHA512_DIGEST_SIZE>(data, sha512_init, sha512_update, sha512_digest);
}

std::optional<Bytes> rc4(std::string_view key, std::string_view data) {
    if (key.size() < ARCFOUR_MIN_KEY_SIZE || key.size() > ARCFOUR_MAX_KEY_SIZE) return std::nullopt;
    arcfour_ctx ctx;
    arcfour_set_key(&ctx, key.size(), u8(key));
    Bytes out(data.size(), '\0');
    if (!data.empty()) arcfour_crypt(&ctx, data.size(), u8(out), u8(data));
    return out;
}

std::optional<Bytes> aesCbcEncrypt(std::string_view key, std::string_view iv, std::string_view data,
                                   bool pkcs7) {
    AESKey k;
    if (iv.size() != AES_BLOCK_SIZE || !k.set(key, true)) return std::nullopt;
    Bytes plain(data);
    if (pkcs7) {
        const size_t n = AES_BLOCK_SIZE - plain.size() % AES_BLOCK_SIZE;
        plain.append(n, static_cast<char>(n));
    } else if (plain.size() % AES_BLOCK_SIZE != 0) {
        return std::nullopt;
    }
    Bytes out(plain.size(), '\0');
    Bytes vec(iv);  // nettle advances the vector in place
    if (!plain.empty()) cbc_encrypt(k.ctx, k.fn, AES_BLOCK_SIZE, u8(vec), plain.size(), u8(out), u8(plain));
    return out;
}

std::optional<Bytes> aesCbcDecrypt(std::string_view key, std::string_view iv, std::string_view data,
                                   bool pkcs7) {
    AESKey k;
    if (iv.size() != AES_BLOCK_SIZE || !k.set(key, false)) return std::nullopt;
    if (data.size() % AES_BLOCK_SIZE != 0) return std::nullopt;
    Bytes out(data.size(), '\0');
    Bytes vec(iv);
    if (!data.empty()) cbc_decrypt(k.ctx, k.fn, AES_BLOCK_SIZE, u8(vec), data.size(), u8(out), u8(data));
    if (!pkcs7) return out;
    return unpad(std::move(out));
}

Bytes randomBytes(size_t n) {
    Bytes out(n, '\0');
    size_t done = 0;
    while (done < n) {
        const ssize_t got = getrandom(out.data() + done, n - done, 0);
        if (got < 0) {
            if (errno == EINTR) continue;
            throw std::system_error(errno, std::generic_category(), "getrandom");
        }
        done += static_cast<size_t>(got);
    }
    return out;
}

}  // namespace quillet::crypto
