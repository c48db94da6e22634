// The save engine: incremental saves verified by qpdf, the rewrite fallback,
// the crash marker's shortcut, and what a failed verification names. And the
// flattened export: its proposed name, a copy without annotations that looks
// like the document with its markup, encrypted documents, and failures that
// leave the chosen file as it was.
#include "app/document/SaveEngine.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <regex>

#include "app/document/CrashMarker.h"
#include "app/document/DocumentKey.h"
#include "app/document/FlattenedExport.h"
#include "app/document/SaveEngineError.h"
#include "app/document/SaveEngineFixture.h"
#include "support/QpdfEncryption.h"
#include "support/QtTestSupport.h"
#include "support/RasterCompare.h"

namespace quillet::testing {
namespace {

using Code = SaveEngineError::Code;

TEST_F(SaveEngineTest, IncrementalSaveAppendsToTheSourceAndKeepsItsPageReferences) {
    const SaveJob job = jobFor({{0, fiveItems(1)}, {2, {inkItem(9, {{10, 10}, {20, 20}})}}});
    const SaveOutcome outcome = SaveEngine().run(job, output.string());

    EXPECT_EQ(outcome.method, SaveOutcome::Method::incremental);
    ASSERT_TRUE(outcome.pageRefs);
    EXPECT_EQ(outcome.pageRefs->size(), 3u);
    const std::string original = readFile(source), saved = readFile(output);
    EXPECT_EQ(saved.substr(0, original.size()), original);
    EXPECT_EQ(itemsOnPage(output, 0), fiveItems(1));
    EXPECT_FALSE(std::filesystem::exists(*CrashMarker(job.documentPath).path()));
}

TEST_F(SaveEngineTest, VanishedWorkingCopyIsReplacedByTheFallbackWithoutPageReferences) {
    const std::filesystem::path own = dir.file("own.pdf");
    std::filesystem::rename(source, own);
    SaveJob job = jobFor({{1, fiveItems(1)}});
    job.fallbackSource = own.string();
    job.cachedPageRefs = std::vector<PDFRef>{{90, 0}, {91, 0}, {92, 0}};  // of the vanished copy; unused

    const SaveOutcome outcome = SaveEngine().run(job, output.string());
    EXPECT_EQ(outcome.method, SaveOutcome::Method::incremental);
    EXPECT_FALSE(outcome.pageRefs);
    EXPECT_EQ(itemsOnPage(output, 1), fiveItems(1));
}

TEST_F(SaveEngineTest, StaleMarkerMakesTheSaveARewriteThatReopensLikeAnIncrementalOne) {
    const SaveJob job = jobFor({{0, fiveItems(1)}});
    leaveStaleMarker(job);

    const SaveOutcome outcome = SaveEngine().run(job, output.string());
    EXPECT_EQ(outcome.method, SaveOutcome::Method::rewrite);
    EXPECT_FALSE(outcome.pageRefs);
    EXPECT_FALSE(CrashMarker(job.documentPath).isStale());
    EXPECT_FALSE(std::filesystem::exists(*CrashMarker(job.documentPath).path()));
    EXPECT_EQ(runQpdf({"--check", output.string()}).status, 0);
    // The rewrite carries the same annotations, items and order.
    EXPECT_EQ(itemsOnPage(output, 0), fiveItems(1));
    PDFFileReader reader(output);
    std::vector<std::string> subtypes;
    for (const PDFValue& entry : annotationsOfPage(reader, 0)) {
        subtypes.push_back(*reader.resolve(entry).dictValue()->find("Subtype")->nameValue());
    }
    EXPECT_EQ(subtypes, (std::vector<std::string>{"Ink", "FreeText", "FreeText", "Text", "Popup", "Ink"}));

    // Saved again from the rewritten file: incremental, and the items are reused.
    const std::filesystem::path again = dir.file("again.pdf");
    SaveJob next = job;
    next.source = output.string();
    EXPECT_EQ(SaveEngine().run(next, again.string()).method, SaveOutcome::Method::incremental);
    EXPECT_EQ(readFile(again), readFile(output));
}

TEST_F(SaveEngineTest, FailedAppendFallsBackToARewrite) {
    const SaveJob job = jobFor({{2, fiveItems(1)}});
    EXPECT_EQ(SaveEngine(failingFsync()).run(job, output.string()).method, SaveOutcome::Method::rewrite);
    EXPECT_EQ(itemsOnPage(output, 2), fiveItems(1));
    EXPECT_FALSE(std::filesystem::exists(*CrashMarker(job.documentPath).path()));
}

TEST_F(SaveEngineTest, RewriteOfTheWrongPageCountFailsWithTheCountsFound) {
    writeFile(source, simpleDocument(11));
    const SaveJob job = jobFor({{0, fiveItems(1)}}, 12);
    leaveStaleMarker(job);
    const SaveEngineError error = failureOf([&] { SaveEngine().run(job, output.string()); });
    EXPECT_EQ(error.code(), Code::verificationFailed);
    EXPECT_NE(error.text().find("11 pages instead of 12"), std::string::npos) << error.text();
}

TEST_F(SaveEngineTest, VerificationNamesThePageWhoseMarkupDiffers) {
    std::vector<AnnotationItem> five = fiveItems(1);
    std::vector<AnnotationItem> four(five.begin(), five.end() - 1);
    SaveEngine().run(jobFor({{2, four}}), output.string());

    EXPECT_EQ(verifyFailure({{2, five}}).en, "page 3 has 4 markups instead of 5");

    std::vector<AnnotationItem> foreign = four;
    foreign.push_back(inkItem(77, {{1, 1}, {2, 2}}));
    SaveEngine().run(jobFor({{2, five}}), output.string());
    EXPECT_EQ(verifyFailure({{2, foreign}}).en, "page 3 has 5 markups instead of 5");

    EXPECT_EQ(verifyFailure({{5, {}}}).en, "page 6 is missing");
}

TEST_F(SaveEngineTest, OnlyTheFirstTwoHundredTouchedPagesAreVerified) {
    writeFile(source, simpleDocument(250));
    std::map<int, std::vector<AnnotationItem>> pages;
    for (int i = 0; i < 250; ++i) {
        pages[i] = {inkItem(i + 1, {{10, 10}, {20, 20}})};
    }
    SaveEngine().run(jobFor(pages, 250), output.string());

    std::map<int, std::vector<AnnotationItem>> claimed = pages;
    claimed[200].push_back(inkItem(999, {{1, 1}, {2, 2}}));  // the 201st page: not looked at
    EXPECT_NO_THROW(SaveEngine::verify(output.string(), jobFor(claimed, 250)));
    claimed[199].push_back(inkItem(998, {{1, 1}, {2, 2}}));
    EXPECT_EQ(verifyFailure(claimed, 250).en, "page 200 has 1 markups instead of 2");
}

// Verification finds pages by the tree's counts: a nested tree, as most
// producers write, must give the same pages as the writer's walk.
TEST_F(SaveEngineTest, NestedPageTreeIsVerifiedPageByPage) {
    PdfBuilder b;
    b.addRaw(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.addRaw(2, "<< /Type /Pages /Kids [3 0 R 6 0 R] /Count 3 >>");
    b.addRaw(3, "<< /Type /Pages /Parent 2 0 R /Kids [4 0 R 5 0 R] /Count 2 >>");
    for (int page : {4, 5, 6}) {
        b.addRaw(page, "<< /Type /Page /Parent " + std::string(page == 6 ? "2" : "3") +
                           " 0 R /MediaBox [0 0 612 792] >>");
    }
    b.finishWithTable(PDFDictionary{{"Root", PDFValue::ref(1, 0)}, {"Size", PDFValue::integer(7)}});
    b.writeTo(source);

    const std::vector<AnnotationItem> second = {inkItem(1, {{1, 1}, {9, 9}})};
    const std::vector<AnnotationItem> third = {inkItem(2, {{1, 1}, {9, 9}}), inkItem(3, {{5, 5}, {7, 7}})};
    EXPECT_EQ(SaveEngine().run(jobFor({{1, second}, {2, third}}), output.string()).method,
              SaveOutcome::Method::incremental);
    EXPECT_EQ(itemsOnPage(output, 1), second);
    EXPECT_EQ(itemsOnPage(output, 2), third);
    EXPECT_EQ(verifyFailure({{1, third}}).en, "page 2 has 1 markups instead of 2");
}

TEST_F(SaveEngineTest, VerificationOfAFileThatDoesNotOpen) {
    writeFile(output, "not a PDF at all");
    const std::string damaged = verifyFailure({}).en;
    ASSERT_EQ(runQpdf({"--encrypt", "user", "owner", "256", "--", source.string(), output.string()}).status,
              0);
    EXPECT_NE(verifyFailure({}).en, damaged) << "a locked file is told apart from a damaged one";
}

// Encrypted files keep their password through a save, and are never rewritten.
class EncryptedSave : public SaveEngineTest, public ::testing::WithParamInterface<std::string> {};

TEST_P(EncryptedSave, KeepsThePasswordAndItsPayloadsDecrypt) {
    const EncryptionVariant& variant =
        *std::find_if(qpdfEncryptionVariants().begin(), qpdfEncryptionVariants().end(),
                      [](const EncryptionVariant& v) { return v.name == GetParam(); });
    const SaveJob job =
        encryptedJobFor({{1, fiveItems(1)}}, "secret", qpdfEncryptArgs(variant, "secret", "owner"));
    leaveStaleMarker(job);  // never a shortcut to a rewrite for an encrypted file
    EXPECT_EQ(SaveEngine().run(job, output.string()).method, SaveOutcome::Method::incremental);

    EXPECT_EQ(runQpdf({"--requires-password", output.string()}).status, 0);
    EXPECT_EQ(runQpdf({"--check", "--password=secret", output.string()}).status, 0);
    const std::filesystem::path decrypted = dir.file("decrypted.pdf");
    ASSERT_EQ(runQpdf({"--password=secret", "--decrypt", output.string(), decrypted.string()}).status, 0);
    EXPECT_EQ(itemsOnPage(decrypted, 1), fiveItems(1));
}

INSTANTIATE_TEST_SUITE_P(Ciphers, EncryptedSave, ::testing::Values("rc4_128", "aes_256"));

TEST_F(SaveEngineTest, EncryptedFileWhoseIncrementalSaveFailsIsNotRewritten) {
    const SaveJob job = encryptedJobFor({{0, fiveItems(1)}}, "wrong");

    const SaveEngineError error = failureOf([&] { SaveEngine().run(job, output.string()); });
    EXPECT_EQ(error.code(), Code::encryptedUnsupported);
    EXPECT_FALSE(std::filesystem::exists(output));
    EXPECT_FALSE(std::filesystem::exists(*CrashMarker(job.documentPath).path()));
}

TEST_F(SaveEngineTest, CrashMarkerIsStaleOnlyForAProcessThatIsGone) {
    const CrashMarker marker(document.string());
    ASSERT_TRUE(marker.path());
    EXPECT_EQ(std::filesystem::path(*marker.path()),
              dir.file("data") / "Quillet" / "Recovery" / (DocumentKey::of(document.string()) + ".saving"));
    EXPECT_FALSE(marker.isStale());  // missing

    marker.write();
    EXPECT_EQ(readFile(*marker.path()), std::to_string(getpid()));
    EXPECT_FALSE(marker.isStale());  // this process

    const struct {
        std::string text;
        bool stale;
    } cases[] = {
        {std::to_string(getppid()), false},  // alive
        {"2147483646", true},
        {"+2147483646", true},
        {"-5", false},
        {"2147483648", false},  // not a 32-bit number
        {"12ab", false},
        {"", false},
    };
    for (const auto& c : cases) {
        writeFile(*marker.path(), c.text);
        EXPECT_EQ(marker.isStale(), c.stale) << c.text;
    }
    marker.remove();
    EXPECT_FALSE(std::filesystem::exists(*marker.path()));
    marker.remove();  // gone already: nothing happens
}

TEST(DocumentKey, IsTheDigestPrefixOfTheResolvedPath) {
    TempDir dir;
    const std::filesystem::path file = dir.file("a.pdf"), link = dir.file("link.pdf");
    writeFile(file, "x");
    std::filesystem::create_symlink(file, link);
    const std::string key = DocumentKey::of(file.string());
    EXPECT_EQ(key.size(), 32u);
    EXPECT_EQ(key.find_first_not_of("0123456789abcdef"), std::string::npos);
    EXPECT_EQ(DocumentKey::of(link.string()), key);
    EXPECT_EQ(DocumentKey::of((dir.path() / "." / "a.pdf").string()), key);
    // printf '%s' /tmp/x.pdf | sha256sum
    EXPECT_EQ(DocumentKey::of("/tmp/x.pdf").substr(0, 8), "c94b33ea");
}

TEST(FlattenedExportName, IsTheDisplayNameWithoutItsExtensionAndTheSuffix) {
    struct Case {
        const char* name;
        Language language;
        const char* proposed;
    };
    for (const Case& c : {Case{"Report.pdf", Language::en, "Report (with markup).pdf"},
                          Case{"Report.pdf", Language::ru, "Report (с пометками).pdf"},
                          Case{"v1.2 notes.PDF", Language::en, "v1.2 notes (with markup).pdf"},
                          Case{"Untitled", Language::en, "Untitled (with markup).pdf"}}) {
        EXPECT_EQ(FlattenedExport::proposedName(QString::fromUtf8(c.name), c.language),
                  QString::fromUtf8(c.proposed))
            << c.name;
    }
}

class FlattenedExportTest : public SaveEngineTest {
  protected:
    void SetUp() override {
        SaveEngineTest::SetUp();
        std::filesystem::create_directories(temp);
        setenv("TMPDIR", temp.c_str(), 1);
    }
    void TearDown() override {
        unsetenv("TMPDIR");
        // The private folders may stay for the next export; their files may not.
        for (const auto& entry : std::filesystem::recursive_directory_iterator(temp)) {
            EXPECT_TRUE(entry.is_directory()) << "temporary file left behind: " << entry.path();
        }
    }

    // Annotation dictionaries left in `pdf` (qpdf's uncompressed form).
    int annotationCount(const std::filesystem::path& pdf, const std::string& password = {}) {
        const std::filesystem::path plain = dir.file("plain-form.pdf");
        std::vector<std::string> args = {"--qdf", "--object-streams=disable", "--decrypt"};
        if (!password.empty()) {
            args.push_back("--password=" + password);
        }
        args.insert(args.end(), {pdf.string(), plain.string()});
        EXPECT_EQ(runQpdf(args).status, 0);
        const std::string text = readFile(plain);
        const std::regex annot("/Type /Annot\\b|/Subtype /(Ink|FreeText|Line|Text|Stamp|Popup|Square)\\b");
        return int(
            std::distance(std::sregex_iterator(text.begin(), text.end(), annot), std::sregex_iterator()));
    }

    std::filesystem::path temp = dir.file("tmp");
    std::filesystem::path exported = dir.file("Report (with markup).pdf");
};

TEST_F(FlattenedExportTest, CopyHasNoAnnotationsAndLooksLikeTheDocumentWithItsMarkup) {
    const SaveJob job = jobFor({{1, fiveItems(1)}});
    SaveEngine().run(job, output.string());  // the document with its markup, as annotations
    ASSERT_GT(annotationCount(output), 0);

    FlattenedExport::run(job, qpath(exported));
    EXPECT_EQ(annotationCount(exported), 0);
    EXPECT_EQ(runQpdf({"--check", exported.string()}).status, 0);
    for (int page : {1, 2}) {
        const QImage withMarkup = rasterisePage(output, page, 40);
        const QImage flattened = rasterisePage(exported, page, 40);
        ASSERT_FALSE(withMarkup.isNull());
        EXPECT_GE(matchingShare(withMarkup, flattened), 0.99) << "page " << page;
    }
    // The markup is there to match: page 2 with it differs from page 2 without it.
    EXPECT_LT(matchingShare(rasterisePage(source, 2, 40), rasterisePage(exported, 2, 40), 0), 0.999);
}

TEST_F(FlattenedExportTest, EncryptedDocumentExportsWithItsPassword) {
    const SaveJob job = encryptedJobFor({{0, fiveItems(1)}}, "secret");

    FlattenedExport::run(job, qpath(exported));
    EXPECT_EQ(runQpdf({"--requires-password", exported.string()}).status, 0);
    EXPECT_EQ(annotationCount(exported, "secret"), 0);
    SaveEngine().run(job, output.string());
    EXPECT_GE(matchingShare(rasterisePage(output, 1, 40, "secret"), rasterisePage(exported, 1, 40, "secret")),
              0.99);
}

TEST_F(FlattenedExportTest, FailedOrCancelledExportLeavesTheChosenFileAsItWas) {
    writeFile(exported, "an earlier file");
    SaveJob unreadable = jobFor({{0, fiveItems(1)}});
    unreadable.source = dir.file("missing.pdf").string();
    failureOf([&] { FlattenedExport::run(unreadable, qpath(exported)); });  // a SaveEngineError, whichever

    const SaveJob job = jobFor({{0, fiveItems(1)}});
    EXPECT_EQ(failureOf([&] { FlattenedExport::run(job, qpath(dir.file("no-such-folder/out.pdf"))); }).code(),
              SaveEngineError::Code::writeFailed);

    const std::atomic<bool> cancelled{true};
    EXPECT_THROW(FlattenedExport::run(job, qpath(exported), SaveEngine(), &cancelled),
                 FlattenedExport::Cancelled);
    EXPECT_EQ(readFile(exported), "an earlier file");
}

}  // namespace
}  // namespace quillet::testing
