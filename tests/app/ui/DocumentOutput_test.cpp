// The window's Print… and Export commands on an open document: the export
// runs in the background and reports back, a failed one shows its alert, and
// the self-test's print goes to a PDF file. Both show the comment text
// exactly while the window does.
#include "app/ui/DocumentOutput.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrintDialog>

#include "app/document/FlattenedExport.h"
#include "app/ui/AttachedWindowFixture.h"
#include "app/ui/DocumentAttachment.h"
#include "app/ui/DocumentWindowController.h"
#include "app/view/CommentDisplay.h"
#include "support/RasterCompare.h"

namespace quillet::testing {
namespace {

// The fixture runs in the self-test (QUILLET_SELFTEST): Print… then prints
// to the file DocumentOutput::selfTestPrintVariable names, when set.
class DocumentOutputTest : public AttachedWindowTest {
  protected:
    void SetUp() override {
        AttachedWindowTest::SetUp();
        output = window->findChild<DocumentOutput*>();
        ASSERT_NE(output, nullptr);
    }
    int pageCount(const std::filesystem::path& pdf) {
        return std::stoi(runQpdf({"--show-npages", pdf.string()}).out);
    }
    // Print… in the self-test, to `printed`.
    void startPrinting(const std::filesystem::path& printed) {
        setenv(DocumentOutput::selfTestPrintVariable, printed.c_str(), 1);
        window->actions().print->trigger();
        unsetenv(DocumentOutput::selfTestPrintVariable);
    }
    void printTo(const std::filesystem::path& printed) {
        startPrinting(printed);
        ASSERT_TRUE(pumpUntil([&] { return !output->isPrinting(); }, std::chrono::seconds(60)));
    }
    void exportTo(const std::filesystem::path& copy) {
        output->exportTo(qpath(copy));
        ASSERT_TRUE(pumpUntil([&] { return document->notice().has_value(); }, std::chrono::seconds(60)));
        clock.advance(std::chrono::seconds(7));  // the notice goes, for the next export to say so again
    }

