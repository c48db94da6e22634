// The PDF document interface on generated files: opening and its errors,
// pages and rotation, passwords, rendering with hidden annotations, text, and
// the asynchronous search.
#include "app/platform/PopplerPDFDocument.h"
#include "app/platform/PDFPassword.h"

#include <gtest/gtest.h>

#include <thread>

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

class PopplerPDFDocumentTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        testing::testApplication();
        fixture = qpath(dir.file("markup.pdf"));
        testing::writeFile(dir.file("markup.pdf"), testing::markupFixture());
    }

    std::unique_ptr<PDFDocument> openFixture() { return openPDFDocument(fixture); }

    // The colour of the pixel at a page-space point, rendered at `scale`.
    static QColor colourAt(const QImage& image, const PDFPageGeometry& geometry, QPointF pagePoint, double scale)
    {
        const QPointF shown = geometry.toDisplay(pagePoint) * scale;
        return image.pixelColor(static_cast<int>(shown.x()), static_cast<int>(shown.y()));
    }

    static bool isWhite(const QColor& c) { return c.red() > 240 && c.green() > 240 && c.blue() > 240; }
    static bool isRed(const QColor& c) { return c.red() > 200 && c.green() < 60 && c.blue() < 60; }
    static bool isBlue(const QColor& c) { return c.blue() > 200 && c.red() < 60 && c.green() < 60; }
    static bool isGreen(const QColor& c) { return c.green() > 200 && c.red() < 60 && c.blue() < 60; }

    TempDir dir;
    QString fixture;
};

TEST_F(PopplerPDFDocumentTest, OpeningFailuresAreErrorsWithAReason)
{
    auto codeOf = [](const QString& path) {
        try {
            openPDFDocument(path);
        } catch (const PDFEngineError& e) {
            EXPECT_FALSE(e.localizedText(Language::ru).isEmpty());
            return e.code();
        }
        ADD_FAILURE() << "opened " << path.toStdString();
        return PDFEngineError::Code::writeFailed;
    };
    testing::writeFile(dir.file("text.pdf"), "this is not a PDF at all\n");
    testing::writeFile(dir.file("empty.pdf"), "");
    testing::writeFile(dir.file("truncated.pdf"), testing::markupFixture().substr(0, 40));
    EXPECT_EQ(codeOf(qpath(dir.file("missing.pdf"))), PDFEngineError::Code::fileNotFound);
    EXPECT_EQ(codeOf(qpath(dir.path())), PDFEngineError::Code::fileUnreadable);
    EXPECT_EQ(codeOf(qpath(dir.file("text.pdf"))), PDFEngineError::Code::notPDF);
    EXPECT_EQ(codeOf(qpath(dir.file("empty.pdf"))), PDFEngineError::Code::notPDF);
    EXPECT_EQ(codeOf(qpath(dir.file("truncated.pdf"))), PDFEngineError::Code::notPDF);
}

TEST_F(PopplerPDFDocumentTest, ReportsPagesCropBoxesAndRotations)
{
    auto document = openFixture();
    EXPECT_FALSE(document->isEncrypted());
    EXPECT_FALSE(document->isLocked());
    ASSERT_EQ(document->pageCount(), 6);
    EXPECT_FALSE(document->pageGeometry(6));
    EXPECT_FALSE(document->pageGeometry(-1));

    const auto plain = document->pageGeometry(0);
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->bounds, QRectF(0, 0, 300, 400));
    EXPECT_EQ(plain->rotation, 0);
    const int expected[] = {90, 180, 270};
    for (int i = 0; i < 3; ++i) {
        const auto turned = document->pageGeometry(3 + i);
        ASSERT_TRUE(turned);
        EXPECT_EQ(turned->rotation, expected[i]);
        EXPECT_EQ(turned->bounds, testing::rotatedCrop);
    }
}

TEST_F(PopplerPDFDocumentTest, RotatedPagesRenderWhereTheGeometrySaysTheyDo)
{
    auto document = openFixture();
    const double scale = 2;
    for (int page = 3; page < 6; ++page) {
        const PDFPageGeometry geometry = *document->pageGeometry(page);
        const QImage image = document->renderPage(page, scale, {});
        EXPECT_EQ(QSizeF(image.size()), geometry.displaySize() * scale) << "page " << page;
        EXPECT_TRUE(isGreen(colourAt(image, geometry, testing::rotatedGreen.center(), scale))) << "page " << page;
        // Just outside the square, towards the crop box's corner: paper.
        EXPECT_TRUE(isWhite(colourAt(image, geometry, testing::rotatedGreen.topLeft() - QPointF(5, 5), scale)))
            << "page " << page;
    }
}

