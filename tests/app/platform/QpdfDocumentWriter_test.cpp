// Whole-document writes: a plain copy keeps annotations as annotations, a
// burnt-in copy has them in the page content and none left, an encrypted file
// stays encrypted, and a failed write leaves the destination alone.
#include "app/platform/QpdfDocumentWriter.h"

#include <gtest/gtest.h>

#include <QColor>

#include "support/TempDir.h"
#include "tests/app/platform/PlatformTestSupport.h"

namespace quillet {
namespace {

using testing::TempDir;

QString qpath(const std::filesystem::path& p)
{
    return QString::fromStdString(p.string());
}

// The page objects of a file as qpdf's uncompressed form shows them.
std::string expanded(const std::filesystem::path& pdf, const std::string& password = {})
{
    std::vector<std::string> args{"--qdf", "--object-streams=disable"};
    if (!password.empty()) {
        args.push_back("--password=" + password);
        args.push_back("--decrypt");
    }
    args.push_back(pdf.string());
    args.push_back("-");
    return testing::runQpdf(args).out;
}

class QpdfDocumentWriterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        testing::testApplication();
        testing::writeFile(dir.file("markup.pdf"), testing::markupFixture());
        document = openPDFDocument(qpath(dir.file("markup.pdf")));
    }

    bool redAt(PDFDocument& doc, const QSet<QString>& hidden)
    {
        const PDFPageGeometry geometry = *doc.pageGeometry(0);
        const QImage image = doc.renderPage(0, 1, hidden);
        const QPointF p = geometry.toDisplay(testing::markupRed.center());
        const QColor c = image.pixelColor(int(p.x()), int(p.y()));
        return c.red() > 200 && c.green() < 60 && c.blue() < 60;
    }

    TempDir dir;
    std::unique_ptr<PDFDocument> document;
};

TEST_F(QpdfDocumentWriterTest, PlainCopyKeepsTheAnnotationsAsAnnotations)
{
    const auto copy = dir.file("copy.pdf");
    document->write(qpath(copy));
    auto reopened = openPDFDocument(qpath(copy));
    EXPECT_EQ(reopened->pageCount(), 6);
    EXPECT_TRUE(redAt(*reopened, {}));
    EXPECT_FALSE(redAt(*reopened, {QStringLiteral("red-one")}));
    EXPECT_NE(expanded(copy).find("/Annots"), std::string::npos);
}

TEST_F(QpdfDocumentWriterTest, BurntInCopyHasTheAppearanceInThePageAndNoAnnotationsLeft)
{
    const auto copy = dir.file("flat.pdf");
    document->write(qpath(copy), PDFWriteOptions{true});
    const std::string objects = expanded(copy);
    ASSERT_FALSE(objects.empty());
    EXPECT_EQ(objects.find("/Annots"), std::string::npos);
    EXPECT_EQ(objects.find("/Subtype /Square"), std::string::npos);
    auto reopened = openPDFDocument(qpath(copy));
    EXPECT_EQ(reopened->pageCount(), 6);
    // Part of the page now: hiding by name cannot take it away.
    EXPECT_TRUE(redAt(*reopened, {QStringLiteral("red-one")}));
    // What the file hid is not burnt in.
    const PDFPageGeometry geometry = *reopened->pageGeometry(0);
    const QPointF green = geometry.toDisplay(testing::markupGreen.center());
    EXPECT_GT(reopened->renderPage(0, 1, {}).pixelColor(int(green.x()), int(green.y())).red(), 240);
}

TEST_F(QpdfDocumentWriterTest, EncryptedDocumentsAreWrittenEncryptedWithTheSamePassword)
{
    ASSERT_TRUE(testing::qpdfAvailable());
    const auto locked = dir.file("locked.pdf");
    ASSERT_EQ(testing::runQpdf({"--encrypt", "s3cret", "owner-pw", "256", "--", dir.file("markup.pdf").string(),
                                locked.string()})
                  .status,
              0);
    auto encrypted = openPDFDocument(qpath(locked));
    ASSERT_TRUE(encrypted->unlock(QStringLiteral("s3cret")));
    const auto copy = dir.file("flat-locked.pdf");
    encrypted->write(qpath(copy), PDFWriteOptions{true});
    auto reopened = openPDFDocument(qpath(copy));
    EXPECT_TRUE(reopened->isLocked());
    ASSERT_TRUE(reopened->unlock(QStringLiteral("s3cret")));
    EXPECT_TRUE(redAt(*reopened, {QStringLiteral("red-one")}));
    EXPECT_EQ(expanded(copy, "s3cret").find("/Annots"), std::string::npos);
}

TEST_F(QpdfDocumentWriterTest, FailedWritesThrowAndLeaveTheDestinationAlone)
{
    const auto existing = dir.file("existing.pdf");
    testing::writeFile(existing, "earlier content");
    testing::writeFile(dir.file("broken.pdf"), "not a pdf");
    try {
        QpdfDocumentWriter::write(qpath(dir.file("broken.pdf")), {}, qpath(existing), {});
        FAIL() << "wrote a broken source";
    } catch (const PDFEngineError& e) {
        EXPECT_EQ(e.code(), PDFEngineError::Code::writeFailed);
    }
    EXPECT_EQ(testing::readFile(existing), "earlier content");

    try {
        document->write(qpath(dir.file("no-such-folder") / "copy.pdf"));
        FAIL() << "wrote into a missing folder";
    } catch (const PDFEngineError& e) {
        EXPECT_EQ(e.code(), PDFEngineError::Code::writeFailed);
        EXPECT_NE(e.text().find("could not be written"), std::string::npos);
    }
    EXPECT_THROW(QpdfDocumentWriter::write(qpath(dir.file("gone.pdf")), {}, qpath(existing), {}), PDFEngineError);
    EXPECT_EQ(testing::readFile(existing), "earlier content");
}

TEST_F(QpdfDocumentWriterTest, AWrongPasswordIsReportedAsLocked)
{
    ASSERT_TRUE(testing::qpdfAvailable());
    const auto locked = dir.file("locked.pdf");
    ASSERT_EQ(testing::runQpdf({"--encrypt", "s3cret", "o", "256", "--", dir.file("markup.pdf").string(),
                                locked.string()})
                  .status,
              0);
    try {
        QpdfDocumentWriter::write(qpath(locked), {"nope"}, qpath(dir.file("out.pdf")), {});
        FAIL() << "opened with a wrong password";
    } catch (const PDFEngineError& e) {
        EXPECT_EQ(e.code(), PDFEngineError::Code::locked);
    }
    EXPECT_FALSE(std::filesystem::exists(dir.file("out.pdf")));
}

}  // namespace
}  // namespace quillet
