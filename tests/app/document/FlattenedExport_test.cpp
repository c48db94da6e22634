// The flattened export: its proposed name, a copy without annotations that
// looks like the document with its markup, encrypted documents, and failures
// that leave the chosen file as it was.
#include "app/document/FlattenedExport.h"

#include <gtest/gtest.h>

#include <regex>

#include "app/document/SaveEngineFixture.h"
#include "support/QtTestSupport.h"
#include "support/RasterCompare.h"

namespace quillet::testing {
namespace {

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
