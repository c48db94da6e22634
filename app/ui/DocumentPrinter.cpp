#include "app/ui/DocumentPrinter.h"

#include <QEventLoop>
#include <QFile>
#include <QPainter>
#include <QPrinter>
#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include "app/document/AnnotationStore.h"
#include "app/platform/MainThread.h"
#include "app/platform/PDFDocument.h"
#include "app/platform/PlatformLog.h"
#include "app/platform/SerialQueue.h"
#include "app/view/ItemPainter.h"
#include "app/view/PageItemLayer.h"
#include "core/markup/DrawCommand.h"
#include "core/pdf/FileAccessError.h"
#include "core/save/ReplacementFile.h"

namespace quillet {
namespace {

// What the worker needs of one page, read from the store on the main thread.
struct PageWork {
    int page = 0;
    HiddenAnnotations hidden;         // the file's copies of the store's items
    std::vector<DrawCommand> markup;  // the displayed items' drawing, in drawing order
};

}  // namespace

struct PrintJob::Shared {
    // Set on the main thread before the worker starts; read-only afterwards.
    QPrinter* printer = nullptr;
    std::shared_ptr<PDFDocument> pdf;
    bool showCommentText = true;
    int first = 0;
    int last = -1;
    // For output to a PDF file: what the printer writes meanwhile, put in
    // place of the file once every page is printed. Made before the worker
    // starts, then the worker's alone.
    std::optional<ReplacementFile> replacement;

    std::mutex mutex;
    std::condition_variable wake;  // a page is ready or the job was cancelled
    std::deque<PageWork> ready;
    bool cancelled = false;

