// The PDF document interface on generated files.
#include "app/platform/PopplerPDFDocument.h"
#include "app/platform/PDFPassword.h"

#include <gtest/gtest.h>

#include <thread>

#include "support/QtTestSupport.h"

namespace quillet {
namespace {

using namespace testing;

class PopplerPDFDocumentTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        testApplication();
        writeFile(dir.file("markup.pdf"), markupFixture());
    }
    std::unique_ptr<PDFDocument> openFixture() { return openPDFDocument(qpath(dir.file("markup.pdf"))); }

    TempDir dir;
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
    EXPECT_EQ(codeOf(qpath(dir.file("missing.pdf"))), PDFEngineError::Code::fileNotFound);
    EXPECT_EQ(codeOf(qpath(dir.path())), PDFEngineError::Code::fileUnreadable);
    for (const std::string& bytes : {std::string("this is not a PDF at all\n"), std::string(), markupFixture().substr(0, 40)}) {
        writeFile(dir.file("bad.pdf"), bytes);
        EXPECT_EQ(codeOf(qpath(dir.file("bad.pdf"))), PDFEngineError::Code::notPDF) << bytes;
    }
}

TEST_F(PopplerPDFDocumentTest, ReportsPagesCropBoxesAndRotationsAndRendersThemTurned)
{
    auto document = openFixture();
    EXPECT_FALSE(document->isEncrypted());
    EXPECT_FALSE(document->isLocked());
    ASSERT_EQ(document->pageCount(), 6);
    EXPECT_FALSE(document->pageGeometry(6));
    EXPECT_FALSE(document->pageGeometry(-1));

    EXPECT_EQ(document->pageGeometry(0)->bounds, QRectF(0, 0, 300, 400));
    EXPECT_EQ(document->pageGeometry(0)->rotation, 0);
    const int expected[] = {90, 180, 270};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(document->pageGeometry(3 + i)->rotation, expected[i]);
        EXPECT_EQ(document->pageGeometry(3 + i)->bounds, rotatedCrop);
    }
    // Each rotated page renders where its geometry says: the green square,
    // and paper just outside it towards the crop box's corner.
    for (int page = 3; page < 6; ++page) {
        const PDFPageGeometry geometry = *document->pageGeometry(page);
        EXPECT_EQ(QSizeF(document->renderPage(page, 2, {}).size()), geometry.displaySize() * 2) << page;
        EXPECT_TRUE(isGreen(colourAt(*document, page, rotatedGreen.center(), 2))) << page;
        EXPECT_TRUE(isWhite(colourAt(*document, page, rotatedGreen.topLeft() - QPointF(5, 5), 2))) << page;
    }
}

TEST_F(PopplerPDFDocumentTest, HidingAnAnnotationByNameRemovesOnlyItsPixels)
{
    auto document = openFixture();
    auto at = [&](const QRectF& square, const QSet<QString>& hidden) {
        return colourAt(*document, 0, square.center(), 1.5, hidden);
    };
    EXPECT_TRUE(isRed(at(markupRed, {})));
    EXPECT_TRUE(isWhite(at(markupRed, {QStringLiteral("red-one")})));
    EXPECT_TRUE(isBlue(at(markupBlue, {QStringLiteral("red-one")})));
    // Hiding is per render, and what the file itself hides stays hidden throughout.
    EXPECT_TRUE(isRed(at(markupRed, {QStringLiteral("file-hidden")})));
    EXPECT_TRUE(isWhite(at(markupGreen, {})));
}

TEST_F(PopplerPDFDocumentTest, RenderingRefusesBadScalesAndBoundsHugeOnes)
{
    auto document = openFixture();
    for (double scale : {0.0, -1.0, std::nan("")}) {
        EXPECT_TRUE(document->renderPage(0, scale, {}).isNull()) << scale;
    }
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
    EXPECT_NEAR(words[0].bounds.top(), 295.5, 5.5);
    EXPECT_NEAR(words[0].bounds.bottom(), 317.5, 7.5);
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
    ASSERT_TRUE(pumpUntil([&] { return log.ends > 0; }));
    pumpFor(std::chrono::milliseconds(50));
    EXPECT_EQ(log.ends, 1);
    EXPECT_TRUE(log.endedAfterMatches);
    ASSERT_EQ(log.matches.size(), 3u);
    EXPECT_EQ(log.matches[0].pageIndex, 0);
    EXPECT_EQ(log.matches[1].pageIndex, 2);
    EXPECT_EQ(log.matches[2].pageIndex, 2);
    EXPECT_LT(log.matches[1].bounds.left(), log.matches[2].bounds.left());
    EXPECT_NEAR(log.matches[1].bounds.left(), 50, 2);

    for (auto [text, matches] : {std::pair{"cafe", 1u}, {"zebra", 0u}}) {
        SearchLog other;
        document->beginFind(QString::fromLatin1(text), recordInto(other));
        ASSERT_TRUE(pumpUntil([&] { return other.ends > 0; }));
        ASSERT_EQ(other.matches.size(), matches) << text;
        if (matches) {
            EXPECT_EQ(other.matches[0].pageIndex, 1);
        }
    }
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
    ASSERT_TRUE(pumpUntil([&] { return current.ends > 0; }));
    pumpFor(std::chrono::milliseconds(100));
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
    ASSERT_TRUE(pumpUntil([&] { return log.ends > 0; }));
    EXPECT_EQ(log.matches.size(), 3u);
}

TEST_F(PopplerPDFDocumentTest, EncryptedFileUnlocksOnlyWithItsPassword)
{
    const auto locked = encryptedCopy(dir.file("markup.pdf"), dir.file("locked.pdf"), "s3cret");
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

TEST_F(PopplerPDFDocumentTest, PasswordsAreTriedInTheirUTF8FormThenADifferentLatin1Form)
{
    EXPECT_EQ(passwordCandidates(QStringLiteral("plain")), std::vector<QByteArray>{"plain"});
    EXPECT_EQ(passwordCandidates(QString()), std::vector<QByteArray>{""});
    EXPECT_EQ(passwordCandidates(QStringLiteral("p\u00e4ss")), (std::vector<QByteArray>{"p\xC3\xA4ss", "p\xE4ss"}));
    // Beyond Latin-1 there is no single-byte form to try.
    EXPECT_EQ(passwordCandidates(QStringLiteral("\u043f\u0430\u0440\u043e\u043b\u044c")).size(), 1u);
    // qpdf stores a 128-bit password in the single-byte encoding ("\xE4" for ä).
    auto document = openPDFDocument(qpath(
        encryptedCopy(dir.file("markup.pdf"), dir.file("latin1.pdf"), "p\xC3\xA4ss", "owner", {"128", "--use-aes=y"})));
    ASSERT_TRUE(document->isLocked());
    EXPECT_FALSE(document->unlock(QStringLiteral("pass")));
    EXPECT_TRUE(document->unlock(QStringLiteral("p\u00e4ss")));
}

}  // namespace
}  // namespace quillet
