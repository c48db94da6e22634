// The window's commands that take a document out of the application: Page
// Setup…, Print… and Export with Flattened Markup…. The window shows the
// dialogs (window-modal); the printing and the export themselves are
// DocumentPrinter and FlattenedExport. The export runs on a thread of its
// own; both show a cancellable progress dialog when they take long.
//
// In self-test mode (QUILLET_SELFTEST), QUILLET_SELFTEST_PRINT_TO=<file.pdf>
// makes Print… print to that PDF file without asking, and
// QUILLET_SELFTEST_EXPORT_TO=<file.pdf> makes Export with Flattened Markup…
// export to that file without asking.
#pragma once

#include <QObject>
#include <QPrinter>
#include <functional>
#include <memory>

namespace quillet {

class DocumentWindowController;
class InkDocument;
class PrintJob;

class DocumentOutput : public QObject {
    Q_OBJECT

  public:
    static constexpr char selfTestPrintVariable[] = "QUILLET_SELFTEST_PRINT_TO";
    static constexpr char selfTestExportVariable[] = "QUILLET_SELFTEST_EXPORT_TO";

    // A child of the window; `document` must outlive it. Connects and enables the actions.
    DocumentOutput(DocumentWindowController& window, InkDocument& document);
    // A print still running is cancelled: the printer goes with this object.
    ~DocumentOutput() override;

    // Made on first use: a printer loads the print system's plugin, which a
    // new window does not need before its first page is on screen.
    QPrinter& printer();
    // Starts printing with the printer's current settings in the background;
    // `done` gets false when cancelled or failed. Print… and Page Setup… wait
    // meanwhile (the job has the printer).
    void printNow(std::function<void(bool printed)> done = {});
    bool isPrinting() const { return printJob_ != nullptr; }
    // Exports to `destination` in the background; the outcome is shown in the window.
    void exportTo(const QString& destination);

  private:
    void refreshEnabled();
    void print();
    void proposePrintFile();
    void pageSetup();
    void chooseExportDestination();

    DocumentWindowController& window_;
    InkDocument& document_;
    std::unique_ptr<QPrinter> printer_;
    PrintJob* printJob_ = nullptr;
};

}  // namespace quillet
