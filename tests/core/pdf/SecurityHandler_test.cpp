// The security handler against an independent implementation: qpdf encrypts
// a small document of ours in every supported way, and we must derive the
// same file key and decrypt to the same clear text qpdf shows.
#include "core/pdf/SecurityHandler.h"

#include <gtest/gtest.h>

#include <map>
#include <regex>

#include "core/pdf/Crypto.h"
#include "core/pdf/PDFFileReader.h"
#include "core/pdf/PDFLexer.h"
#include "support/Hex.h"
#include "support/PdfFixtures.h"
#include "support/QpdfEncryption.h"
#include "support/TempDir.h"

namespace quillet {
namespace {

using testing::EncryptionVariant;
using testing::hex;

const std::string kUser = "user pw";
const std::string kOwner = "owner pw";

PDFValue parse(std::string_view text) {
    PDFLexer lexer(text);
    return lexer.parseValue();
}

// One encrypted file, what qpdf says about it, and a reader opened without
// a password, whose strings and streams are as stored (still encrypted).
struct EncryptedFile {
    std::filesystem::path path;
    std::vector<std::string> unlock;  // qpdf options that open it
    std::shared_ptr<PDFFileReader> stored;
    PDFDictionary encrypt;
    Bytes firstID;
    std::string qpdfKey;  // hex

