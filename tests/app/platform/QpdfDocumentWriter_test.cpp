#include "app/platform/QpdfDocumentWriter.h"

#include <gtest/gtest.h>

#include "app/platform/QpdfAnnotationEditor.h"
#include "support/QtTestSupport.h"

namespace quillet {
namespace {

using namespace testing;

// The page objects of a file as qpdf's uncompressed form shows them.
std::string expanded(const std::filesystem::path& pdf) {
    return runQpdf({"--qdf", "--object-streams=disable", pdf.string(), "-"}).out;
}

// The code of the engine error `write` throws; none when it succeeds.
std::optional<PDFEngineError::Code> failure(const std::function<void()>& write) {
    try {
        write();
    } catch (const PDFEngineError& e) {
        return e.code();
    }
    return std::nullopt;
}

class QpdfDocumentWriterTest : public ::testing::Test {
  protected:
    void SetUp() override {
        testApplication();
        writeFile(dir.file("markup.pdf"), markupFixture());
        document = openPDFDocument(qpath(dir.file("markup.pdf")));
    }

    TempDir dir;
    std::unique_ptr<PDFDocument> document;
};

TEST_F(QpdfDocumentWriterTest, BurntInCopyHasTheAnnotationsInThePageAndNoneLeft) {
    const auto flat = dir.file("flat.pdf");
    document->write(qpath(flat), PDFWriteOptions{true});
    const std::string objects = expanded(flat);
    ASSERT_FALSE(objects.empty());
    EXPECT_EQ(objects.find("/Annots"), std::string::npos);
    EXPECT_EQ(objects.find("/Subtype /Square"), std::string::npos);
    auto burnt = openPDFDocument(qpath(flat));
    EXPECT_EQ(burnt->pageCount(), 6);
    // Part of the page now: hiding by name cannot take it away.
    EXPECT_TRUE(isRed(colourAt(*burnt, 0, markupRed.center(), 1, {QStringLiteral("red-one")})));
    // What the file hid is not burnt in.
    EXPECT_TRUE(isWhite(colourAt(*burnt, 0, markupGreen.center())));
}

TEST_F(QpdfDocumentWriterTest, FailedWritesThrowAndLeaveTheDestinationAlone) {
    const auto existing = dir.file("existing.pdf");
    writeFile(existing, "earlier content");
    writeFile(dir.file("broken.pdf"), "not a pdf");
    auto writeFrom = [&](const char* source) {
        return failure([&] { QpdfDocumentWriter::write(qpath(dir.file(source)), {}, qpath(existing), {}); });
    };
    EXPECT_EQ(writeFrom("broken.pdf"), PDFEngineError::Code::writeFailed);
    EXPECT_TRUE(writeFrom("gone.pdf"));
    EXPECT_EQ(readFile(existing), "earlier content");
}

// qpdf rebuilds the cross-reference table of a file whose startxref points
// nowhere and warns that it did; both writers log that and return it.
TEST_F(QpdfDocumentWriterTest, RepairsOfTheSourceAreReportedNotSuppressed) {
    Bytes damaged = markupFixture();
    const size_t at = damaged.rfind("startxref");
    ASSERT_NE(at, Bytes::npos);
    damaged.replace(at, Bytes::npos, "startxref\n999999\n%%EOF\n");
    writeFile(dir.file("damaged.pdf"), damaged);
    const QString source = qpath(dir.file("damaged.pdf"));

    ::testing::internal::CaptureStderr();
    const std::vector<std::string> copied =
        QpdfDocumentWriter::write(source, {}, qpath(dir.file("copy.pdf")), {});
    const std::string log = ::testing::internal::GetCapturedStderr();
    ASSERT_FALSE(copied.empty());
    EXPECT_NE(log.find("VerdaPDF: qpdf: " + copied.front()), std::string::npos) << log;
    EXPECT_FALSE(QpdfAnnotationEditor::open(source).write(qpath(dir.file("edited.pdf"))).empty());
    EXPECT_EQ(QpdfDocumentWriter::write(qpath(dir.file("markup.pdf")), {}, qpath(dir.file("clean.pdf")), {}),
              std::vector<std::string>{});
}

}  // namespace
}  // namespace quillet
