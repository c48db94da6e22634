// The security handler against an independent implementation: qpdf encrypts
// a small document of ours in every supported way, and we must derive the
// same file key and decrypt to the same clear text qpdf shows.
#include "core/pdf/SecurityHandler.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <regex>
#include <vector>

#include "core/pdf/Crypto.h"
#include "core/pdf/PDFLexer.h"
#include "core/pdf/PDFWriter.h"
#include "support/TempDir.h"

namespace quillet {
namespace {

using testing::TempDir;

std::string hex(std::string_view bytes) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out.push_back(digits[c >> 4]);
        out.push_back(digits[c & 15]);
    }
    return out;
}

std::string quote(std::string_view arg) {
    std::string out = "'";
    for (char c : arg) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// Runs a shell command; its standard output, or absent when it failed.
std::optional<std::string> run(const std::string& command) {
    FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r");
    if (!pipe) return std::nullopt;
    std::string out;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, pipe)) > 0) out.append(buf, n);
    const int status = pclose(pipe);
    // qpdf exits 3 for warnings, which still means success.
    if (status == -1 || !WIFEXITED(status) || (WEXITSTATUS(status) != 0 && WEXITSTATUS(status) != 3))
        return std::nullopt;
    return out;
}

PDFValue parse(std::string_view text) {
    PDFLexer lexer(text);
    return lexer.parseValue();
}

// A one-page document with a content stream and an information dictionary
// holding a non-ASCII title, so that strings and streams both get encrypted.
Bytes plainDocument() {
    const std::vector<PDFValue> objects = {
        PDFValue::dict({{"Type", PDFValue::name("Catalog")}, {"Pages", PDFValue::ref(2, 0)}}),
        PDFValue::dict({{"Type", PDFValue::name("Pages")},
                        {"Kids", PDFValue::array({PDFValue::ref(3, 0)})},
                        {"Count", PDFValue::integer(1)}}),
        PDFValue::dict({{"Type", PDFValue::name("Page")},
                        {"Parent", PDFValue::ref(2, 0)},
                        {"MediaBox", PDFValue::array({PDFValue::integer(0), PDFValue::integer(0),
                                                      PDFValue::integer(612), PDFValue::integer(792)})},
                        {"Contents", PDFValue::ref(4, 0)}}),
        PDFValue(),  // the content stream, written below
        PDFValue::dict({{"Title", PDFValue::text("Übersicht – secret plans")},
                        {"Producer", PDFValue::string("quillet test")}}),
    };
    Bytes out = "%PDF-1.7\n";
    std::vector<size_t> offsets;
    for (size_t i = 0; i < objects.size(); ++i) {
        offsets.push_back(out.size());
        const auto num = static_cast<int64_t>(i + 1);
        if (num == 4)
            PDFWriter::writeStream(num, 0, {}, "0 0 1 rg 72 72 200 100 re f\nBT ET\n", out);
        else
            PDFWriter::writeObject(num, 0, objects[i], out);
    }
    const size_t xref = out.size();
    out += "xref\n0 6\n0000000000 65535 f \n";
    for (size_t off : offsets) {
        char line[32];
        std::snprintf(line, sizeof line, "%010zu 00000 n \n", off);
        out += line;
    }
    out += "trailer\n<< /Size 6 /Root 1 0 R /Info 5 0 R >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
    return out;
}

// One encrypted file and what qpdf says about it.
struct EncryptedFile {
    std::filesystem::path path;
    std::string inspectArgs;  // qpdf options that unlock it
    Bytes bytes;
    PDFDictionary trailer;
    PDFDictionary encrypt;
    Bytes firstID;
    std::string qpdfKey;  // hex
    std::map<int64_t, int64_t> offsets;

    std::string qpdf(const std::string& args) const {
        auto out = run("qpdf " + inspectArgs + " " + args + " " + quote(path.string()));
        if (!out) throw std::runtime_error("qpdf failed: " + args);
        return *out;
    }

