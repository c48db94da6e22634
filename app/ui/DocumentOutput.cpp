#include "app/ui/DocumentOutput.h"

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPageSetupDialog>
#include <QPointer>
#include <QPrintDialog>
#include <QProgressDialog>
#include <QThread>
#include <atomic>
#include <memory>
#include <new>

#include "app/document/FlattenedExport.h"
#include "app/document/InkDocument.h"
#include "app/platform/MainThread.h"
#include "app/platform/PlatformLog.h"
#include "app/ui/DocumentPrinter.h"
#include "app/ui/DocumentWindowController.h"
#include "app/ui/Strings.h"
#include "app/view/CommentDisplay.h"

namespace quillet {
namespace {

// A progress dialog that shows itself only when the work takes a while.
QProgressDialog* progressDialog(QWidget& window, const QString& label, int maximum) {
    auto* dialog = new QProgressDialog(label, Strings::cancelButton.text(), 0, maximum, &window);
    dialog->setWindowModality(Qt::WindowModal);
    dialog->setMinimumDuration(800);
    dialog->setAutoClose(false);
    dialog->setAutoReset(false);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    return dialog;
}

}  // namespace

DocumentOutput::DocumentOutput(DocumentWindowController& window, InkDocument& document)
    : QObject(&window), window_(window), document_(document) {
    const WindowActions& a = window_.actions();
    connect(a.print, &QAction::triggered, this, &DocumentOutput::print);
    connect(a.pageSetup, &QAction::triggered, this, &DocumentOutput::pageSetup);
    connect(a.exportFlattened, &QAction::triggered, this, &DocumentOutput::chooseExportDestination);
    connect(&document_, &InkDocument::statusChanged, this, &DocumentOutput::refreshEnabled);
    connect(&document_, &InkDocument::reloaded, this, &DocumentOutput::refreshEnabled);
    refreshEnabled();
}

DocumentOutput::~DocumentOutput() {
    delete printJob_;  // before the printer it prints on
}

QPrinter& DocumentOutput::printer() {
    if (!printer_) {
        printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
    }
    return *printer_;
}

void DocumentOutput::refreshEnabled() {
    const bool readable = document_.pdf() && !document_.pdf()->isLocked() && document_.store() != nullptr;
    const WindowActions& a = window_.actions();
    a.print->setEnabled(readable && !printJob_);
    a.pageSetup->setEnabled(!printJob_);
    a.exportFlattened->setEnabled(readable);
}

void DocumentOutput::printNow(std::function<void(bool printed)> done) {
    if (printJob_ || !document_.pdf() || document_.store() == nullptr) {
        if (done) {
            done(false);
        }
        return;
    }
    // The paper shows the notes as the window does: bubbles open only while
    // the comment text is shown.
    printJob_ = new PrintJob(printer(), document_.pdf(), document_.sharedStore(), document_.displayName(),
                             CommentDisplay::showsCommentText(), this);
    QPointer<QProgressDialog> progress =
        progressDialog(window_, Strings::printItem.text(), printJob_->pageTotal());
    connect(progress, &QProgressDialog::canceled, printJob_, &PrintJob::cancel);
    connect(printJob_, &PrintJob::progressed, progress, &QProgressDialog::setValue);
    connect(printJob_, &PrintJob::finished, this, [this, progress, done](bool printed) {
        if (progress) {
            progress->close();
        }
        printJob_->deleteLater();
        printJob_ = nullptr;
        refreshEnabled();
        if (done) {
            done(printed);
        }
    });
    refreshEnabled();
    printJob_->start();
}

void DocumentOutput::print() {
    if (qEnvironmentVariableIsSet("QUILLET_SELFTEST") && qEnvironmentVariableIsSet(selfTestPrintVariable)) {
        printer().setOutputFormat(QPrinter::PdfFormat);
        printer().setOutputFileName(qEnvironmentVariable(selfTestPrintVariable));
        printNow(
            [](bool printed) { logLine(printed ? "self-test: printed" : "self-test: printing failed"); });
        return;
    }
    proposePrintFile();
    auto* dialog = new QPrintDialog(&printer(), &window_);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::WindowModal);
    connect(dialog, &QDialog::accepted, this, [this] { printNow(); });
    dialog->open();
}

