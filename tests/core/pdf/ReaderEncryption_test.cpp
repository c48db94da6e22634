// Encrypted files as qpdf writes them, opened with the user, owner, wrong
// and empty passwords.
#include <gtest/gtest.h>

#include "core/pdf/Flate.h"
#include "support/QpdfEncryption.h"
#include "support/ReaderFixtures.h"

namespace quillet {
namespace {

using testing::EncryptionVariant;
using testing::ref;
using testing::TempDir;

const std::string kUser = "user-pw";
const std::string kOwner = "owner-pw";
const std::string kTitle = "Grüße, ünïcode (title)";
const std::string kMetadata = "<?xpacket begin=''?><x:xmpmeta xmlns:x='adobe:ns:meta/'/><?xpacket end='r'?>";

// Two pages, an Info title with non-ASCII text, and an XMP metadata stream
// (kept in the clear by --cleartext-metadata).
Bytes plainDocument() {
    testing::PdfBuilder b;
    b.add(1, PDFValue::dict({{"Type", PDFValue::name("Catalog")}, {"Pages", ref(2)}, {"Metadata", ref(9)}}));
    b.add(2, PDFValue::dict({{"Type", PDFValue::name("Pages")},
                             {"Kids", PDFValue::array({ref(4), ref(6)})},
                             {"Count", PDFValue::integer(2)}}));
    b.add(3, PDFValue::dict({{"Title", PDFValue::text(kTitle)}, {"Author", PDFValue::string("A. Author")}}));
    for (int i = 0; i < 2; ++i) {
        b.add(4 + 2 * i,
              PDFValue::dict(
                  {{"Type", PDFValue::name("Page")}, {"Parent", ref(2)}, {"Contents", ref(5 + 2 * i)}}));
        b.addStream(5 + 2 * i, {{"Filter", PDFValue::name("FlateDecode")}},
                    Flate::deflate(testing::simpleDocumentContent(i), 6));
    }
    b.addStream(9, {{"Type", PDFValue::name("Metadata")}, {"Subtype", PDFValue::name("XML")}}, kMetadata);
    b.finishWithTable({{"Size", PDFValue::integer(10)},
                       {"Root", ref(1)},
                       {"Info", ref(3)},
                       {"ID", PDFValue::array({PDFValue::string("0123456789abcdef"),
                                               PDFValue::string("fedcba9876543210")})}});
    return b.bytes();
}

std::filesystem::path encrypt(const TempDir& dir, const EncryptionVariant& v, const std::string& user,
                              const std::vector<std::string>& extra = {}) {
    const auto in = dir.file("plain.pdf"), out = dir.file(v.name + ".pdf");
    if (!std::filesystem::exists(in)) testing::writeFile(in, plainDocument());
    std::vector<std::string> args = testing::qpdfEncryptArgs(v, user, kOwner, extra);
    args.insert(args.end(), {in.string(), out.string()});
    const testing::CommandResult r = testing::runQpdf(args);
    EXPECT_EQ(r.status, 0) << r.err;
    return out;
}

std::string decodedStream(PDFFileReader& reader, int64_t num) {
    std::optional<PDFObject> object = reader.object(num);
    EXPECT_TRUE(object && object->isStream());
    if (!object || !object->isStream()) return {};
    return reader.decodeStream(object->stream()->dict, object->stream()->data);
}

// Everything the reader decrypts is the plain document's: page 1's content
// stream, the Info dictionary's strings, the clear metadata stream.
void expectDecrypted(const std::filesystem::path& file, const std::optional<std::string>& password) {
    auto reader = PDFFileReader::open(file, password);
    ASSERT_TRUE(reader->security()) << reader->securityErrorText().value_or("");
    EXPECT_FALSE(reader->securityError());
    std::vector<PDFRef> pages = reader->pageRefs();
    ASSERT_EQ(pages.size(), 2u);
    const int64_t contents =
        reader->resolve(PDFValue::ref(pages[0])).dictValue()->find("Contents")->refValue()->num;
    EXPECT_EQ(decodedStream(*reader, contents), testing::simpleDocumentContent(0));
    const PDFValue info = reader->resolve(*reader->trailer().find("Info"));
    ASSERT_TRUE(info.dictValue());
    EXPECT_EQ(*info.dictValue()->find("Title"), PDFValue::text(kTitle));
    EXPECT_EQ(*info.dictValue()->find("Author"), PDFValue::string("A. Author"));
    const int64_t metadata =
        reader->resolve(*reader->trailer().find("Root")).dictValue()->find("Metadata")->refValue()->num;
    EXPECT_EQ(decodedStream(*reader, metadata), kMetadata);
    EXPECT_EQ(reader->nesting(), 0);
}

class ReaderEncryptionPasswords : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!testing::qpdfAvailable()) GTEST_SKIP() << "qpdf not installed";
    }
    TempDir dir;
};