    // The object as stored in the file: strings and stream data still
    // encrypted. Returns the value and, for streams, the raw data.
    std::pair<PDFValue, Bytes> rawObject(int64_t num) const {
        PDFLexer lexer(bytes, offsets.at(num));
        lexer.readInt();
        lexer.readInt();
        lexer.readToken();  // obj
        PDFValue value = lexer.parseValue();
        if (lexer.readToken() != "stream") return {value, {}};
        if (lexer.peek() == '\r') ++lexer.pos;
        if (lexer.peek() == '\n') ++lexer.pos;
        const int64_t length = value.dictValue()->find("Length")->intValue().value();
        return {value, bytes.substr(static_cast<size_t>(lexer.pos), static_cast<size_t>(length))};
    }
};

const TempDir& fixtureDir() {
    static TempDir dir;
    static bool made = false;
    if (!made) {
        testing::writeFile(dir.file("plain.pdf"), plainDocument());
        made = true;
    }
    return dir;
}

// Encrypts the plain document with `encryptArgs` ("U O 128 --use-aes=y") and
// reads back what the test needs, unlocking it with `inspectArgs`.
EncryptedFile encrypted(const std::string& name, const std::string& encryptArgs,
                        const std::string& inspectArgs, const std::string& modeArgs = "") {
    static std::map<std::string, EncryptedFile> cache;
    if (auto it = cache.find(name); it != cache.end()) return it->second;
    const TempDir& dir = fixtureDir();
    EncryptedFile f;
    f.path = dir.file(name + ".pdf");
    const std::string command = "qpdf --allow-weak-crypto " + modeArgs + " --encrypt " + encryptArgs +
                                " -- " + quote(dir.file("plain.pdf").string()) + " " + quote(f.path.string());
    if (!run(command)) throw std::runtime_error("qpdf could not encrypt: " + command);
    f.inspectArgs = modeArgs + " " + inspectArgs;
    f.bytes = testing::readFile(f.path);

    f.trailer = *parse(f.qpdf("--show-object=trailer")).dictValue();
    const int64_t encryptNum = f.trailer.find("Encrypt")->refValue()->num;
    f.encrypt = *parse(f.qpdf("--show-object=" + std::to_string(encryptNum))).dictValue();
    f.firstID = *f.trailer.find("ID")->arrayValue()->at(0).stringBytes();

    std::smatch m;
    const std::string info = f.qpdf("--show-encryption --show-encryption-key");
    if (std::regex_search(info, m, std::regex("Encryption key = ([0-9a-f]+)"))) f.qpdfKey = m[1];
    const std::string xref = f.qpdf("--show-xref");
    const std::regex entry("(\\d+)/0: uncompressed; offset = (\\d+)");
    for (auto i = std::sregex_iterator(xref.begin(), xref.end(), entry); i != std::sregex_iterator(); ++i)
        f.offsets[std::stoll((*i)[1])] = std::stoll((*i)[2]);
    return cache.emplace(name, f).first->second;
}

struct Variant {
    std::string name;
    std::string keyArgs;  // qpdf's key length and options
    int64_t revision;
    Cipher cipher;
    size_t keyLength;
    bool encryptMetadata = true;
};

std::ostream& operator<<(std::ostream& os, const Variant& v) {
    return os << v.name;
}

const std::vector<Variant> kVariants = {
    {"rc4_40", "40", 2, Cipher::rc4, 5},
    {"rc4_128", "128 --use-aes=n", 3, Cipher::rc4, 16},
    {"rc4_128_v4", "128 --use-aes=n --force-V4", 4, Cipher::rc4, 16},
    {"aes_128", "128 --use-aes=y", 4, Cipher::aesV2, 16},
    {"aes_128_clear_metadata", "128 --use-aes=y --cleartext-metadata", 4, Cipher::aesV2, 16, false},
    {"aes_256_r5", "256 --force-R5", 5, Cipher::aesV3, 32},
    {"aes_256", "256", 6, Cipher::aesV3, 32},
};

class EncryptionMatrix : public ::testing::TestWithParam<Variant> {
  protected:
    static constexpr const char* kUser = "user pw";
    static constexpr const char* kOwner = "owner pw";