    // Worker: the next page to print, absent once cancelled.
    std::optional<PageWork> nextPage() {
        std::unique_lock lock(mutex);
        wake.wait(lock, [this] { return cancelled || !ready.empty(); });
        if (cancelled) {
            return std::nullopt;
        }
        PageWork work = std::move(ready.front());
        ready.pop_front();
        return work;
    }
    bool isCancelled() {
        std::lock_guard lock(mutex);
        return cancelled;
    }
    // Worker: every page onto the printer, then the output file put in place
    // (or removed when the job did not finish). `pageDone` runs after each page.
    bool printPages(const std::function<void(int done)>& pageDone);
};

namespace {

// The page as vectors where `vectors` draws it faithfully, else as a render.
void printPage(QPainter& painter, PDFDocument& pdf, PDFPagePainter* vectors, const PageWork& work,
               const QRectF& paper, double dpi) {
    const std::optional<PDFPageGeometry> geometry = pdf.pageGeometry(work.page);
    if (!geometry) {
        return;
    }
    const QSizeF size = geometry->displaySize();
    const QTransform toPaper = DocumentPrinter::displayToPaper(size, paper, dpi);
    painter.save();
    painter.setTransform(toPaper);
    if (vectors == nullptr || !vectors->paintPage(painter, work.page, work.hidden)) {
        // Pixels per point on paper, capped: a raster beyond that only costs memory.
        const double scale =
            std::min(std::sqrt(std::abs(toPaper.determinant())), DocumentPrinter::maximumRasterDPI / 72);
        const QImage image = pdf.renderPageHiding(work.page, scale, work.hidden);
        if (!image.isNull()) {
            painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
            painter.drawImage(QRectF(QPointF(0, 0), size), image);
        }
    }
    painter.resetTransform();
    ItemPainter::paint(painter, work.markup, geometry->pageToDisplay() * toPaper);
    painter.restore();
}

}  // namespace

bool PrintJob::Shared::printPages(const std::function<void(int done)>& pageDone) {
    Shared& job = *this;
    QPrinter& printer = *job.printer;
    QPainter painter;
    if (!painter.begin(&printer)) {
        logLine("printing could not start");
        replacement.reset();
        return false;
    }
    const double dpi = printer.resolution();
    // A document of the printer's own: drawing its pages never waits for the
    // display's renders.
    const std::unique_ptr<PDFPagePainter> vectors = job.pdf->openPagePainter();
    const QRectF paper(QPointF(0, 0), printer.pageRect(QPrinter::DevicePixel).size());
    bool complete = true;
    for (int page = job.first; page <= job.last; ++page) {
        std::optional<PageWork> work = job.nextPage();
        if (!work) {
            complete = false;
            break;
        }
        if (page > job.first && !printer.newPage()) {
            logLine("printing stopped: the printer refused a new page");
            complete = false;
            break;
        }
        printPage(painter, *job.pdf, vectors.get(), *work, paper, dpi);
        pageDone(page - job.first + 1);
    }
    complete = complete && !job.isCancelled();
    if (!complete) {
        // Qt's print engines cannot abort (the call is there for one that
        // can): a printer still gets the pages done so far, a PDF file is
        // removed below.
        printer.abort();
    }
    painter.end();
    if (complete && replacement) {
        try {
            replacement->commit(std::nullopt);
        } catch (const FileAccessError& error) {
            logLine("printing failed: " + error.text());
            complete = false;
        }
    }
    replacement.reset();  // an uncommitted file goes with it
    return complete;
}

PrintJob::PrintJob(QPrinter& printer, std::shared_ptr<PDFDocument> pdf,
                   std::shared_ptr<AnnotationStore> store, QString title, bool showCommentText,
                   QObject* parent)
    : QObject(parent), printer_(printer), store_(std::move(store)), shared_(std::make_shared<Shared>()) {
    printer_.setDocName(title);
    shared_->printer = &printer_;
    shared_->pdf = std::move(pdf);
    shared_->showCommentText = showCommentText;
    const int count = shared_->pdf ? shared_->pdf->pageCount() : 0;
    shared_->last = count - 1;
    if (count > 0 && printer_.printRange() == QPrinter::PageRange && printer_.fromPage() > 0) {
        shared_->first = std::clamp(printer_.fromPage() - 1, 0, count - 1);
        shared_->last = std::clamp(printer_.toPage() - 1, shared_->first, count - 1);
    }
    nextToRead_ = shared_->first;
}

PrintJob::~PrintJob() {
    if (!running_) {
        return;
    }
    cancel();
    // The page being printed ends first: the printer is the caller's again after this.
    queue_.reset();
    if (!outputFile_.isEmpty()) {
        printer_.setOutputFileName(outputFile_);
    }
}

int PrintJob::pageTotal() const {
    return std::max(0, shared_->last - shared_->first + 1);
}

void PrintJob::start() {
    if (std::exchange(started_, true)) {
        return;  // one run per job
    }
    if (!store_ || pageTotal() == 0) {
        logLine("printing could not start");
        emit finished(false);
        return;
    }
    if (printer_.outputFormat() == QPrinter::PdfFormat && !printer_.outputFileName().isEmpty()) {
        outputFile_ = printer_.outputFileName();
        try {
            shared_->replacement.emplace(QFile::encodeName(outputFile_).toStdString());
        } catch (const FileAccessError& error) {
            logLine("printing could not start: " + error.text());
            outputFile_.clear();
            emit finished(false);
            return;
        }
        printer_.setOutputFileName(
            QFile::decodeName(QByteArray::fromStdString(shared_->replacement->path())));
    }
    running_ = true;
    feed();
    const std::shared_ptr<Shared> shared = shared_;
    // `this` outlives the worker's posts: the destructor waits for the queue.
    // A queue of its own: a job never waits behind another window's, whose
    // worker may be waiting for the main thread.
    PrintJob* job = this;
    queue_ = std::make_unique<SerialQueue>(queueName);
    queue_->async([shared, job] {
        bool printed = false;
        try {
            printed = shared->printPages(
                [job](int done) { MainThread::post([job, done] { job->pageDone(done); }, job); });
        } catch (const std::exception& error) {
            logLine(std::string("printing failed: ") + error.what());
        }
        MainThread::post([job, printed] { job->complete(printed); }, job);
    });
}

void PrintJob::cancel() {
    std::lock_guard lock(shared_->mutex);
    shared_->cancelled = true;
    shared_->wake.notify_all();
}

void PrintJob::feed() {
    AnnotationStore& store = *store_;
    while (nextToRead_ <= shared_->last && nextToRead_ - shared_->first - done_ < readAhead) {
        PageWork work;
        work.page = nextToRead_++;
        store.loadPage(work.page);
        // As the page view leaves them out: by place too, for copies whose /NM is gone.
        work.hidden = PageItemLayer::hiddenAnnotations(store.storedAnnotationKeys(work.page));
        for (const ItemAnnotation* annotation : store.annotationsOnPage(work.page)) {
            if (annotation->isDisplayed()) {
                const std::vector<DrawCommand>& commands =
                    annotation->appearance(shared_->showCommentText).commands;
                work.markup.insert(work.markup.end(), commands.begin(), commands.end());
            }
        }
        std::lock_guard lock(shared_->mutex);
        shared_->ready.push_back(std::move(work));
        shared_->wake.notify_all();
    }
}

void PrintJob::pageDone(int done) {
    done_ = done;
    if (shared_->isCancelled()) {
        return;
    }
    emit progressed(done, pageTotal());
    feed();
}

void PrintJob::complete(bool printed) {
    running_ = false;
    if (!outputFile_.isEmpty()) {
        printer_.setOutputFileName(std::exchange(outputFile_, QString()));
    }
    emit finished(printed);
}

namespace DocumentPrinter {

QTransform displayToPaper(QSizeF pageDisplaySize, const QRectF& paper, double dpi) {
    const bool turn =
        pageDisplaySize.width() != pageDisplaySize.height() &&
        (pageDisplaySize.width() > pageDisplaySize.height()) != (paper.width() > paper.height());
    const QSizeF onPaper = turn ? pageDisplaySize.transposed() : pageDisplaySize;
    const double natural = dpi / 72;
    const double fit = std::min(paper.width() / onPaper.width(), paper.height() / onPaper.height());
    const double scale = std::min(natural, fit);
    QTransform transform;
    transform.translate(paper.center().x(), paper.center().y());
    if (turn) {
        transform.rotate(90);
    }
    transform.scale(scale, scale);
    transform.translate(-pageDisplaySize.width() / 2, -pageDisplaySize.height() / 2);
    return transform;
}

bool print(QPrinter& printer, std::shared_ptr<PDFDocument> pdf, std::shared_ptr<AnnotationStore> store,
           const QString& title, bool showCommentText, const Progress& progress) {
    PrintJob job(printer, std::move(pdf), std::move(store), title, showCommentText);
    QEventLoop loop;
    bool printed = false;
    QObject::connect(&job, &PrintJob::progressed, &job, [&](int done, int total) {
        if (progress && !progress(done, total)) {
            job.cancel();
        }
    });
    QObject::connect(&job, &PrintJob::finished, &loop, [&](bool ok) {
        printed = ok;
        loop.quit();
    });
    job.start();
    if (job.isRunning()) {
        loop.exec();
    }
    return printed;
}

}  // namespace DocumentPrinter
}  // namespace quillet