    std::string qpdf(std::vector<std::string> args) const {
        args.insert(args.begin(), unlock.begin(), unlock.end());
        args.push_back(path.string());
        const testing::CommandResult r = testing::runQpdf(args);
        EXPECT_TRUE(r.status == 0 || r.status == 3) << r.err;  // 3: warnings only
        return r.out;
    }
    SecurityHandler open(const std::optional<std::string>& password) const {
        return SecurityHandler(encrypt, firstID, password);
    }
};

// The one-page document encrypted with `user` and kOwner as `v` says;
// made once per name.
const EncryptedFile& encrypted(const EncryptionVariant& v, const std::string& user = kUser,
                               const std::vector<std::string>& passwordMode = {}) {
    static testing::TempDir dir;
    static std::map<std::string, EncryptedFile> cache;
    if (auto it = cache.find(v.name); it != cache.end()) return it->second;
    const auto plain = dir.file("plain.pdf");
    if (!std::filesystem::exists(plain))
        testing::writeFile(plain, testing::simpleDocument(1, "Übersicht – plans"));
    EncryptedFile f;
    f.path = dir.file(v.name + ".pdf");
    std::vector<std::string> args = testing::qpdfEncryptArgs(v, user, kOwner, passwordMode);
    args.insert(args.end(), {plain.string(), f.path.string()});
    const testing::CommandResult made = testing::runQpdf(args);
    EXPECT_EQ(made.status, 0) << made.err;
    f.unlock = passwordMode;
    f.unlock.push_back("--password=" + kOwner);
    f.stored = PDFFileReader::open(f.path);
    f.encrypt = *f.stored->object(f.stored->encryptRef()->num)->dictionary();
    f.firstID = *f.stored->trailer().find("ID")->arrayValue()->at(0).stringBytes();
    std::smatch m;
    const std::string info = f.qpdf({"--show-encryption", "--show-encryption-key"});
    if (std::regex_search(info, m, std::regex("Encryption key = ([0-9a-f]+)"))) f.qpdfKey = m[1];
    return cache.emplace(v.name, f).first->second;
}

std::vector<EncryptionVariant> variantsWithReadableStructure() {
    std::vector<EncryptionVariant> out;
    for (const EncryptionVariant& v : testing::qpdfEncryptionVariants())
        if (!v.objectStreams) out.push_back(v);
    return out;
}

class EncryptionMatrix : public ::testing::TestWithParam<EncryptionVariant> {
  protected:
    const EncryptedFile& file() { return encrypted(GetParam()); }
};

TEST_P(EncryptionMatrix, UserAndOwnerPasswordsGiveQpdfsFileKeyAndMethods) {
    const SecurityHandler h = file().open(kUser);
    EXPECT_EQ(hex(h.fileKey()), file().qpdfKey);
    EXPECT_EQ(hex(file().open(kOwner).fileKey()), file().qpdfKey);
    EXPECT_EQ(h.fileKey().size(), GetParam().keyLength);
    EXPECT_EQ(h.revision(), GetParam().revision);
    EXPECT_EQ(h.stringCipher(), GetParam().cipher);
    EXPECT_EQ(h.streamCipher(), GetParam().cipher);
    EXPECT_EQ(h.encryptMetadata(), GetParam().encryptMetadata);
}

TEST_P(EncryptionMatrix, WrongOrMissingPasswordIsRefused) {
    for (const std::optional<std::string>& pw :
         {std::optional<std::string>("nope"), std::optional<std::string>()}) {
        try {
            file().open(pw);
            ADD_FAILURE() << "opened with " << pw.value_or("<none>");
        } catch (const PDFSecurityError& e) {
            EXPECT_EQ(e.code(), PDFSecurityError::Code::wrongPassword);
            EXPECT_STREQ(e.what(), "wrong password");
        }
    }
}

TEST_P(EncryptionMatrix, DecryptsInfoStringAndPageContentLikeQpdf) {
    const EncryptedFile& f = file();
    const SecurityHandler h = f.open(kOwner);
    PDFFileReader& stored = *f.stored;

    const int64_t info = f.stored->trailer().find("Info")->refValue()->num;
    const PDFValue storedInfo = stored.resolve(PDFValue::ref(info, 0));
    const PDFValue clearInfo = parse(f.qpdf({"--show-object=" + std::to_string(info)}));
    EXPECT_EQ(h.decryptString(*storedInfo.dictValue()->find("Title")->stringBytes(), info, 0),
              *clearInfo.dictValue()->find("Title")->stringBytes());
    EXPECT_EQ(h.cryptValue(storedInfo, info, 0, false), clearInfo);

    const PDFValue page = stored.resolve(PDFValue::ref(stored.pageRefs().at(0)));
    const int64_t content = page.dictValue()->find("Contents")->refValue()->num;
    const Bytes clear = f.qpdf({"--show-object=" + std::to_string(content), "--raw-stream-data"});
    ASSERT_FALSE(clear.empty());
    EXPECT_EQ(h.decryptStream(stored.object(content)->stream()->data, content, 0), clear);
}

TEST_P(EncryptionMatrix, EncryptedStringsAndStreamsDecryptBack) {
    const SecurityHandler h = file().open(kUser);
    const Bytes plain = "BT /F1 12 Tf (caf\xe9) Tj ET\n" + Bytes(100, 'x');
    const Bytes s1 = h.encryptString(plain, 12, 0), s2 = h.encryptString(plain, 12, 0);
    EXPECT_NE(s1, plain);
    EXPECT_EQ(h.decryptString(s1, 12, 0), plain);
    EXPECT_EQ(h.decryptStream(h.encryptStream(plain, 7, 2), 7, 2), plain);
    if (isAES(GetParam().cipher)) {
        EXPECT_NE(s1, s2) << "every encryption draws a new initialisation vector";
        EXPECT_EQ(h.decryptString(s2, 12, 0), plain);
        EXPECT_EQ(s1.size(), 16u + (plain.size() / 16 + 1) * 16);
    } else {
        EXPECT_NE(h.decryptString(s1, 13, 0), plain) << "keys are per object";
    }
}

INSTANTIATE_TEST_SUITE_P(Qpdf, EncryptionMatrix, ::testing::ValuesIn(variantsWithReadableStructure()),
                         [](const auto& info) { return info.param.name; });

// ---- passwords ----

EncryptionVariant variant(const std::string& name, std::vector<std::string> keyArgs) {
    return {name, std::move(keyArgs)};
}

TEST(SecurityHandlerPasswords, EmptyUserPasswordOpensWithAnyPassword) {
    for (const auto& keyArgs : {std::vector<std::string>{"40"}, {"128", "--use-aes=y"}, {"256"}}) {
        const EncryptedFile& f = encrypted(variant("empty_user_" + keyArgs[0], keyArgs), "");
        for (const std::optional<std::string>& pw :
             {std::optional<std::string>(), std::optional<std::string>("anything"), std::optional(kOwner)})
            EXPECT_EQ(hex(f.open(pw).fileKey()), f.qpdfKey) << keyArgs[0] << " " << pw.value_or("<none>");
    }
}

TEST(SecurityHandlerPasswords, LatinOnePasswordOpensWhetherStoredAsLatinOneOrUTF8) {
    const std::string utf8 = "caf\xc3\xa9";  // "café"
    const std::vector<std::string> bytesMode = {"--password-mode=bytes"};
    const EncryptedFile& asLatin1 =
        encrypted(variant("latin1", {"128", "--use-aes=n"}), "caf\xe9", bytesMode);
    const EncryptedFile& asUTF8 = encrypted(variant("utf8", {"128", "--use-aes=n"}), utf8, bytesMode);
    EXPECT_EQ(hex(asLatin1.open(utf8).fileKey()), asLatin1.qpdfKey);
    EXPECT_EQ(hex(asUTF8.open(utf8).fileKey()), asUTF8.qpdfKey);
    EXPECT_THROW(asLatin1.open("cafe"), PDFSecurityError);
}

TEST(SecurityHandlerPasswords, NonLatinPasswordsWorkAsUTF8InEveryRevision) {
    const std::string cyrillic = "пароль";
    for (const auto& keyArgs : {std::vector<std::string>{"128", "--use-aes=n"}, {"256"}}) {
        const EncryptedFile& f =
            encrypted(variant("cyrillic_" + keyArgs[0], keyArgs), cyrillic, {"--password-mode=bytes"});
        EXPECT_EQ(hex(f.open(cyrillic).fileKey()), f.qpdfKey) << keyArgs[0];
    }
}

TEST(SecurityHandlerPasswords, OverlongPasswordsAreCutAtTheRevisionsLimit) {
    // Revisions 2-4 use 32 bytes, 5-6 use 127. (qpdf mishandles passwords
    // over 127 bytes when writing revision 6, so the file gets exactly 127.)
    for (const auto& [keyArgs, length] :
         {std::pair<std::vector<std::string>, size_t>{{"128", "--use-aes=y"}, 40}, {{"256"}, 127}}) {
        const std::string password(length, 'L');
        const EncryptedFile& f = encrypted(variant("long_" + keyArgs[0], keyArgs), password);
        EXPECT_EQ(hex(f.open(password).fileKey()), f.qpdfKey) << keyArgs[0];
        EXPECT_EQ(hex(f.open(password + "tail").fileKey()), f.qpdfKey) << keyArgs[0];
    }
}

// ---- dictionaries qpdf would never write ----

const EncryptedFile& byName(const std::string& name) {
    for (const EncryptionVariant& v : testing::qpdfEncryptionVariants())
        if (v.name == name) return encrypted(v);
    throw std::logic_error("no variant " + name);
}

PDFDictionary withEntry(PDFDictionary d, std::string_view key, std::optional<PDFValue> value) {
    d.set(key, std::move(value));
    return d;
}

std::string securityErrorText(const PDFDictionary& dict, const Bytes& firstID = {}) {
    try {
        SecurityHandler(dict, firstID, kUser);
    } catch (const PDFSecurityError& e) {
        return e.text();
    }
    return "<opened>";
}

TEST(SecurityHandlerDictionary, UnsupportedDictionariesSayWhatIsUnsupported) {
    const PDFDictionary d = byName("aes_128").encrypt;
    const PDFDictionary stdCF = *d.find("CF")->dictValue()->find("StdCF")->dictValue();
    const PDFValue badCFM =
        PDFValue::dict({{"StdCF", PDFValue::dict(withEntry(stdCF, "CFM", PDFValue::name("Foo")))}});
    const struct {
        const char* key;
        std::optional<PDFValue> value;
        std::string error;
    } cases[] = {
        {"Filter", PDFValue::name("Other"), "filter Other"},
        {"Filter", PDFValue::string("Standard"), "filter ?"},
        {"Filter", std::nullopt, "filter ?"},
        {"O", std::nullopt, "missing O/U/P"},
        {"U", PDFValue::integer(3), "missing O/U/P"},
        {"P", PDFValue::name("-4"), "missing O/U/P"},
        {"V", PDFValue::integer(3), "V 3"},
        {"V", std::nullopt, "V 0"},
        {"R", PDFValue::integer(7), "R 7"},
        {"R", PDFValue::integer(INT64_MIN), "R -9223372036854775808"},
        {"StmF", PDFValue::name("Other"), "crypt filter Other"},
        {"CF", badCFM, "CFM Foo"},
        {"CF", std::nullopt, "crypt filter StdCF"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(securityErrorText(withEntry(d, c.key, c.value)), "unsupported encryption: " + c.error)
            << c.key;
}

TEST(SecurityHandlerDictionary, ModernRevisionsNeedFullLengthKeyEntries) {
    const EncryptedFile& f = byName("aes_256");
    const PDFDictionary& d = f.encrypt;
    const Bytes u = *d.find("U")->stringBytes();
    for (const auto& [key, value] :
         {std::pair<const char*, std::optional<PDFValue>>{"UE", PDFValue::string(Bytes(31, 'x'))},
          {"OE", std::nullopt},
          {"U", PDFValue::string(u.substr(0, 47))}})
        EXPECT_EQ(securityErrorText(withEntry(d, key, value)), "unsupported encryption: missing OE/UE")
            << key;
    // The Perms entry is not consulted, so damaging it changes nothing.
    EXPECT_EQ(securityErrorText(withEntry(d, "Perms", std::nullopt), f.firstID), "<opened>");
}

TEST(SecurityHandlerDictionary, CryptFilterWithoutLengthForAESV2MeansSixteenByteKey) {
    const EncryptedFile& f = byName("aes_128");
    PDFDictionary d = withEntry(withEntry(f.encrypt, "Length", std::nullopt), "StrF", std::nullopt);
    d = withEntry(d, "CF", PDFValue::dict({{"StdCF", PDFValue::dict({{"CFM", PDFValue::name("AESV2")}})}}));
    const SecurityHandler h(d, f.firstID, kUser);
    EXPECT_EQ(hex(h.fileKey()), f.qpdfKey);
    EXPECT_EQ(h.streamCipher(), Cipher::aesV2);
    EXPECT_EQ(h.stringCipher(), Cipher::identity);
    EXPECT_EQ(h.encryptString("plain", 1, 0), "plain");
}

TEST(SecurityHandlerDictionary, HostileLengthsAndShortEntriesFailCleanly) {
    const EncryptedFile& rc4 = byName("rc4_128");
    const PDFDictionary& d = rc4.encrypt;
    // A huge /Length is capped at 128 bits, which this file uses anyway.
    const SecurityHandler capped(withEntry(d, "Length", PDFValue::integer(INT64_MAX)), rc4.firstID, kUser);
    EXPECT_EQ(hex(capped.fileKey()), rc4.qpdfKey);
    for (const auto& [key, value] : {std::pair<const char*, PDFValue>{"Length", PDFValue::integer(-8)},
                                     {"O", PDFValue::string("xyz")},
                                     {"U", PDFValue::string("")}})
        EXPECT_EQ(securityErrorText(withEntry(d, key, value), rc4.firstID), "wrong password") << key;
}

// ---- per-object operations ----

TEST(SecurityHandlerCrypt, UndecryptableAESDataBecomesEmpty) {
    const SecurityHandler h = byName("aes_128").open(kUser);
    for (size_t size : {15u, 16u, 33u}) EXPECT_EQ(h.decryptString(Bytes(size, 'x'), 1, 0), Bytes()) << size;
    // A block that decrypts to a zero pad byte, and one with a well-formed pad.
    const Bytes iv(16, 'v');
    const Bytes key = h.objectKey(1, 0, Cipher::aesV2);
    const Bytes badPad = *crypto::aesCbcEncrypt(key, iv, Bytes(15, 'a') + '\0', false);
    EXPECT_EQ(h.decryptString(iv + badPad, 1, 0), Bytes());
    const Bytes goodPad = *crypto::aesCbcEncrypt(key, iv, Bytes(15, 'a') + '\x01', false);
    EXPECT_EQ(h.decryptString(iv + goodPad, 1, 0), Bytes(15, 'a'));
}

TEST(SecurityHandlerCrypt, ObjectKeysUseOnlyLowBitsOfNumberAndGeneration) {
    const SecurityHandler h = byName("aes_128").open(kUser);
    for (Cipher c : {Cipher::rc4, Cipher::aesV2}) {
        EXPECT_EQ(h.objectKey(5 + (int64_t{1} << 24), 3 + (1 << 16), c), h.objectKey(5, 3, c));
        EXPECT_NE(h.objectKey(5 + (1 << 23), 3, c), h.objectKey(5, 3, c));
        EXPECT_NE(h.objectKey(5, 3 + (1 << 15), c), h.objectKey(5, 3, c));
        EXPECT_EQ(h.objectKey(5, 3, c).size(), 16u);
    }
    EXPECT_NE(h.objectKey(5, 3, Cipher::rc4), h.objectKey(5, 3, Cipher::aesV2)) << "AES keys are salted";
    EXPECT_EQ(h.objectKey(5, 3, Cipher::aesV3), h.fileKey());
    EXPECT_EQ(h.crypt("same", 5, 3, Cipher::identity, true), "same");
}

TEST(SecurityHandlerCrypt, CryptValueTouchesOnlyStringsAtAnyDepth) {
    const SecurityHandler h = byName("rc4_128").open(kUser);
    const PDFValue value = PDFValue::dict({
        {"T", PDFValue::string("title")},
        {"Name", PDFValue::name("title")},
        {"Kids", PDFValue::array({PDFValue::integer(4), PDFValue::array({PDFValue::string("deep")}),
                                  PDFValue::dict({{"S", PDFValue::string("inner")}}), PDFValue::ref(9, 0)})},
    });
    const PDFValue sealed = h.cryptValue(value, 8, 0, true);
    const PDFDictionary& d = *sealed.dictValue();
    const PDFArray& kids = *d.find("Kids")->arrayValue();
    EXPECT_EQ(*d.find("T")->stringBytes(), h.encryptString("title", 8, 0));
    EXPECT_EQ(*d.find("Name"), PDFValue::name("title"));
    EXPECT_EQ(d.keys(), value.dictValue()->keys());
    EXPECT_EQ(kids.at(0), PDFValue::integer(4));
    EXPECT_EQ(*kids.at(1).arrayValue()->at(0).stringBytes(), h.encryptString("deep", 8, 0));
    EXPECT_EQ(kids.at(3), PDFValue::ref(9, 0));
    EXPECT_EQ(h.cryptValue(sealed, 8, 0, false), value);
}

}  // namespace
}  // namespace quillet
