#include "app/platform/PopplerPDFDocument.h"

#include <gtest/gtest.h>

#include "support/QtTestSupport.h"

namespace quillet {
namespace {

using namespace testing;

class PopplerPDFDocumentTest : public ::testing::Test {
  protected:
    void SetUp() override {
        testApplication();
        writeFile(dir.file("markup.pdf"), markupFixture());
    }
    std::unique_ptr<PDFDocument> openFixture() { return openPDFDocument(qpath(dir.file("markup.pdf"))); }

    TempDir dir;
};

TEST_F(PopplerPDFDocumentTest, HidingAnAnnotationByNameRemovesOnlyItsPixels) {
    auto document = openFixture();
    auto at = [&](const QRectF& square, const QSet<QString>& hidden) {
        return colourAt(*document, 0, square.center(), 1.5, hidden);
    };
    EXPECT_TRUE(isRed(at(markupRed, {})));
    EXPECT_TRUE(isWhite(at(markupRed, {QStringLiteral("red-one")})));
    EXPECT_TRUE(isBlue(at(markupBlue, {QStringLiteral("red-one")})));
}

struct SearchLog {
    std::vector<PDFSearchMatch> matches;
    int ends = 0;
    bool endedAfterMatches = true;
};

PDFSearchCallbacks recordInto(SearchLog& log) {
    return {[&log](const PDFSearchMatch& m) {
                log.endedAfterMatches = log.ends == 0;
                log.matches.push_back(m);
            },
            [&log] { ++log.ends; }};
}

TEST_F(PopplerPDFDocumentTest, SearchReportsMatchesInDocumentOrderThenItsEnd) {
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
}

TEST_F(PopplerPDFDocumentTest, EncryptedFileUnlocksOnlyWithItsPassword) {
    const auto locked = encryptedCopy(dir.file("markup.pdf"), dir.file("locked.pdf"), "s3cret");
    auto document = openPDFDocument(qpath(locked));
    EXPECT_TRUE(document->isEncrypted());
    EXPECT_TRUE(document->isLocked());
    EXPECT_EQ(document->pageCount(), 0);
    EXPECT_TRUE(document->renderPage(0, 1, {}).isNull());
    EXPECT_FALSE(document->unlock(QStringLiteral("wrong")));
    EXPECT_TRUE(document->isLocked());
    EXPECT_TRUE(document->unlock(QStringLiteral("s3cret")));
    EXPECT_FALSE(document->isLocked());
    EXPECT_EQ(document->pageCount(), 6);
    EXPECT_FALSE(document->renderPage(0, 1, {}).isNull());
}

}  // namespace
}  // namespace quillet