    const EncryptedFile& file() {
        if (!file_)
            file_ = encrypted(GetParam().name, quote(kUser) + " " + quote(kOwner) + " " + GetParam().keyArgs,
                              "--password=" + quote(kUser));
        return *file_;
    }
    SecurityHandler open(const std::optional<std::string>& password) {
        return SecurityHandler(file().encrypt, file().firstID, password);
    }

  private:
    std::optional<EncryptedFile> file_;
};

TEST_P(EncryptionMatrix, UserPasswordGivesQpdfsFileKeyAndMethods) {
    const SecurityHandler h = open(kUser);
    EXPECT_EQ(hex(h.fileKey()), file().qpdfKey);
    EXPECT_EQ(h.fileKey().size(), GetParam().keyLength);
    EXPECT_EQ(h.revision(), GetParam().revision);
    EXPECT_EQ(h.stringCipher(), GetParam().cipher);
    EXPECT_EQ(h.streamCipher(), GetParam().cipher);
    EXPECT_EQ(h.encryptMetadata(), GetParam().encryptMetadata);
}

TEST_P(EncryptionMatrix, OwnerPasswordGivesTheSameKey) {
    EXPECT_EQ(hex(open(kOwner).fileKey()), file().qpdfKey);
}

TEST_P(EncryptionMatrix, WrongOrMissingPasswordIsRefused) {
    for (const std::optional<std::string>& pw :
         {std::optional<std::string>("nope"), std::optional<std::string>()}) {
        try {
            open(pw);
            ADD_FAILURE() << "opened with " << pw.value_or("<none>");
        } catch (const PDFSecurityError& e) {
            EXPECT_EQ(e.code(), PDFSecurityError::Code::wrongPassword);
            EXPECT_STREQ(e.what(), "wrong password");
        }
    }
}

TEST_P(EncryptionMatrix, DecryptsInfoStringAndPageContentLikeQpdf) {
    const EncryptedFile& f = file();
    const SecurityHandler h = open(kOwner);

    const int64_t infoNum = f.trailer.find("Info")->refValue()->num;
    const PDFValue rawInfo = f.rawObject(infoNum).first;
    const PDFValue clearInfo = parse(f.qpdf("--show-object=" + std::to_string(infoNum)));
    const Bytes& title = *clearInfo.dictValue()->find("Title")->stringBytes();
    EXPECT_EQ(h.decryptString(*rawInfo.dictValue()->find("Title")->stringBytes(), infoNum, 0), title);
    EXPECT_EQ(h.cryptValue(rawInfo, infoNum, 0, false), clearInfo);

    const int64_t rootNum = f.trailer.find("Root")->refValue()->num;
    const int64_t pagesNum = f.rawObject(rootNum).first.dictValue()->find("Pages")->refValue()->num;
    const int64_t pageNum =
        f.rawObject(pagesNum).first.dictValue()->find("Kids")->arrayValue()->at(0).refValue()->num;
    const int64_t contentNum = f.rawObject(pageNum).first.dictValue()->find("Contents")->refValue()->num;
    const Bytes clear = f.qpdf("--show-object=" + std::to_string(contentNum) + " --raw-stream-data");
    ASSERT_FALSE(clear.empty());
    EXPECT_EQ(h.decryptStream(f.rawObject(contentNum).second, contentNum, 0), clear);
}

