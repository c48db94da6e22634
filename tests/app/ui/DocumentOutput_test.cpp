// The window's Print… and Export commands on an open document: the export
// runs in the background and reports back, a failed one shows its alert, and
// the self-test's print goes to a PDF file.
#include "app/ui/DocumentOutput.h"

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>
#include <gtest/gtest.h>

#include "app/document/FlattenedExport.h"
#include "app/document/InkDocumentSupport.h"
#include "app/ui/DocumentAttachment.h"
#include "app/ui/DocumentWindowController.h"

namespace quillet::testing {
namespace {

class DocumentOutputTest : public DocumentTest {
protected:
    void SetUp() override
    {
        DocumentTest::SetUp();
        document = open();
        window = new DocumentWindowController(OpenedPDF{qpath(file), document->pdf(), std::nullopt});
        window->show();
        new DocumentAttachment(*window, *document);
        output = window->findChild<DocumentOutput*>();
        ASSERT_NE(output, nullptr);
    }
    void TearDown() override
    {
        delete window.data();
        finishWrites();
        document->close();
    }
    int pageCount(const std::filesystem::path& pdf) { return std::stoi(runQpdf({"--show-npages", pdf.string()}).out); }

    std::unique_ptr<InkDocument> document;
    QPointer<DocumentWindowController> window;
    DocumentOutput* output = nullptr;
};

TEST_F(DocumentOutputTest, ExportWritesTheCopyInTheBackgroundAndSaysSo)
{
    EXPECT_TRUE(window->actions().exportFlattened->isEnabled());
    draw(*document, 1);  // unsaved
    const std::filesystem::path copy = dir.file("copy.pdf");
    output->exportTo(qpath(copy));
    ASSERT_TRUE(pumpUntil([&] { return document->notice().has_value(); }, std::chrono::seconds(60)));
    EXPECT_EQ(*document->notice(), FlattenedExport::doneNotice.text());
    EXPECT_EQ(pageCount(copy), 3);
}

TEST_F(DocumentOutputTest, TheExportDialogIsTitledExportAndIsQtsOwn)
{
    window->actions().exportFlattened->trigger();
    QFileDialog* dialog = nullptr;
    ASSERT_TRUE(pumpUntil([&] { return (dialog = window->findChild<QFileDialog*>()) != nullptr; }));
    EXPECT_EQ(dialog->windowTitle(), "Export");
    // A desktop's native dialog would speak the system's language, not the interface's.
    EXPECT_TRUE(dialog->testOption(QFileDialog::DontUseNativeDialog));
    dialog->reject();
}

TEST_F(DocumentOutputTest, FailedExportShowsItsAlertAndChangesNothing)
{
    output->exportTo(qpath(dir.file("no-such-folder/copy.pdf")));
    QMessageBox* alert = nullptr;
    ASSERT_TRUE(pumpUntil([&] { return (alert = window->findChild<QMessageBox*>()) != nullptr; },
                          std::chrono::seconds(60)));
    EXPECT_EQ(alert->text(), QStringLiteral("The document could not be exported"));
    EXPECT_FALSE(document->notice().has_value());
    EXPECT_FALSE(document->isEdited());
}

TEST_F(DocumentOutputTest, SelfTestPrintsToTheFileItNames)
{
    const std::filesystem::path printed = dir.file("printed.pdf");
    setenv("QUILLET_SELFTEST", "1", 1);
    setenv(DocumentOutput::selfTestPrintVariable, printed.c_str(), 1);
    window->actions().print->trigger();
    unsetenv(DocumentOutput::selfTestPrintVariable);
    unsetenv("QUILLET_SELFTEST");
    EXPECT_TRUE(output->isPrinting());
    EXPECT_FALSE(window->actions().pageSetup->isEnabled()) << "the job has the printer";
    ASSERT_TRUE(pumpUntil([&] { return !output->isPrinting(); }, std::chrono::seconds(60)));
    EXPECT_EQ(pageCount(printed), 3);
    EXPECT_TRUE(window->actions().print->isEnabled());
}

TEST_F(DocumentOutputTest, ClosingTheWindowMidPrintCancelsItAndLeavesNoFile)
{
    output->printer().setOutputFormat(QPrinter::PdfFormat);
    output->printer().setOutputFileName(qpath(dir.file("printed.pdf")));
    output->printNow();
    delete window.data();
    EXPECT_EQ(QDir(qpath(dir.path())).entryList(QDir::Files | QDir::Hidden), QStringList{"report.pdf"});
}

}  // namespace
}  // namespace quillet::testing
