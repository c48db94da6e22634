#include "core/pdf/SecurityHandler.h"

#include <algorithm>
#include <array>
#include <vector>

#include "core/pdf/Crypto.h"
#include "core/pdf/PasswordForms.h"

namespace quillet {
namespace {

// The standard security handler's password padding string.
constexpr std::array<unsigned char, 32> kPaddingBytes = {
    0x28, 0xBF, 0x4E, 0x5E, 0x4E, 0x75, 0x8A, 0x41, 0x64, 0x00, 0x4E, 0x56, 0xFF, 0xFA, 0x01, 0x08,
    0x2E, 0x2E, 0x00, 0xB6, 0xD0, 0x68, 0x3E, 0x80, 0x2F, 0x0C, 0xA9, 0xFE, 0x64, 0x53, 0x69, 0x7A};
const Bytes kPadding(reinterpret_cast<const char*>(kPaddingBytes.data()), kPaddingBytes.size());

constexpr size_t kLegacyPasswordLimit = 32;   // revisions 2-4 use at most 32 password bytes
constexpr size_t kModernPasswordLimit = 127;  // revisions 5-6 use at most 127
constexpr int kKeyStretchRounds = 50;         // MD5 re-hashes for revision 3 and later
constexpr int kUserCheckPasses = 20;          // RC4 passes of algorithm 5 and 7
constexpr int kHashMinRounds = 64;            // revision 6 hash: the fixed rounds
constexpr int kHashMaxRounds = 1001;          // and a hard stop for hostile data
constexpr size_t kAESBlock = 16;

// Everything the revision 2-4 algorithms read from the dictionary.
struct LegacyParams {
    Bytes o;  // first 32 bytes of O
    Bytes u;  // first 32 bytes of U
    uint32_t p = 0;
    Bytes firstID;
    int64_t revision = 0;
    bool encryptMetadata = true;
    size_t keyLength = 5;
};

// Everything the revision 5-6 algorithms read from the dictionary.
struct ModernParams {
    Bytes o, u, oe, ue;  // 48, 48, 32 and 32 bytes
    int64_t revision = 0;
};

Bytes rc4(std::string_view key, std::string_view data) {
    return crypto::rc4(key, data).value_or(Bytes());
}

Bytes xorKey(const Bytes& key, int i) {
    Bytes k = key;
    for (char& c : k) c = static_cast<char>(static_cast<unsigned char>(c) ^ i);
    return k;
}

Bytes padded(const Bytes& w) {
    return (w + kPadding).substr(0, 32);
}

// Algorithm 2: the file key a user password would give.
Bytes legacyKey(const LegacyParams& lp, const Bytes& w) {
    Bytes input = padded(w) + lp.o;
    for (int i = 0; i < 4; ++i) input.push_back(static_cast<char>((lp.p >> (8 * i)) & 0xFF));
    input += lp.firstID;
    if (lp.revision >= 4 && !lp.encryptMetadata) input += Bytes(4, '\xFF');
    Bytes digest = crypto::md5(input);
    if (lp.revision >= 3)
        for (int i = 0; i < kKeyStretchRounds; ++i) digest = crypto::md5(digest.substr(0, lp.keyLength));
    return digest.substr(0, lp.keyLength);
}

// Algorithms 4 and 5: does the key reproduce U?
bool userCheck(const LegacyParams& lp, const Bytes& key) {
    if (lp.revision == 2) return rc4(key, kPadding) == lp.u;
    Bytes x = rc4(key, crypto::md5(kPadding + lp.firstID));
    for (int i = 1; i < kUserCheckPasses; ++i) x = rc4(xorKey(key, i), x);
    return lp.u.size() >= 16 && x.compare(0, 16, lp.u, 0, 16) == 0;
}

std::optional<Bytes> tryUser(const LegacyParams& lp, const Bytes& w) {
    Bytes key = legacyKey(lp, w);
    if (userCheck(lp, key)) return key;
    return std::nullopt;
}

// Algorithm 7: recover the user password from O with the owner password.
std::optional<Bytes> tryOwner(const LegacyParams& lp, const Bytes& w) {
    Bytes digest = crypto::md5(padded(w));
    if (lp.revision >= 3)
        for (int i = 0; i < kKeyStretchRounds; ++i) digest = crypto::md5(digest);
    const Bytes key = digest.substr(0, lp.keyLength);
    Bytes user = lp.o;
    if (lp.revision == 2) {
        user = rc4(key, user);
    } else {
        for (int i = kUserCheckPasses - 1; i >= 0; --i) user = rc4(xorKey(key, i), user);
    }
    return tryUser(lp, user);
}

// The byte forms a revision 2-4 password is tried in: UTF-8, then Latin-1
// when every character fits one byte (older writers encoded it that way).
std::vector<Bytes> legacyPasswordForms(const std::string& text) {
    std::vector<Bytes> forms;
    for (const Bytes& form : passwordForms(text)) {
        Bytes cut = form.substr(0, kLegacyPasswordLimit);
        if (std::find(forms.begin(), forms.end(), cut) == forms.end()) forms.push_back(std::move(cut));
    }
    return forms;
}

std::optional<Bytes> legacyFileKey(const LegacyParams& lp, const std::vector<std::string>& candidates) {
    for (const std::string& candidate : candidates) {
        for (const Bytes& w : legacyPasswordForms(candidate)) {
            if (auto key = tryUser(lp, w)) return key;
            if (auto key = tryOwner(lp, w)) return key;
        }
    }
    return std::nullopt;
}

// Algorithm 2.A / 2.B: the password hash of revisions 5 and 6.
Bytes modernHash(int64_t revision, const Bytes& w, std::string_view salt, std::string_view u) {
    Bytes k = crypto::sha256(w + Bytes(salt) + Bytes(u));
    if (revision == 5) return k;
    for (int i = 0; i < kHashMaxRounds; ++i) {
        Bytes block = w + k + Bytes(u);
        Bytes k1;
        k1.reserve(block.size() * 64);
        for (int r = 0; r < 64; ++r) k1 += block;
        const Bytes e = crypto::aesCbcEncrypt(std::string_view(k).substr(0, 16),
                                              std::string_view(k).substr(16, 16), k1, false)
                            .value_or(Bytes());
        if (e.size() < kAESBlock) break;  // cannot happen: k1 is whole blocks
        unsigned sum = 0;
        for (size_t b = 0; b < kAESBlock; ++b) sum += static_cast<unsigned char>(e[b]);
        k = sum % 3 == 0 ? crypto::sha256(e) : sum % 3 == 1 ? crypto::sha384(e) : crypto::sha512(e);
        const int done = i + 1;
        if (done >= kHashMinRounds && static_cast<unsigned char>(e.back()) <= done - 32) break;
    }
    return k.substr(0, 32);
}

Bytes unwrapKey(const Bytes& intermediate, const Bytes& wrapped) {
    return crypto::aesCbcDecrypt(intermediate, Bytes(kAESBlock, '\0'), wrapped, false).value_or(Bytes());
}

std::optional<Bytes> modernFileKey(const ModernParams& mp, const std::vector<std::string>& candidates) {
    const std::string_view u(mp.u), o(mp.o);
    for (const std::string& candidate : candidates) {
        const Bytes w = candidate.substr(0, kModernPasswordLimit);
        Bytes key;
        if (modernHash(mp.revision, w, u.substr(32, 8), {}) == u.substr(0, 32)) {
            key = unwrapKey(modernHash(mp.revision, w, u.substr(40, 8), {}), mp.ue);
        } else if (modernHash(mp.revision, w, o.substr(32, 8), u) == o.substr(0, 32)) {
            key = unwrapKey(modernHash(mp.revision, w, o.substr(40, 8), u), mp.oe);
        }
        if (!key.empty()) return key;
    }
    return std::nullopt;
}

const PDFDictionary* cryptFilterDict(const PDFDictionary& cf, const std::string& name) {
    const PDFValue* v = cf.find(name);
    return v ? v->dictValue() : nullptr;
}

std::string filterName(const PDFDictionary& dict, std::string_view key) {
    const PDFValue* v = dict.find(key);
    const std::string* n = v ? v->nameValue() : nullptr;
    return n ? *n : "Identity";
}

Cipher selectCipher(const PDFDictionary& dict, const PDFDictionary& cf, std::string_view key) {
    const std::string name = filterName(dict, key);
    if (name == "Identity") return Cipher::identity;
    const PDFDictionary* filter = cryptFilterDict(cf, name);
    if (!filter) throw PDFSecurityError::unsupported("crypt filter " + name);
    const PDFValue* cfm = filter->find("CFM");
    const std::string* method = cfm ? cfm->nameValue() : nullptr;
    const std::string m = method ? *method : "None";
    if (m == "V2") return Cipher::rc4;
    if (m == "AESV2") return Cipher::aesV2;
    if (m == "AESV3") return Cipher::aesV3;
    if (m == "None") return Cipher::identity;
    throw PDFSecurityError::unsupported("CFM " + m);
}

// The revision 2-4 key length in bytes, from /Length or the crypt filter's.
size_t legacyKeyLength(const PDFDictionary& dict, const PDFDictionary& cf, int64_t v, int64_t r) {
    if (r == 2) return 5;
    std::optional<int64_t> bits;
    if (const PDFValue* len = dict.find("Length")) bits = len->intValue();
    if (v == 4) {
        const PDFDictionary* filter = cryptFilterDict(cf, filterName(dict, "StmF"));
        if (!filter) filter = cryptFilterDict(cf, filterName(dict, "StrF"));
        if (filter) {
            const PDFValue* len = filter->find("Length");
            const PDFValue* cfm = filter->find("CFM");
            if (len && len->intValue()) {
                bits = *len->intValue();
                if (*bits <= 32) bits = *bits * 8;  // writers disagree whether this counts bytes or bits
            } else if (cfm && cfm->isName("AESV2")) {
                return 16;
            }
        }
    }
    if (!bits || *bits < 40) return 5;
    if (*bits >= 128) return 16;
    return static_cast<size_t>(*bits / 8);
}

int64_t intOr0(const PDFDictionary& dict, std::string_view key) {
    const PDFValue* v = dict.find(key);
    return v ? v->intValue().value_or(0) : 0;
}

const Bytes* stringEntry(const PDFDictionary& dict, std::string_view key) {
    const PDFValue* v = dict.find(key);
    return v ? v->stringBytes() : nullptr;
}

}  // namespace

SecurityHandler::SecurityHandler(const PDFDictionary& dict, const Bytes& firstID,
                                 const std::optional<std::string>& password) {
    const PDFValue* filter = dict.find("Filter");
    const std::string* filterName = filter ? filter->nameValue() : nullptr;
    if (!filterName || *filterName != "Standard")
        throw PDFSecurityError::unsupported("filter " + (filterName ? *filterName : std::string("?")));

    const int64_t v = intOr0(dict, "V");
    revision_ = intOr0(dict, "R");
    const Bytes* o = stringEntry(dict, "O");
    const Bytes* u = stringEntry(dict, "U");
    const PDFValue* p = dict.find("P");
    if (!o || !u || !p || !p->intValue()) throw PDFSecurityError::unsupported("missing O/U/P");

    const PDFValue* em = dict.find("EncryptMetadata");
    encryptMetadata_ = em && em->boolValue() ? *em->boolValue() : true;

    const PDFValue* cfValue = dict.find("CF");
    const PDFDictionary cf = cfValue && cfValue->dictValue() ? *cfValue->dictValue() : PDFDictionary();
    if (v == 1 || v == 2) {
        stringCipher_ = streamCipher_ = Cipher::rc4;
    } else if (v == 4 || v == 5) {
        stringCipher_ = selectCipher(dict, cf, "StrF");
        streamCipher_ = selectCipher(dict, cf, "StmF");
    } else {
        throw PDFSecurityError::unsupported("V " + std::to_string(v));
    }

    std::vector<std::string> candidates{password.value_or(std::string())};
    if (!candidates.front().empty()) candidates.emplace_back();

    std::optional<Bytes> key;
    if (revision_ >= 2 && revision_ <= 4) {
        LegacyParams lp{o->substr(0, 32), u->substr(0, 32), static_cast<uint32_t>(*p->intValue()),  firstID,
                        revision_,        encryptMetadata_, legacyKeyLength(dict, cf, v, revision_)};
        key = legacyFileKey(lp, candidates);
    } else if (revision_ == 5 || revision_ == 6) {
        const Bytes* oe = stringEntry(dict, "OE");
        const Bytes* ue = stringEntry(dict, "UE");
        if (o->size() < 48 || u->size() < 48 || !oe || !ue || oe->size() < 32 || ue->size() < 32)
            throw PDFSecurityError::unsupported("missing OE/UE");
        ModernParams mp{o->substr(0, 48), u->substr(0, 48), oe->substr(0, 32), ue->substr(0, 32), revision_};
        key = modernFileKey(mp, candidates);
    } else {
        throw PDFSecurityError::unsupported("R " + std::to_string(revision_));
    }
    if (!key) throw PDFSecurityError::wrongPassword();
    fileKey_ = std::move(*key);
}

Bytes SecurityHandler::objectKey(int64_t num, int64_t gen, Cipher cipher) const {
    if (cipher == Cipher::aesV3) return fileKey_;
    Bytes input = fileKey_;
    for (int i = 0; i < 3; ++i)
        input.push_back(static_cast<char>((static_cast<uint64_t>(num) >> (8 * i)) & 0xFF));
    for (int i = 0; i < 2; ++i)
        input.push_back(static_cast<char>((static_cast<uint64_t>(gen) >> (8 * i)) & 0xFF));
    if (cipher == Cipher::aesV2) input += "sAlT";
    return crypto::md5(input).substr(0, std::min<size_t>(fileKey_.size() + 5, 16));
}

Bytes SecurityHandler::crypt(const Bytes& bytes, int64_t num, int64_t gen, Cipher cipher,
                             bool encrypt) const {
    if (cipher == Cipher::identity) return bytes;
    const Bytes key = objectKey(num, gen, cipher);
    if (cipher == Cipher::rc4) return rc4(key, bytes);
    if (!encrypt) {
        if (bytes.size() < kAESBlock) return {};
        const std::string_view all(bytes);
        return crypto::aesCbcDecrypt(key, all.substr(0, kAESBlock), all.substr(kAESBlock), true)
            .value_or(Bytes());
    }
    const Bytes iv = crypto::randomBytes(kAESBlock);
    auto sealed = crypto::aesCbcEncrypt(key, iv, bytes, true);
    // Only a crypt filter pairing AES with a short key gets here; writing
    // empty data in place of the object would silently lose it.
    if (!sealed) throw PDFSecurityError::unsupported("AES key of " + std::to_string(key.size()) + " bytes");
    return iv + *sealed;
}

Bytes SecurityHandler::decryptString(const Bytes& bytes, int64_t num, int64_t gen) const {
    return crypt(bytes, num, gen, stringCipher_, false);
}
Bytes SecurityHandler::encryptString(const Bytes& bytes, int64_t num, int64_t gen) const {
    return crypt(bytes, num, gen, stringCipher_, true);
}
Bytes SecurityHandler::decryptStream(const Bytes& bytes, int64_t num, int64_t gen) const {
    return crypt(bytes, num, gen, streamCipher_, false);
}
Bytes SecurityHandler::encryptStream(const Bytes& bytes, int64_t num, int64_t gen) const {
    return crypt(bytes, num, gen, streamCipher_, true);
}

PDFValue SecurityHandler::cryptValue(const PDFValue& value, int64_t num, int64_t gen, bool encrypt) const {
    if (stringCipher_ == Cipher::identity) return value;
    if (const Bytes* s = value.stringBytes())
        return PDFValue::string(crypt(*s, num, gen, stringCipher_, encrypt));
    if (const PDFArray* a = value.arrayValue()) {
        PDFArray out;
        out.reserve(a->size());
        for (const PDFValue& item : *a) out.push_back(cryptValue(item, num, gen, encrypt));
        return PDFValue::array(std::move(out));
    }
    if (const PDFDictionary* d = value.dictValue()) {
        PDFDictionary out;
        // A repeated key stays shadowed by its first occurrence, as in lookups.
        for (const auto& [k, item] : d->entries())
            if (!out.contains(k)) out.set(k, cryptValue(item, num, gen, encrypt));
        return PDFValue::dict(std::move(out));
    }
    return value;
}

}  // namespace quillet
