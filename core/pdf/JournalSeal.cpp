#include "core/pdf/JournalSeal.h"

#include <nettle/gcm.h>
#include <nettle/hkdf.h>
#include <nettle/hmac.h>
#include <nettle/memops.h>

#include <algorithm>
#include <utility>

#include "core/pdf/Crypto.h"

namespace quillet {
namespace {

constexpr size_t kKeySize = 32;
static_assert(kKeySize == AES256_KEY_SIZE && JournalSeal::nonceSize == GCM_IV_SIZE &&
              JournalSeal::tagSize == GCM_DIGEST_SIZE);

const uint8_t* u8(std::string_view s) {
    return reinterpret_cast<const uint8_t*>(s.data());
}
uint8_t* u8(Bytes& s) {
    return reinterpret_cast<uint8_t*>(s.data());
}

// nettle's HKDF calls the MAC through generic pointer types; these adapters
// have exactly those types, so no function pointer is cast.
void hmacUpdate(void* ctx, size_t length, const uint8_t* data) {
    hmac_sha256_update(static_cast<hmac_sha256_ctx*>(ctx), length, data);
}
void hmacDigest(void* ctx, size_t length, uint8_t* digest) {
    hmac_sha256_digest(static_cast<hmac_sha256_ctx*>(ctx), length, digest);
}

// HKDF-SHA-256 (RFC 5869): extract with the salt, expand with the purpose.
Bytes deriveKey(std::string_view fileKey, std::string_view salt) {
    hmac_sha256_ctx mac;
    hmac_sha256_set_key(&mac, salt.size(), u8(salt));
    Bytes pseudoRandom(SHA256_DIGEST_SIZE, '\0');
    hkdf_extract(&mac, hmacUpdate, hmacDigest, SHA256_DIGEST_SIZE, fileKey.size(), u8(fileKey),
                 u8(pseudoRandom));
    hmac_sha256_set_key(&mac, pseudoRandom.size(), u8(pseudoRandom));
    Bytes key(kKeySize, '\0');
    const std::string_view info = JournalSeal::keyPurpose;
    hkdf_expand(&mac, hmacUpdate, hmacDigest, SHA256_DIGEST_SIZE, info.size(), u8(info), key.size(), u8(key));
    std::fill(pseudoRandom.begin(), pseudoRandom.end(), '\0');
    return key;
}

// A GCM context keyed, with the nonce and the authenticated context fed in.
gcm_aes256_ctx startGcm(const Bytes& key, std::string_view nonce, std::string_view context) {
    gcm_aes256_ctx gcm;
    gcm_aes256_set_key(&gcm, u8(key));
    gcm_aes256_set_iv(&gcm, nonce.size(), u8(nonce));
    gcm_aes256_update(&gcm, context.size(), u8(context));
    return gcm;
}

}  // namespace

JournalSeal::JournalSeal(std::string_view fileKey) : JournalSeal(fileKey, crypto::randomBytes(saltSize)) {}

JournalSeal::JournalSeal(std::string_view fileKey, Bytes salt)
    : salt_(std::move(salt)), key_(deriveKey(fileKey, salt_)) {}

std::optional<JournalSeal> JournalSeal::forRecord(std::string_view fileKey, std::string_view salt) {
    if (salt.size() != saltSize) return std::nullopt;
    return JournalSeal(fileKey, Bytes(salt));
}

std::optional<Bytes> JournalSeal::seal(std::string_view plain, std::string_view context) const {
    if (plain.size() > maxPlainSize) return std::nullopt;
    Bytes out = crypto::randomBytes(nonceSize);
    out.resize(nonceSize + plain.size() + tagSize);
    gcm_aes256_ctx gcm = startGcm(key_, std::string_view(out).substr(0, nonceSize), context);
    uint8_t* body = u8(out) + nonceSize;
    gcm_aes256_encrypt(&gcm, plain.size(), body, u8(plain));
    gcm_aes256_digest(&gcm, tagSize, body + plain.size());
    return out;
}

std::optional<Bytes> JournalSeal::open(std::string_view sealed, std::string_view context) const {
    if (sealed.size() < nonceSize + tagSize || sealed.size() > maxSealedSize) return std::nullopt;
    const std::string_view nonce = sealed.substr(0, nonceSize);
    const std::string_view body = sealed.substr(nonceSize, sealed.size() - nonceSize - tagSize);
    const std::string_view tag = sealed.substr(sealed.size() - tagSize);
    gcm_aes256_ctx gcm = startGcm(key_, nonce, context);
    Bytes plain(body.size(), '\0');
    gcm_aes256_decrypt(&gcm, body.size(), u8(plain), u8(body));
    Bytes computed(tagSize, '\0');
    gcm_aes256_digest(&gcm, tagSize, u8(computed));
    if (!memeql_sec(computed.data(), tag.data(), tagSize)) {
        // Nothing of an unauthenticated payload leaves here, not even in freed memory.
        std::fill(plain.begin(), plain.end(), '\0');
        return std::nullopt;
    }
    return plain;
}

}  // namespace quillet