TEST_F(PopplerPDFDocumentTest, HidingAnAnnotationByNameRemovesOnlyItsPixels)
{
    auto document = openFixture();
    const PDFPageGeometry geometry = *document->pageGeometry(0);
    const double scale = 1.5;
    const QImage all = document->renderPage(0, scale, {});
    EXPECT_TRUE(isRed(colourAt(all, geometry, testing::markupRed.center(), scale)));
    EXPECT_TRUE(isBlue(colourAt(all, geometry, testing::markupBlue.center(), scale)));

    const QImage withoutRed = document->renderPage(0, scale, {QStringLiteral("red-one")});
    EXPECT_TRUE(isWhite(colourAt(withoutRed, geometry, testing::markupRed.center(), scale)));
    EXPECT_TRUE(isBlue(colourAt(withoutRed, geometry, testing::markupBlue.center(), scale)));

    // Hiding is per render: the next render without names shows it again, and
    // what the file itself hides stays hidden throughout.
    const QImage again = document->renderPage(0, scale, {QStringLiteral("file-hidden")});
    EXPECT_TRUE(isRed(colourAt(again, geometry, testing::markupRed.center(), scale)));
    const QImage last = document->renderPage(0, scale, {});
    EXPECT_TRUE(isWhite(colourAt(last, geometry, testing::markupGreen.center(), scale)));
}

TEST_F(PopplerPDFDocumentTest, RenderingRefusesBadScalesAndBoundsHugeOnes)
{
    auto document = openFixture();
    EXPECT_TRUE(document->renderPage(0, 0, {}).isNull());
    EXPECT_TRUE(document->renderPage(0, -1, {}).isNull());
    EXPECT_TRUE(document->renderPage(0, std::nan(""), {}).isNull());
    EXPECT_TRUE(document->renderPage(9, 1, {}).isNull());
    const QImage huge = document->renderPage(0, 1e6, {});
    ASSERT_FALSE(huge.isNull());
    EXPECT_LE(double(huge.width()) * huge.height(), PopplerPDFDocument::maxRenderPixels * 1.01);
}

TEST_F(PopplerPDFDocumentTest, TextBoxesAreWordsInPageSpace)
{
    auto document = openFixture();
    const std::vector<PDFTextBox> words = document->textBoxes(0);
    ASSERT_EQ(words.size(), 2u);
    EXPECT_EQ(words[0].text, QStringLiteral("Alpha"));
    EXPECT_EQ(words[1].text, QStringLiteral("beta"));
    EXPECT_TRUE(words[0].hasSpaceAfter);
    // Drawn at x 50 on the baseline y 300, 18 pt, y up.
    EXPECT_NEAR(words[0].bounds.left(), 50, 2);
    EXPECT_GT(words[0].bounds.top(), 290);
    EXPECT_LT(words[0].bounds.top(), 301);
    EXPECT_GT(words[0].bounds.bottom(), 310);
    EXPECT_LT(words[0].bounds.bottom(), 325);
    EXPECT_GT(words[1].bounds.left(), words[0].bounds.right());
    ASSERT_EQ(words[0].characterBounds.size(), 5u);
    EXPECT_LT(words[0].characterBounds[0].left(), words[0].characterBounds[1].left());
}

struct SearchLog {
    std::vector<PDFSearchMatch> matches;
    int ends = 0;
    bool endedAfterMatches = true;
};

PDFSearchCallbacks recordInto(SearchLog& log)
{
    return {[&log](const PDFSearchMatch& m) {
                log.endedAfterMatches = log.ends == 0;
                log.matches.push_back(m);
            },
            [&log] { ++log.ends; }};
}

TEST_F(PopplerPDFDocumentTest, SearchReportsMatchesInDocumentOrderThenItsEnd)
{
    auto document = openFixture();
    SearchLog log;
    document->beginFind(QStringLiteral("BETA"), recordInto(log));
    ASSERT_TRUE(testing::pumpUntil([&] { return log.ends > 0; }));
    testing::pumpFor(std::chrono::milliseconds(50));
    EXPECT_EQ(log.ends, 1);
    EXPECT_TRUE(log.endedAfterMatches);
    ASSERT_EQ(log.matches.size(), 3u);
    EXPECT_EQ(log.matches[0].pageIndex, 0);
    EXPECT_EQ(log.matches[1].pageIndex, 2);
    EXPECT_EQ(log.matches[2].pageIndex, 2);
    EXPECT_LT(log.matches[1].bounds.left(), log.matches[2].bounds.left());
    EXPECT_NEAR(log.matches[1].bounds.left(), 50, 2);

    SearchLog accents;
    document->beginFind(QStringLiteral("cafe"), recordInto(accents));
    ASSERT_TRUE(testing::pumpUntil([&] { return accents.ends > 0; }));
    ASSERT_EQ(accents.matches.size(), 1u);
    EXPECT_EQ(accents.matches[0].pageIndex, 1);

    SearchLog none;
    document->beginFind(QStringLiteral("zebra"), recordInto(none));
    ASSERT_TRUE(testing::pumpUntil([&] { return none.ends > 0; }));
    EXPECT_TRUE(none.matches.empty());
}