    DocumentOutput* output = nullptr;
};

TEST_F(DocumentOutputTest, ExportWritesTheCopyInTheBackgroundAndSaysSo) {
    EXPECT_TRUE(window->actions().exportFlattened->isEnabled());
    draw(*document, 1);  // unsaved
    const std::filesystem::path copy = dir.file("copy.pdf");
    output->exportTo(qpath(copy));
    ASSERT_TRUE(pumpUntil([&] { return document->notice().has_value(); }, std::chrono::seconds(60)));
    EXPECT_EQ(*document->notice(), FlattenedExport::doneNotice.text());
    EXPECT_EQ(pageCount(copy), 3);
}

// Pixels of the first page that are not paper white.
int inkOnFirstPage(const std::filesystem::path& pdf) {
    const QImage page = rasterisePage(pdf, 1, 50);
    int ink = 0;
    for (int y = 0; y < page.height(); ++y) {
        for (int x = 0; x < page.width(); ++x) {
            ink += qGray(page.pixel(x, y)) < 200;
        }
    }
    return ink;
}

TEST_F(DocumentOutputTest, PrintAndExportShowTheCommentTextOnlyWhileTheWindowDoes) {
    TempDir defaults;
    std::unique_ptr<QSettings> settings = settingsIn(defaults.file("defaults.ini"));
    CommentDisplay::reloadForTesting(settings.get());
    ASSERT_TRUE(CommentDisplay::showsCommentText());
    document->undoStack()->push(new InsertItem(
        *document->store(), noteItem(1, {150, 500}, "The totals of the second quarter do not add up"), 0));
    printTo(dir.file("printed-shown.pdf"));
    exportTo(dir.file("exported-shown.pdf"));
    window->actions().commentText->trigger();
    ASSERT_FALSE(CommentDisplay::showsCommentText());
    printTo(dir.file("printed-hidden.pdf"));
    exportTo(dir.file("exported-hidden.pdf"));
    CommentDisplay::reloadForTesting(nullptr);

    // The open bubble with its text inks far more of the page than the icon alone.
    for (const char* output : {"printed", "exported"}) {
        const int shown = inkOnFirstPage(dir.file(std::string(output) + "-shown.pdf"));
        const int hidden = inkOnFirstPage(dir.file(std::string(output) + "-hidden.pdf"));
        EXPECT_GT(hidden, 0) << output << ": the note's icon is there";
        EXPECT_GT(shown, 2 * hidden) << output;
    }
}

TEST_F(DocumentOutputTest, TheExportDialogIsQtsOwn) {
    window->actions().exportFlattened->trigger();
    QFileDialog* dialog = nullptr;
    ASSERT_TRUE(pumpUntil([&] { return (dialog = window->findChild<QFileDialog*>()) != nullptr; }));
    // A desktop's native dialog would speak the system's language, not the interface's.
    EXPECT_TRUE(dialog->testOption(QFileDialog::DontUseNativeDialog));
    dialog->reject();
}

TEST_F(DocumentOutputTest, FailedExportShowsItsAlertAndChangesNothing) {
    output->exportTo(qpath(dir.file("no-such-folder/copy.pdf")));
    QMessageBox* alert = nullptr;
    ASSERT_TRUE(pumpUntil([&] { return (alert = window->findChild<QMessageBox*>()) != nullptr; },
                          std::chrono::seconds(60)));
    EXPECT_EQ(alert->text(), QStringLiteral("The document could not be exported"));
    EXPECT_FALSE(document->notice().has_value());
    EXPECT_FALSE(document->isEdited());
}

TEST_F(DocumentOutputTest, SelfTestPrintsToTheFileItNames) {
    const std::filesystem::path printed = dir.file("printed.pdf");
    startPrinting(printed);
    EXPECT_TRUE(output->isPrinting());
    EXPECT_FALSE(window->actions().pageSetup->isEnabled()) << "the job has the printer";
    ASSERT_TRUE(pumpUntil([&] { return !output->isPrinting(); }, std::chrono::seconds(60)));
    EXPECT_EQ(pageCount(printed), 3);
    EXPECT_TRUE(window->actions().print->isEnabled());
}

TEST_F(DocumentOutputTest, PrintToFileIsNamedAfterTheDocument) {
    window->actions().print->trigger();
    QPrintDialog* dialog = nullptr;
    ASSERT_TRUE(pumpUntil([&] { return (dialog = window->findChild<QPrintDialog*>()) != nullptr; }));
    const auto* fileName = dialog->findChild<QLineEdit*>(QStringLiteral("filename"));
    ASSERT_NE(fileName, nullptr);
    EXPECT_EQ(fileName->text(), QDir::home().filePath(QStringLiteral("report.pdf")));
    dialog->reject();
}

TEST_F(DocumentOutputTest, PrintToFileNeverProposesTheDocumentsOwnFile) {
    const QByteArray home = qgetenv("HOME");
    setenv("HOME", dir.path().c_str(), 1);  // where report.pdf itself lives
    window->actions().print->trigger();
    setenv("HOME", home.constData(), 1);
    QPrintDialog* dialog = nullptr;
    ASSERT_TRUE(pumpUntil([&] { return (dialog = window->findChild<QPrintDialog*>()) != nullptr; }));
    const auto* fileName = dialog->findChild<QLineEdit*>(QStringLiteral("filename"));
    ASSERT_NE(fileName, nullptr);
    EXPECT_NE(QFileInfo(fileName->text()), QFileInfo(qpath(file)));
    dialog->reject();
}

TEST_F(DocumentOutputTest, ClosingTheWindowMidPrintCancelsItAndLeavesNoFile) {
    output->printer().setOutputFormat(QPrinter::PdfFormat);
    output->printer().setOutputFileName(qpath(dir.file("printed.pdf")));
    output->printNow();
    delete window.data();
    EXPECT_EQ(QDir(qpath(dir.path())).entryList(QDir::Files | QDir::Hidden), QStringList{"report.pdf"});
}

}  // namespace
}  // namespace quillet::testing