// Print to File is named after the document, in the folder the print dialog
// would use (the home folder), until the user picks another file. Never the
// document's own file: a print there would replace it.
void DocumentOutput::proposePrintFile() {
    printer().setDocName(document_.displayName());
    if (!printer().outputFileName().isEmpty()) {
        return;
    }
    const QString proposed =
        QDir::home().filePath(QFileInfo(document_.displayName()).completeBaseName() + QStringLiteral(".pdf"));
    if (QFileInfo(proposed).absoluteFilePath() == QFileInfo(document_.filePath()).absoluteFilePath()) {
        return;
    }
    // Naming a PDF file switches the printer to PDF output; a real printer
    // stays the dialog's first choice.
    const QPrinter::OutputFormat format = printer().outputFormat();
    printer().setOutputFileName(proposed);
    printer().setOutputFormat(format);
}

void DocumentOutput::pageSetup() {
    auto* dialog = new QPageSetupDialog(&printer(), &window_);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::WindowModal);
    dialog->open();
}

void DocumentOutput::chooseExportDestination() {
    if (!document_.pdf() || document_.pdf()->isLocked() || document_.store() == nullptr) {
        return;
    }
    if (qEnvironmentVariableIsSet("QUILLET_SELFTEST") && qEnvironmentVariableIsSet(selfTestExportVariable)) {
        exportTo(qEnvironmentVariable(selfTestExportVariable));
        return;
    }
    auto* dialog = new QFileDialog(&window_, Strings::exportTitle.text());
    // Qt's own dialog speaks the interface language (a desktop's native one
    // follows the system's); the other file dialogs do the same.
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::WindowModal);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setNameFilter(Strings::openPanelFilter.text());
    dialog->setDefaultSuffix(QStringLiteral("pdf"));
    dialog->setDirectory(QFileInfo(document_.filePath()).absolutePath());
    dialog->selectFile(FlattenedExport::proposedName(document_.displayName(), InterfaceLanguage::current()));
    connect(dialog, &QFileDialog::fileSelected, this, &DocumentOutput::exportTo);
    dialog->open();
}

void DocumentOutput::exportTo(const QString& destination) {
    const auto showFailure = [this](const QString& reason) {
        auto* box = new QMessageBox(QMessageBox::Warning, QString(), FlattenedExport::failedMessage.text(),
                                    QMessageBox::Ok, &window_);
        box->setInformativeText(reason);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->setWindowModality(Qt::WindowModal);
        box->open();
    };
    // Never over the document's own file: it is the one being read.
    if (QFileInfo(destination).canonicalFilePath() == document_.filePath()) {
        showFailure(QString());
        return;
    }
    // The flattened copy keeps the comment text when the window shows it.
    const SaveJob job = document_.snapshotJob(CommentDisplay::showsCommentText());
    auto cancelled = std::make_shared<std::atomic<bool>>(false);
    QPointer<QProgressDialog> progress = progressDialog(window_, Strings::exportFlattenedItem.text(), 0);
    connect(progress, &QProgressDialog::canceled, this, [cancelled] { *cancelled = true; });
    const QPointer<DocumentOutput> self(this);
    QThread* worker = QThread::create([job, destination, cancelled, self, progress, showFailure] {
        std::optional<QString> failure;  // absent: exported
        bool wasCancelled = false;
        try {
            FlattenedExport::run(job, destination, SaveEngine(), cancelled.get());
        } catch (const FlattenedExport::Cancelled&) {
            wasCancelled = true;
        } catch (const SaveEngineError& error) {
            logLine("export failed: " + error.text());
            failure = error.localizedFailureReason(InterfaceLanguage::current());
        } catch (const std::bad_alloc&) {
            throw;  // not a failure of this work to report and go on from
        } catch (const std::exception& error) {
            logLine(std::string("export failed: ") + error.what());
            failure = QString();
        }
        MainThread::post([self, progress, failure, wasCancelled, showFailure] {
            if (progress) {
                progress->close();
            }
            if (!self || wasCancelled) {
                return;
            }
            if (failure) {
                showFailure(*failure);
            } else {
                self->document_.showNotice(FlattenedExport::doneNotice.text());
            }
        });
    });
    connect(worker, &QThread::finished, worker, &QObject::deleteLater);
    worker->start();
}

}  // namespace quillet