class ReaderEncryption : public ReaderEncryptionPasswords,
                         public ::testing::WithParamInterface<EncryptionVariant> {};

TEST_P(ReaderEncryption, UserAndOwnerPasswordsDecryptAndOthersOpenLockedWithTheReason) {
    const auto file = encrypt(dir, GetParam(), kUser);
    expectDecrypted(file, kUser);
    expectDecrypted(file, kOwner);
    for (const std::optional<std::string>& password :
         {std::optional<std::string>("not-it"), std::optional<std::string>()}) {
        auto reader = PDFFileReader::open(file, password);
        EXPECT_TRUE(reader->isEncrypted());
        EXPECT_FALSE(reader->security());
        ASSERT_TRUE(reader->securityError());
        const auto* error = std::get_if<PDFSecurityError>(&*reader->securityError());
        ASSERT_NE(error, nullptr);
        EXPECT_EQ(error->code(), PDFSecurityError::Code::wrongPassword);
        // The structure is readable without the key, unless it sits in
        // (encrypted) object streams.
        if (!GetParam().objectStreams) {
            EXPECT_EQ(reader->pageRefs().size(), 2u);
        }
    }
}

TEST_P(ReaderEncryption, EmptyUserPasswordOpensWithAnyPassword) {
    const auto file = encrypt(dir, GetParam(), "");
    expectDecrypted(file, std::nullopt);
    expectDecrypted(file, "anything at all");
    expectDecrypted(file, kOwner);
}

INSTANTIATE_TEST_SUITE_P(Qpdf, ReaderEncryption, ::testing::ValuesIn(testing::qpdfEncryptionVariants()),
                         [](const auto& info) { return info.param.name; });

TEST_F(ReaderEncryptionPasswords, LatinOnePasswordGivenAsUTF8Unlocks) {
    for (const EncryptionVariant& v : {EncryptionVariant{"rc4", {"128", "--use-aes=n"}},
                                       EncryptionVariant{"aes", {"128", "--use-aes=y"}}}) {
        const auto file = encrypt(dir, v, "\xE9t\xE9", {"--password-mode=bytes"});
        expectDecrypted(file, "été");
        EXPECT_FALSE(PDFFileReader::open(file, "ete")->security());
    }
}

// A stream whose own /Crypt filter names the Identity crypt filter is stored
// in the clear, whatever the file's method: decrypting it would garble it.
TEST_F(ReaderEncryptionPasswords, AStreamWithItsOwnCryptFilterIsNotDecryptedByTheFileMethod) {
    const auto file = encrypt(dir, {"aes", {"128", "--use-aes=y"}}, kUser);
    // An update appending the stream, the trailer's entries kept.
    testing::PdfBuilder update = testing::PdfBuilder::appendingTo(testing::readFile(file));
    PDFDictionary trailer;
    int64_t num = 0;
    {
        auto reader = PDFFileReader::open(file, kUser);
        num = reader->size();
        for (const char* key : {"Root", "Info", "ID", "Encrypt"})
            trailer.set(key, *reader->trailer().find(key));
        trailer.set("Prev", PDFValue::integer(reader->startXref()));
        trailer.set("Size", PDFValue::integer(num + 1));
    }
    update.addStream(num,
                     {{"Filter", PDFValue::name("Crypt")},
                      {"DecodeParms", PDFValue::dict({{"Name", PDFValue::name("Identity")}})}},
                     "in the clear");
    update.finishWithTable(trailer);
    update.writeTo(file);

    auto reader = PDFFileReader::open(file, kUser);
    std::optional<PDFObject> object = reader->object(num);
    ASSERT_TRUE(object && object->isStream());
    EXPECT_EQ(object->stream()->data, "in the clear");
}

}  // namespace
}  // namespace quillet
