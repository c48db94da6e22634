// Encrypted files as qpdf writes them, opened with the user, owner, wrong
// and empty passwords. What the reader decrypts is checked against qpdf's own
// decryption of the same objects.
#include <gtest/gtest.h>

#include "core/pdf/Flate.h"
#include "core/pdf/PDFFileReader.h"
#include "core/pdf/PDFLexer.h"
#include "support/PdfFixtures.h"
#include "support/TempDir.h"

namespace quillet {
namespace {

using testing::PdfBuilder;
using testing::TempDir;

const std::string kUser = "user-pw";
const std::string kOwner = "owner-pw";
const std::string kTitle = "Grüße, ünïcode (title)";
const std::string kMetadata = "<?xpacket begin=''?><x:xmpmeta xmlns:x='adobe:ns:meta/'/><?xpacket end='r'?>";

// Two pages, an Info title with non-ASCII text, and an XMP metadata stream
// (kept in the clear by --cleartext-metadata).
Bytes plainDocument() {
    PdfBuilder b;
    b.add(1, PDFValue::dict({{"Type", PDFValue::name("Catalog")}, {"Pages", PDFValue::ref(2, 0)},
                             {"Metadata", PDFValue::ref(9, 0)}}));
    b.add(2, PDFValue::dict({{"Type", PDFValue::name("Pages")},
                             {"Kids", PDFValue::array({PDFValue::ref(4, 0), PDFValue::ref(6, 0)})},
                             {"Count", PDFValue::integer(2)}}));
    b.add(3, PDFValue::dict({{"Title", PDFValue::text(kTitle)}, {"Author", PDFValue::string("A. Author")}}));
    for (int i = 0; i < 2; ++i) {
        b.add(4 + 2 * i, PDFValue::dict({{"Type", PDFValue::name("Page")}, {"Parent", PDFValue::ref(2, 0)},
                                         {"Contents", PDFValue::ref(5 + 2 * i, 0)}}));
        b.addStream(5 + 2 * i, {{"Filter", PDFValue::name("FlateDecode")}},
                    Flate::deflate(testing::simpleDocumentContent(i), 6));
    }
    b.addStream(9, {{"Type", PDFValue::name("Metadata")}, {"Subtype", PDFValue::name("XML")}}, kMetadata);
    b.finishWithTable({{"Size", PDFValue::integer(10)}, {"Root", PDFValue::ref(1, 0)}, {"Info", PDFValue::ref(3, 0)},
                       {"ID", PDFValue::array({PDFValue::string("0123456789abcdef"), PDFValue::string("fedcba9876543210")})}});
    return b.bytes();
}

struct Variant {
    std::string name;
    std::vector<std::string> before;  // options before --encrypt
    std::vector<std::string> after;   // key length and options up to "--"
    bool aes = false;
};

std::vector<Variant> variants() {
    const std::vector<std::string> weak = {"--allow-weak-crypto"};
    return {
        {"rc4_40", weak, {"40"}},
        {"rc4_128", weak, {"128", "--use-aes=n"}},
        {"rc4_128_v4", weak, {"128", "--force-V4"}},
        {"aes_128", {}, {"128", "--use-aes=y"}, true},
        {"aes_128_cleartext_metadata", {}, {"128", "--use-aes=y", "--cleartext-metadata"}, true},
        {"aes_256_r5", weak, {"256", "--force-R5"}, true},
        {"aes_256", {}, {"256"}, true},
        {"aes_256_object_streams", {"--object-streams=generate"}, {"256"}, true},
    };
}

std::filesystem::path encrypt(const TempDir& dir, const Variant& v, const std::string& user, const std::string& owner,
                              std::vector<std::string> extra = {}) {
    const auto in = dir.file("plain.pdf");
    if (!std::filesystem::exists(in)) testing::writeFile(in, plainDocument());
    const auto out = dir.file(v.name + ".pdf");
    std::vector<std::string> args = extra;
    args.insert(args.end(), v.before.begin(), v.before.end());
    args.insert(args.end(), {"--encrypt", user, owner});
    args.insert(args.end(), v.after.begin(), v.after.end());
    args.insert(args.end(), {"--", in.string(), out.string()});
    testing::CommandResult r = testing::runQpdf(args);
    EXPECT_EQ(r.status, 0) << r.err;
    return out;
}

// qpdf's own decryption of object `num`: decoded stream data, or the value.
std::string qpdfShow(const std::filesystem::path& file, const std::string& password, int64_t num, bool streamData) {
    std::vector<std::string> args = {"--password=" + password, "--show-object=" + std::to_string(num)};
    if (streamData) args.push_back("--filtered-stream-data");
    args.push_back(file.string());
    testing::CommandResult r = testing::runQpdf(args);
    EXPECT_EQ(r.status, 0) << r.err;
    return r.out;
}

PDFValue parsed(const std::string& text) {
    PDFLexer lexer(text);
    return lexer.parseValue(0);
}

std::string decodedStream(PDFFileReader& reader, int64_t num) {
    std::optional<PDFObject> object = reader.object(num);
    EXPECT_TRUE(object && object->isStream());
    if (!object || !object->isStream()) return {};
    return reader.decodeStream(object->stream()->dict, object->stream()->data);
}

// Everything the reader decrypts matches qpdf: page 1's content stream, the
// Info dictionary's strings, the metadata stream.
// qpdfPassword: one qpdf accepts, when ours is one only we do.
void expectDecryptedLikeQpdf(const std::filesystem::path& file, const std::optional<std::string>& password,
                             std::optional<std::string> qpdfPassword = std::nullopt) {
    auto reader = PDFFileReader::open(file, password);
    ASSERT_TRUE(reader->security()) << reader->securityErrorText().value_or("");
    EXPECT_FALSE(reader->securityError());
    if (!qpdfPassword) qpdfPassword = password.value_or("");

    std::vector<PDFRef> pages = reader->pageRefs();
    ASSERT_EQ(pages.size(), 2u);
    int64_t contents = reader->resolve(PDFValue::ref(pages[0])).dictValue()->find("Contents")->refValue()->num;
    std::string content = decodedStream(*reader, contents);
    EXPECT_EQ(content, testing::simpleDocumentContent(0));
    EXPECT_EQ(content, qpdfShow(file, *qpdfPassword, contents, true));

    PDFRef info = *reader->trailer().find("Info")->refValue();
    PDFValue ours = reader->resolve(PDFValue::ref(info));
    PDFValue theirs = parsed(qpdfShow(file, *qpdfPassword, info.num, false));
    ASSERT_TRUE(ours.dictValue() && theirs.dictValue());
    EXPECT_EQ(*ours.dictValue()->find("Title"), *theirs.dictValue()->find("Title"));
    EXPECT_EQ(*ours.dictValue()->find("Title"), PDFValue::text(kTitle));
    EXPECT_EQ(*ours.dictValue()->find("Author"), *theirs.dictValue()->find("Author"));

    int64_t metadata = reader->resolve(*reader->trailer().find("Root")).dictValue()->find("Metadata")->refValue()->num;
    EXPECT_EQ(decodedStream(*reader, metadata), kMetadata);
    EXPECT_EQ(decodedStream(*reader, metadata), qpdfShow(file, *qpdfPassword, metadata, true));
    EXPECT_EQ(reader->nesting(), 0);
}

class ReaderEncryption : public ::testing::TestWithParam<Variant> {
protected:
    void SetUp() override {
        if (!testing::qpdfAvailable()) GTEST_SKIP() << "qpdf not installed";
    }
};

TEST_P(ReaderEncryption, UserPasswordDecryptsLikeQpdf) {
    TempDir dir;
    expectDecryptedLikeQpdf(encrypt(dir, GetParam(), kUser, kOwner), kUser);
}

TEST_P(ReaderEncryption, OwnerPasswordDecryptsLikeQpdf) {
    TempDir dir;
    expectDecryptedLikeQpdf(encrypt(dir, GetParam(), kUser, kOwner), kOwner);
}

TEST_P(ReaderEncryption, WrongOrMissingPasswordOpensLockedWithTheReason) {
    TempDir dir;
    auto file = encrypt(dir, GetParam(), kUser, kOwner);
    for (std::optional<std::string> password : {std::optional<std::string>("not-it"), std::optional<std::string>()}) {
        auto reader = PDFFileReader::open(file, password);
        EXPECT_TRUE(reader->isEncrypted());
        EXPECT_FALSE(reader->security());
        ASSERT_TRUE(reader->securityError());
        const auto* error = std::get_if<PDFSecurityError>(&*reader->securityError());
        ASSERT_NE(error, nullptr);
        EXPECT_EQ(error->code(), PDFSecurityError::Code::wrongPassword);
        EXPECT_EQ(reader->securityErrorText(), "wrong password");
        // The structure is readable without the key, unless it sits in
        // (encrypted) object streams.
        if (GetParam().name.find("object_streams") == std::string::npos) {
            EXPECT_EQ(reader->pageRefs().size(), 2u);
        }
    }
}

TEST_P(ReaderEncryption, EmptyUserPasswordOpensWithAnyPassword) {
    TempDir dir;
    auto file = encrypt(dir, GetParam(), "", kOwner);
    expectDecryptedLikeQpdf(file, std::nullopt);
    expectDecryptedLikeQpdf(file, "anything at all", "");
    expectDecryptedLikeQpdf(file, kOwner);
}

TEST_P(ReaderEncryption, EncryptionDictionaryIsReturnedAsStored) {
    TempDir dir;
    auto file = encrypt(dir, GetParam(), kUser, kOwner);
    auto reader = PDFFileReader::open(file, kUser);
    ASSERT_TRUE(reader->security());
    ASSERT_TRUE(reader->encryptRef());
    std::optional<PDFObject> encrypt = reader->object(reader->encryptRef()->num);
    ASSERT_TRUE(encrypt && encrypt->dictionary());
    PDFValue theirs = parsed(qpdfShow(file, kUser, reader->encryptRef()->num, false));
    for (const char* key : {"O", "U"})
        EXPECT_EQ(*encrypt->dictionary()->find(key), *theirs.dictValue()->find(key)) << key;
}

INSTANTIATE_TEST_SUITE_P(Qpdf, ReaderEncryption, ::testing::ValuesIn(variants()),
                         [](const ::testing::TestParamInfo<Variant>& info) { return info.param.name; });

TEST(ReaderEncryptionPasswords, LatinOnePasswordGivenAsUTF8Unlocks) {
    if (!testing::qpdfAvailable()) GTEST_SKIP() << "qpdf not installed";
    TempDir dir;
    for (const Variant& v : {Variant{"rc4", {"--allow-weak-crypto"}, {"128", "--use-aes=n"}},
                             Variant{"aes", {}, {"128", "--use-aes=y"}}}) {
        auto file = encrypt(dir, v, "\xE9t\xE9", kOwner, {"--password-mode=bytes"});
        expectDecryptedLikeQpdf(file, "été");
        EXPECT_FALSE(PDFFileReader::open(file, "ete")->security());
    }
}

TEST(ReaderEncryptionPasswords, UnicodePasswordOfRevisionSixUnlocks) {
    if (!testing::qpdfAvailable()) GTEST_SKIP() << "qpdf not installed";
    TempDir dir;
    auto file = encrypt(dir, Variant{"aes256", {}, {"256"}}, "пароль", kOwner);
    expectDecryptedLikeQpdf(file, "пароль");
    EXPECT_FALSE(PDFFileReader::open(file, "парол")->security());
}

TEST(ReaderEncryptionPasswords, CrossReferenceStreamDataIsNeverDecrypted) {
    if (!testing::qpdfAvailable()) GTEST_SKIP() << "qpdf not installed";
    TempDir dir;
    auto file = encrypt(dir, Variant{"xref_stream", {"--object-streams=generate"}, {"128", "--use-aes=y"}}, kUser, kOwner);
    auto reader = PDFFileReader::open(file, kUser);
    ASSERT_TRUE(reader->security());
    ASSERT_TRUE(reader->newestSectionIsStream());
    int xrefStreams = 0;
    for (int64_t n = 1; n < reader->entries().size(); ++n) {
        if (reader->entries().entry(n).kind != XRefEntry::Kind::inFile) continue;
        std::optional<PDFObject> object = reader->object(n);
        if (!object || !object->isStream() || !object->stream()->dict.find("Type") ||
            !object->stream()->dict.find("Type")->isName("XRef"))
            continue;
        ++xrefStreams;
        // Decrypting would have turned the rows into noise that does not inflate.
        Bytes rows = reader->decodeStream(object->stream()->dict, object->stream()->data);
        EXPECT_FALSE(rows.empty());
    }
    EXPECT_EQ(xrefStreams, 1);
}

TEST(ReaderEncryptionPasswords, MissingEncryptionDictionaryIsASecurityErrorNotAFailure) {
    TempDir dir;
    PdfBuilder b;
    b.add(1, PDFValue::dict({{"Type", PDFValue::name("Catalog")}, {"Pages", PDFValue::ref(2, 0)}}));
    b.add(2, PDFValue::dict({{"Type", PDFValue::name("Pages")}, {"Kids", PDFValue::array({})}}));
    b.finishWithTable({{"Size", PDFValue::integer(3)}, {"Root", PDFValue::ref(1, 0)}, {"Encrypt", PDFValue::ref(7, 0)}});
    b.writeTo(dir.file("doc.pdf"));
    auto reader = PDFFileReader::open(dir.file("doc.pdf"), "x");
    EXPECT_TRUE(reader->isEncrypted());
    EXPECT_FALSE(reader->security());
    EXPECT_EQ(reader->securityErrorText(), "unsupported encryption: no /Encrypt dictionary");
    EXPECT_EQ(reader->encryptRef(), (PDFRef{7, 0}));
    EXPECT_TRUE(reader->pageRefs().empty());
}

}  // namespace
}  // namespace quillet
