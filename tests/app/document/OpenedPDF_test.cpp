#include "app/document/OpenedPDF.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

#include "app/document/DocumentLoaderError.h"
#include "support/QtTestSupport.h"

namespace quillet {
namespace {

class OpenedPDFTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        InterfaceLanguage::fix(Language::en);
        testing::writeFile(dir.file("plain.pdf"), testing::simpleDocument(2));
    }
    QString path(const char* name) const { return testing::qpath(dir.file(name)); }

    testing::TempDir dir;
};

TEST_F(OpenedPDFTest, AnythingButAReadablePDFIsUnreadableWithTheFixedTexts)
{
    testing::writeFile(dir.file("text.pdf"), "Just some words, no PDF.");
    testing::writeFile(dir.file("empty.pdf"), "");
    for (const char* name : {"text.pdf", "empty.pdf", "missing.pdf"}) {
        try {
            OpenedPDF::open(path(name));
            ADD_FAILURE() << name << " opened";
        } catch (const DocumentLoaderError& error) {
            EXPECT_EQ(error.code(), DocumentLoaderError::Code::unreadable);
            EXPECT_STREQ(error.what(), "The document could not be opened");
            EXPECT_EQ(error.localizedText(Language::ru), "Не удалось открыть документ");
            EXPECT_EQ(error.localizedExplanation(Language::en), "The file is damaged or is not a PDF.");
            EXPECT_EQ(error.localizedExplanation(Language::ru), "Файл повреждён или не является PDF.");
        }
    }
}

TEST_F(OpenedPDFTest, AnUnlockedDocumentNeedsNoPrompt)
{
    OpenedPDF document = OpenedPDF::open(path("plain.pdf"));
    EXPECT_EQ(document.displayName(), "plain.pdf");
    int prompts = 0;
    EXPECT_EQ(unlockDocument(document, [&](const QString&) {
                  ++prompts;
                  return std::nullopt;
              }),
              UnlockOutcome::notLocked);
    EXPECT_EQ(prompts, 0);
    EXPECT_FALSE(document.password.has_value());
}

class LockedPDFTest : public OpenedPDFTest {
protected:
    void SetUp() override
    {
        OpenedPDFTest::SetUp();
        // A non-ASCII password, as a user may type one.
        testing::encryptedCopy(dir.file("plain.pdf"), dir.file("locked.pdf"), "p\xC3\xA4ss");
    }
};

TEST_F(LockedPDFTest, WrongPasswordsAreAskedAgainWithoutLimitAndTheRightOneIsKept)
{
    OpenedPDF document = OpenedPDF::open(path("locked.pdf"));
    ASSERT_TRUE(document.pdf->isLocked());
    QStringList prompts;
    QStringList answers{"", "pass", "PÄSS", "wrong", "päss"};
    const UnlockOutcome outcome = unlockDocument(document, [&](const QString& informative) {
        prompts.append(informative);
        return std::optional<QString>(answers.takeFirst());
    });
    EXPECT_EQ(outcome, UnlockOutcome::unlocked);
    const QString again = "Incorrect password. Try again.";
    EXPECT_EQ(prompts, (QStringList{"Enter the password to open “locked.pdf”.", again, again, again, again}));
    EXPECT_EQ(document.password, QString("päss"));
    EXPECT_EQ(document.pdf->pageCount(), 2);
}

TEST_F(LockedPDFTest, CancellingLeavesTheDocumentLockedWithoutAPassword)
{
    OpenedPDF document = OpenedPDF::open(path("locked.pdf"));
    int prompts = 0;
    EXPECT_EQ(unlockDocument(document, [&](const QString&) -> std::optional<QString> {
                  return ++prompts == 1 ? std::optional<QString>("nope") : std::nullopt;
              }),
              UnlockOutcome::cancelled);
    EXPECT_EQ(prompts, 2);
    EXPECT_TRUE(document.pdf->isLocked());
    EXPECT_FALSE(document.password.has_value());
}

}  // namespace
}  // namespace quillet
