// The window's Print… and Export commands: the export runs in the background, the
// self-test's print goes to a PDF file, and both show comment text only while the window does.
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
#include "app/ui/UiTestSupport.h"
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
    // Print… in the self-test, to `printed`: a job in the background that has the printer.
    void printTo(const std::filesystem::path& printed) {
        setenv(DocumentOutput::selfTestPrintVariable, printed.c_str(), 1);
        window->actions().print->trigger();
        unsetenv(DocumentOutput::selfTestPrintVariable);
        EXPECT_TRUE(output->isPrinting());
        EXPECT_FALSE(window->actions().pageSetup->isEnabled());
        ASSERT_TRUE(pumpUntil([&] { return !output->isPrinting(); }, std::chrono::seconds(60)));
        EXPECT_TRUE(window->actions().print->isEnabled());
        EXPECT_EQ(pageCount(printed), 3);
    }
    void exportTo(const std::filesystem::path& copy) {
        output->exportTo(qpath(copy));
        ASSERT_TRUE(pumpUntil([&] { return document->notice().has_value(); }, std::chrono::seconds(60)));
        clock.advance(std::chrono::seconds(7));  // the notice goes, for the next export to say so again
    }

    DocumentOutput* output = nullptr;
};

TEST_F(DocumentOutputTest, ExportAsksInQtsOwnDialogWritesInTheBackgroundAndReportsAFailure) {
    // A failed export shows its alert and changes nothing.
    output->exportTo(qpath(dir.file("no-such-folder/copy.pdf")));
    QMessageBox* alert = nullptr;
    ASSERT_TRUE(pumpUntil([&] { return (alert = window->findChild<QMessageBox*>()) != nullptr; },
                          std::chrono::seconds(60)));
    EXPECT_TRUE(alert->text().contains(QStringLiteral("exported"))) << alert->text().toStdString();
    EXPECT_FALSE(document->notice().has_value());
    EXPECT_FALSE(document->isEdited());
    delete alert;

    window->actions().exportFlattened->trigger();
    QFileDialog* dialog = nullptr;
    ASSERT_TRUE(pumpUntil([&] { return (dialog = window->findChild<QFileDialog*>()) != nullptr; }));
    // A desktop's native dialog would speak the system's language, not the interface's.
    EXPECT_TRUE(dialog->testOption(QFileDialog::DontUseNativeDialog));
    dialog->reject();

    draw(*document, 1);  // unsaved
    const std::filesystem::path copy = dir.file("copy.pdf");
    output->exportTo(qpath(copy));
    ASSERT_TRUE(pumpUntil([&] { return document->notice().has_value(); }, std::chrono::seconds(60)));
    EXPECT_EQ(*document->notice(), FlattenedExport::doneNotice.text());
    EXPECT_EQ(pageCount(copy), 3);
}

// Pixels of the first page that are not paper white.
int inkOnFirstPage(const std::filesystem::path& pdf) {
    return pixelsWhere(rasterisePage(pdf, 1, 50), [](const QColor& c) { return qGray(c.rgb()) < 200; });
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

TEST_F(DocumentOutputTest, PrintToFileIsNamedAfterTheDocumentButNeverItsOwnFile) {
    const auto proposed = [&] {
        window->actions().print->trigger();
        QPrintDialog* dialog = nullptr;
        EXPECT_TRUE(pumpUntil([&] { return (dialog = window->findChild<QPrintDialog*>()) != nullptr; }));
        const auto* fileName = dialog ? dialog->findChild<QLineEdit*>(QStringLiteral("filename")) : nullptr;
        EXPECT_NE(fileName, nullptr);
        const QString text = fileName ? fileName->text() : QString();
        delete dialog;
        return text;
    };
    EXPECT_EQ(proposed(), QDir::home().filePath(QStringLiteral("report.pdf")));
    const QByteArray home = qgetenv("HOME");
    output->printer().setOutputFileName(QString());  // proposed only until a file is chosen
    setenv("HOME", dir.path().c_str(), 1);           // where report.pdf itself lives
    const QString inHome = proposed();
    setenv("HOME", home.constData(), 1);
    EXPECT_NE(QFileInfo(inHome), QFileInfo(qpath(file)));
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
