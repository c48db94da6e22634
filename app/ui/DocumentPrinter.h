// Printing a document with its markup: each page as vectors, as the PDF
// engine draws it with the application's own annotations left out (or as its
// render where the vectors would not match it), and the store's current
// items (unsaved ones too) painted over it as vectors. Pages keep their size
// unless the paper is too small (then they are scaled down to fit), are
// centred, and are turned a quarter when their orientation differs from the
// paper's.
//
// A PrintJob renders and paints the pages on the printer from a print queue
// of its own ("app.quillet.print"), so a long document never holds up the window. The
// main thread only reads each page's items from the store, which lives there,
// a couple of pages ahead of the worker. Output to a PDF file is written to a
// hidden temporary file beside it and replaces the file only once every page
// is printed: a cancelled or failed job leaves no partial file behind.
#pragma once

#include <QObject>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QTransform>
#include <functional>
#include <memory>

class QPrinter;

namespace quillet {

class AnnotationStore;
class PDFDocument;
class SerialQueue;

namespace DocumentPrinter {

// The highest resolution pages printed as renders are rendered at; vectors
// are not limited.
inline constexpr double maximumRasterDPI = 300;

// Maps a page's display space (points, rotation applied) onto `paper` (device
// pixels at `dpi`): scaled down to fit, centred, turned when the orientations
// differ.
QTransform displayToPaper(QSizeF pageDisplaySize, const QRectF& paper, double dpi);

// Called on the main thread after each page with the pages done and the pages
// to print; false cancels the job.
using Progress = std::function<bool(int done, int total)>;

// Runs a PrintJob and waits for it in a local event loop (the self-test and
// tests). False when cancelled or when the job failed.
bool print(QPrinter& printer, std::shared_ptr<PDFDocument> pdf, std::shared_ptr<AnnotationStore> store,
           const QString& title, bool showCommentText, const Progress& progress = {});

}  // namespace DocumentPrinter

class PrintJob : public QObject {
    Q_OBJECT

  public:
    static constexpr char queueName[] = "app.quillet.print";
    // Pages whose items the main thread has read and the worker not yet printed.
    static constexpr int readAhead = 2;

    // Prints the printer's page range (every page when none is set) as `title`.
    // Main thread. The printer is the job's until finished() (the caller
    // keeps it alive and leaves it alone meanwhile).
    PrintJob(QPrinter& printer, std::shared_ptr<PDFDocument> pdf, std::shared_ptr<AnnotationStore> store,
             QString title, bool showCommentText, QObject* parent = nullptr);
    // Cancels a running job and waits for the worker to let go of the printer.
    ~PrintJob() override;

    // Once per job.
    void start();
    // Stops before the next page; finished(false) follows.
    void cancel();
    bool isRunning() const { return running_; }
    int pageTotal() const;

  signals:
    void progressed(int done, int total);
    // Once per started job; the printer is free again.
    void finished(bool printed);

  private:
    struct Shared;
    void feed();
    void pageDone(int done);
    void complete(bool printed);

    QPrinter& printer_;
    std::shared_ptr<AnnotationStore> store_;
    std::shared_ptr<Shared> shared_;
    std::unique_ptr<SerialQueue> queue_;
    QString outputFile_;  // the PDF file asked for, while a temporary one is written
    int nextToRead_ = 0;
    int done_ = 0;
    bool started_ = false;
    bool running_ = false;
};

}  // namespace quillet