TEST_F(PopplerPDFDocumentTest, ACancelledSearchReportsNothingMore)
{
    auto document = openFixture();
    SearchLog cancelled;
    auto search = document->beginFind(QStringLiteral("beta"), recordInto(cancelled));
    search->cancel();
    SearchLog replaced;
    document->beginFind(QStringLiteral("alpha"), recordInto(replaced));
    SearchLog current;
    document->beginFind(QStringLiteral("gamma"), recordInto(current));
    ASSERT_TRUE(testing::pumpUntil([&] { return current.ends > 0; }));
    testing::pumpFor(std::chrono::milliseconds(100));
    EXPECT_EQ(cancelled.ends + replaced.ends, 0);
    EXPECT_TRUE(cancelled.matches.empty());
    EXPECT_TRUE(replaced.matches.empty());
    ASSERT_EQ(current.matches.size(), 1u);
    EXPECT_EQ(current.matches[0].pageIndex, 2);
}

TEST_F(PopplerPDFDocumentTest, RenderingTextAndSearchMayOverlapAcrossThreads)
{
    auto document = openFixture();
    SearchLog log;
    document->beginFind(QStringLiteral("beta"), recordInto(log));
    std::vector<std::thread> workers;
    std::atomic<int> rendered{0};
    for (int t = 0; t < 3; ++t) {
        workers.emplace_back([&, t] {
            for (int i = 0; i < 4; ++i) {
                const QSet<QString> hidden = (i + t) % 2 ? QSet<QString>{QStringLiteral("red-one")} : QSet<QString>{};
                rendered += document->renderPage((i + t) % 6, 1, hidden).isNull() ? 0 : 1;
                document->textBoxes((i + t) % 6);
            }
        });
    }
    for (std::thread& w : workers) {
        w.join();
    }
    EXPECT_EQ(rendered.load(), 12);
    ASSERT_TRUE(testing::pumpUntil([&] { return log.ends > 0; }));
    EXPECT_EQ(log.matches.size(), 3u);
}

TEST_F(PopplerPDFDocumentTest, EncryptedFileUnlocksOnlyWithItsPassword)
{
    ASSERT_TRUE(testing::qpdfAvailable());
    const auto locked = dir.file("locked.pdf");
    ASSERT_EQ(testing::runQpdf({"--encrypt", "s3cret", "owner-pw", "256", "--", dir.file("markup.pdf").string(),
                                locked.string()})
                  .status,
              0);
    auto document = openPDFDocument(qpath(locked));
    EXPECT_TRUE(document->isEncrypted());
    EXPECT_TRUE(document->isLocked());
    EXPECT_EQ(document->pageCount(), 0);
    EXPECT_TRUE(document->renderPage(0, 1, {}).isNull());
    EXPECT_TRUE(document->textBoxes(0).empty());
    EXPECT_THROW(document->write(qpath(dir.file("copy.pdf"))), PDFEngineError);

    EXPECT_FALSE(document->unlock(QStringLiteral("wrong")));
    EXPECT_FALSE(document->unlock(QString()));
    EXPECT_TRUE(document->isLocked());
    EXPECT_TRUE(document->unlock(QStringLiteral("s3cret")));
    EXPECT_FALSE(document->isLocked());
    EXPECT_EQ(document->pageCount(), 6);
    EXPECT_FALSE(document->renderPage(0, 1, {}).isNull());

    auto viaOwner = openPDFDocument(qpath(locked));
    EXPECT_TRUE(viaOwner->unlock(QStringLiteral("owner-pw")));
}

TEST(PDFPasswordTest, UTF8FormFirstThenADifferentLatin1Form)
{
    EXPECT_EQ(passwordCandidates(QStringLiteral("plain")), std::vector<QByteArray>{"plain"});
    EXPECT_EQ(passwordCandidates(QString()), std::vector<QByteArray>{""});
    EXPECT_EQ(passwordCandidates(QStringLiteral("p\u00e4ss")),
              (std::vector<QByteArray>{"p\xC3\xA4ss", "p\xE4ss"}));
    // Beyond Latin-1 there is no single-byte form to try.
    EXPECT_EQ(passwordCandidates(QStringLiteral("\u043f\u0430\u0440\u043e\u043b\u044c")).size(), 1u);
}

TEST_F(PopplerPDFDocumentTest, SingleBytePasswordsAreTriedInTheirLatin1Form)
{
    ASSERT_TRUE(testing::qpdfAvailable());
    const auto locked = dir.file("latin1.pdf");
    // qpdf stores a 128-bit password in the single-byte encoding ("\xE4" for ä).
    const auto made = testing::runQpdf({"--encrypt", "p\xC3\xA4ss", "owner", "128", "--use-aes=y", "--",
                                        dir.file("markup.pdf").string(), locked.string()});
    ASSERT_EQ(made.status, 0) << made.err;
    auto document = openPDFDocument(qpath(locked));
    ASSERT_TRUE(document->isLocked());
    EXPECT_FALSE(document->unlock(QStringLiteral("pass")));
    EXPECT_TRUE(document->unlock(QStringLiteral("p\u00e4ss")));
}

}  // namespace
}  // namespace quillet