TEST_P(EncryptionMatrix, EncryptedStringsAndStreamsDecryptBack) {
    const SecurityHandler h = open(kUser);
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

INSTANTIATE_TEST_SUITE_P(Qpdf, EncryptionMatrix, ::testing::ValuesIn(kVariants),
                         [](const auto& info) { return info.param.name; });

TEST(SecurityHandlerPasswords, EmptyUserPasswordOpensWithAnyPassword) {
    for (const std::string keyArgs : {"40", "128 --use-aes=y", "256"}) {
        const std::string name = "empty_user_" + std::to_string(keyArgs.size());
        const EncryptedFile f = encrypted(name, "'' owner " + keyArgs, "--password=owner");
        for (const std::optional<std::string>& pw :
             {std::optional<std::string>(), std::optional<std::string>("anything")}) {
            EXPECT_EQ(hex(SecurityHandler(f.encrypt, f.firstID, pw).fileKey()), f.qpdfKey) << keyArgs;
        }
        EXPECT_EQ(hex(SecurityHandler(f.encrypt, f.firstID, "owner").fileKey()), f.qpdfKey) << keyArgs;
    }
}

TEST(SecurityHandlerPasswords, LatinOnePasswordOpensWhetherStoredAsLatinOneOrUTF8) {
    const std::string utf8 = "caf\xc3\xa9";  // "café"
    const std::string latin1 = "caf\xe9";
    const EncryptedFile asLatin1 = encrypted("latin1_bytes", quote(latin1) + " owner 128 --use-aes=n",
                                             "--password=owner", "--password-mode=bytes");
    const EncryptedFile asUTF8 = encrypted("utf8_bytes", quote(utf8) + " owner 128 --use-aes=n",
                                           "--password=owner", "--password-mode=bytes");
    EXPECT_EQ(hex(SecurityHandler(asLatin1.encrypt, asLatin1.firstID, utf8).fileKey()), asLatin1.qpdfKey);
    EXPECT_EQ(hex(SecurityHandler(asUTF8.encrypt, asUTF8.firstID, utf8).fileKey()), asUTF8.qpdfKey);
    EXPECT_THROW(SecurityHandler(asLatin1.encrypt, asLatin1.firstID, "cafe"), PDFSecurityError);
}

TEST(SecurityHandlerPasswords, NonLatinPasswordsWorkAsUTF8InEveryRevision) {
    const std::string cyrillic = "\xd0\xbf\xd0\xb0\xd1\x80\xd0\xbe\xd0\xbb\xd1\x8c";  // "пароль"
    for (const std::string keyArgs : {"128 --use-aes=n", "256"}) {
        const EncryptedFile f =
            encrypted("cyrillic_" + std::to_string(keyArgs.size()), quote(cyrillic) + " owner " + keyArgs,
                      "--password=owner", "--password-mode=bytes");
        EXPECT_EQ(hex(SecurityHandler(f.encrypt, f.firstID, cyrillic).fileKey()), f.qpdfKey) << keyArgs;
    }
}

TEST(SecurityHandlerPasswords, OverlongPasswordsAreCutAtTheRevisionsLimit) {
    // Revisions 2-4 use 32 bytes, 5-6 use 127. (qpdf itself mishandles
    // passwords over 127 bytes when writing revision 6, so the file is made
    // with exactly 127.)
    for (const auto& [keyArgs, length] :
         {std::pair<std::string, size_t>{"128 --use-aes=y", 40}, {"256", 127}}) {
        const std::string password(length, 'L');
        const EncryptedFile f = encrypted("long_" + std::to_string(length),
                                          quote(password) + " owner " + keyArgs, "--password=owner");
        EXPECT_EQ(hex(SecurityHandler(f.encrypt, f.firstID, password).fileKey()), f.qpdfKey) << keyArgs;
        EXPECT_EQ(hex(SecurityHandler(f.encrypt, f.firstID, password + "tail").fileKey()), f.qpdfKey)
            << keyArgs;
    }
}

// ---- dictionaries qpdf would never write ----

const EncryptedFile& aes128() {
    static const EncryptedFile f =
        encrypted("aes_128", "'user pw' 'owner pw' 128 --use-aes=y", "--password='user pw'");
    return f;
}

PDFDictionary withEntry(PDFDictionary d, std::string_view key, std::optional<PDFValue> value) {
    d.set(key, std::move(value));
    return d;
}

std::string securityErrorText(const PDFDictionary& dict, const Bytes& firstID = {}) {
    try {
        SecurityHandler(dict, firstID, "user pw");
    } catch (const PDFSecurityError& e) {
        return e.text();
    }
    return "<opened>";
}

TEST(SecurityHandlerDictionary, UnsupportedDictionariesSayWhatIsUnsupported) {
    const PDFDictionary d = aes128().encrypt;
    const PDFDictionary stdCF = *d.find("CF")->dictValue()->find("StdCF")->dictValue();
    auto withCFM = [&](std::optional<PDFValue> cfm) {
        return withEntry(d, "CF", PDFValue::dict({{"StdCF", PDFValue::dict(withEntry(stdCF, "CFM", cfm))}}));
    };
    EXPECT_EQ(securityErrorText(withEntry(d, "Filter", PDFValue::name("Other"))),
              "unsupported encryption: filter Other");
    EXPECT_EQ(securityErrorText(withEntry(d, "Filter", PDFValue::string("Standard"))),
              "unsupported encryption: filter ?");
    EXPECT_EQ(securityErrorText(withEntry(d, "Filter", std::nullopt)), "unsupported encryption: filter ?");
    EXPECT_EQ(securityErrorText(withEntry(d, "O", std::nullopt)), "unsupported encryption: missing O/U/P");
    EXPECT_EQ(securityErrorText(withEntry(d, "U", PDFValue::integer(3))),
              "unsupported encryption: missing O/U/P");
    EXPECT_EQ(securityErrorText(withEntry(d, "P", PDFValue::name("-4"))),
              "unsupported encryption: missing O/U/P");
    EXPECT_EQ(securityErrorText(withEntry(d, "V", PDFValue::integer(3))), "unsupported encryption: V 3");
    EXPECT_EQ(securityErrorText(withEntry(d, "V", std::nullopt)), "unsupported encryption: V 0");
    EXPECT_EQ(securityErrorText(withEntry(d, "R", PDFValue::integer(7))), "unsupported encryption: R 7");
    EXPECT_EQ(securityErrorText(withEntry(d, "StmF", PDFValue::name("Other"))),
              "unsupported encryption: crypt filter Other");
    EXPECT_EQ(securityErrorText(withCFM(PDFValue::name("Foo"))), "unsupported encryption: CFM Foo");
    EXPECT_EQ(securityErrorText(withEntry(d, "CF", std::nullopt)),
              "unsupported encryption: crypt filter StdCF");
}

TEST(SecurityHandlerDictionary, ModernRevisionsNeedFullLengthKeyEntries) {
    const EncryptedFile f = encrypted("aes_256", "'user pw' 'owner pw' 256", "--password='user pw'");
    const PDFDictionary& d = f.encrypt;
    EXPECT_EQ(securityErrorText(withEntry(d, "UE", PDFValue::string(Bytes(31, 'x')))),
              "unsupported encryption: missing OE/UE");
    EXPECT_EQ(securityErrorText(withEntry(d, "OE", std::nullopt)), "unsupported encryption: missing OE/UE");
    const Bytes u = *d.find("U")->stringBytes();
    EXPECT_EQ(securityErrorText(withEntry(d, "U", PDFValue::string(u.substr(0, 47)))),
              "unsupported encryption: missing OE/UE");
    // The Perms entry is not consulted, so damaging it changes nothing.
    EXPECT_EQ(securityErrorText(withEntry(d, "Perms", std::nullopt), f.firstID), "<opened>");
}

TEST(SecurityHandlerDictionary, CryptFilterWithoutLengthForAESV2MeansSixteenByteKey) {
    const EncryptedFile& f = aes128();
    PDFDictionary d = withEntry(f.encrypt, "Length", std::nullopt);
    d = withEntry(d, "StrF", std::nullopt);
    d = withEntry(d, "CF", PDFValue::dict({{"StdCF", PDFValue::dict({{"CFM", PDFValue::name("AESV2")}})}}));
    const SecurityHandler h(d, f.firstID, "user pw");
    EXPECT_EQ(hex(h.fileKey()), f.qpdfKey);
    EXPECT_EQ(h.streamCipher(), Cipher::aesV2);
    EXPECT_EQ(h.stringCipher(), Cipher::identity);
    EXPECT_EQ(h.encryptString("plain", 1, 0), "plain");
}

TEST(SecurityHandlerDictionary, HostileLengthsAndShortEntriesFailCleanly) {
    const EncryptedFile rc4 =
        encrypted("rc4_128", "'user pw' 'owner pw' 128 --use-aes=n", "--password='user pw'");
    const PDFDictionary& d = rc4.encrypt;
    // A huge /Length is capped at 128 bits, which this file uses anyway.
    EXPECT_EQ(
        hex(SecurityHandler(withEntry(d, "Length", PDFValue::integer(INT64_MAX)), rc4.firstID, "user pw")
                .fileKey()),
        rc4.qpdfKey);
    EXPECT_EQ(securityErrorText(withEntry(d, "Length", PDFValue::integer(-8)), rc4.firstID),
              "wrong password");
    EXPECT_EQ(securityErrorText(withEntry(d, "O", PDFValue::string("xyz")), rc4.firstID), "wrong password");
    EXPECT_EQ(securityErrorText(withEntry(d, "U", PDFValue::string("")), rc4.firstID), "wrong password");
    EXPECT_EQ(securityErrorText(withEntry(d, "R", PDFValue::integer(INT64_MIN))),
              "unsupported encryption: R -9223372036854775808");
}

// ---- per-object operations ----

TEST(SecurityHandlerCrypt, UndecryptableAESDataBecomesEmpty) {
    const SecurityHandler h(aes128().encrypt, aes128().firstID, "user pw");
    EXPECT_EQ(h.decryptString(Bytes(15, 'x'), 1, 0), Bytes());
    EXPECT_EQ(h.decryptString(Bytes(16, 'x'), 1, 0), Bytes());
    EXPECT_EQ(h.decryptString(Bytes(16 + 17, 'x'), 1, 0), Bytes());

    // A block that decrypts to a zero pad byte.
    const Bytes iv(16, 'v');
    const Bytes badPad =
        *crypto::aesCbcEncrypt(h.objectKey(1, 0, Cipher::aesV2), iv, Bytes(15, 'a') + '\0', false);
    EXPECT_EQ(h.decryptString(iv + badPad, 1, 0), Bytes());
    const Bytes goodPad =
        *crypto::aesCbcEncrypt(h.objectKey(1, 0, Cipher::aesV2), iv, Bytes(15, 'a') + '\x01', false);
    EXPECT_EQ(h.decryptString(iv + goodPad, 1, 0), Bytes(15, 'a'));
}

TEST(SecurityHandlerCrypt, ObjectKeysUseOnlyLowBitsOfNumberAndGeneration) {
    const SecurityHandler h(aes128().encrypt, aes128().firstID, "user pw");
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
    const EncryptedFile rc4 =
        encrypted("rc4_128", "'user pw' 'owner pw' 128 --use-aes=n", "--password='user pw'");
    const SecurityHandler h(rc4.encrypt, rc4.firstID, "user pw");
    const PDFValue value = PDFValue::dict({
        {"T", PDFValue::string("title")},
        {"Name", PDFValue::name("title")},
        {"Kids", PDFValue::array({PDFValue::integer(4), PDFValue::array({PDFValue::string("deep")}),
                                  PDFValue::dict({{"S", PDFValue::string("inner")}}), PDFValue::ref(9, 0)})},
    });
    const PDFValue sealed = h.cryptValue(value, 8, 0, true);
    const PDFDictionary& d = *sealed.dictValue();
    EXPECT_EQ(*d.find("T")->stringBytes(), h.encryptString("title", 8, 0));
    EXPECT_EQ(*d.find("Name"), PDFValue::name("title"));
    EXPECT_EQ(d.keys(), value.dictValue()->keys());
    EXPECT_EQ(d.find("Kids")->arrayValue()->at(0), PDFValue::integer(4));
    EXPECT_EQ(*d.find("Kids")->arrayValue()->at(1).arrayValue()->at(0).stringBytes(),
              h.encryptString("deep", 8, 0));
    EXPECT_EQ(d.find("Kids")->arrayValue()->at(3), PDFValue::ref(9, 0));
    EXPECT_EQ(h.cryptValue(sealed, 8, 0, false), value);
}

}  // namespace
}  // namespace quillet
