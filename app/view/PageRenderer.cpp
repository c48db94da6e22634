#include "app/view/PageRenderer.h"

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <limits>
#include <mutex>
#include <optional>
#include <thread>

#include "app/platform/MainThread.h"

namespace quillet {

// What the rendering thread sees. It never touches the renderer object: results
// go to the main thread, which hands them on only while `owner` is set.
struct PageRenderer::Worker {
    std::shared_ptr<PDFDocument> pdf;
    std::mutex mutex;
    std::condition_variable wake;
    struct Job {
        Key key;
        double scale;
        QRect region;  // a tile's pixels; empty for the whole page
    };
    std::deque<Job> queue;
    // What each page's renders leave out; the version counts the changes, so
    // that an image made with an older list is never kept.
    struct PageHiding {
        HiddenAnnotations annotations;
        std::uint64_t version = 0;
    };
    std::map<int, PageHiding> hidden;  // by page
    std::optional<Key> inFlight;
    std::uint64_t inFlightVersion = 0;
    int scanNext = 0;  // geometry still to read: [scanNext, scanEnd)
    int scanEnd = 0;
    std::uint64_t generation = 0;      // bumped by clear(): older renders are dropped
    std::uint64_t scanGeneration = 0;  // bumped by each new scan: older batches are dropped
    bool stopping = false;
    PageRenderer* owner = nullptr;  // main thread only
    std::thread thread;

    std::uint64_t hidingVersion(int page) const {
        const auto it = hidden.find(page);
        return it == hidden.end() ? 0 : it->second.version;
    }
    void run(const std::shared_ptr<Worker>& self);
    void scanBatch(const std::shared_ptr<Worker>& self, std::unique_lock<std::mutex>& lock);
};

namespace {

// The one image budget of the process (main thread only): every renderer's
// cache counts against it, and the least recently used image of any renderer
// goes first.
struct SharedBudget {
    qint64 limit = PageRenderer::defaultCacheByteLimit;
    qint64 bytes = 0;
    std::uint64_t useCounter = 0;
    std::vector<PageRenderer*> renderers;
};

SharedBudget& budget() {
    static SharedBudget shared;
    return shared;
}

struct RetiredWorkers {
    std::mutex mutex;
    std::vector<std::thread> threads;
};

RetiredWorkers& retiredWorkers() {
    static RetiredWorkers retired;
    return retired;
}

void retire(std::thread thread) {
    static const bool registered = [] {
        // The list must exist before the exit handler is registered: exit
        // handlers and static destructors run in reverse order, and the list
        // must outlive the join. Registered after the engine's first use, so
        // it also runs before the engine's globals go.
        retiredWorkers();
        std::atexit(&PageRenderer::finishRetiredWorkers);
        return true;
    }();
    (void)registered;
    std::lock_guard lock(retiredWorkers().mutex);
    retiredWorkers().threads.push_back(std::move(thread));
}

}  // namespace

void PageRenderer::Worker::run(const std::shared_ptr<Worker>& self) {
    std::unique_lock lock(mutex);
    for (;;) {
        wake.wait(lock, [this] { return stopping || !queue.empty() || scanNext < scanEnd; });
        if (stopping) {
            return;
        }
        if (queue.empty()) {
            scanBatch(self, lock);
            continue;
        }
        const Job job = queue.front();
        const Key key = job.key;
        queue.pop_front();
        const auto hiddenOnPage = hidden.find(key.page);
        const PageHiding hiding = hiddenOnPage == hidden.end() ? PageHiding{} : hiddenOnPage->second;
        inFlight = key;
        inFlightVersion = hiding.version;
        const Made made{generation, hiding.version};
        lock.unlock();
        QImage image = key.tile == wholePage
                           ? pdf->renderPageHiding(key.page, job.scale, hiding.annotations)
                           : pdf->renderRegion(key.page, job.scale, job.region, hiding.annotations);
        MainThread::post([self, key, image = std::move(image), made]() mutable {
            if (self->owner != nullptr) {
                self->owner->deliver(key, std::move(image), made);
            }
        });
        lock.lock();
        inFlight.reset();
    }
}

void PageRenderer::Worker::scanBatch(const std::shared_ptr<Worker>& self,
                                     std::unique_lock<std::mutex>& lock) {
    const int first = scanNext;
    const int count = std::min(geometryBatch, scanEnd - scanNext);
    scanNext += count;
    const std::uint64_t scannedGeneration = scanGeneration;
    lock.unlock();
    std::vector<std::optional<PDFPageGeometry>> geometries;
    geometries.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        geometries.push_back(pdf->pageGeometry(first + i));
    }
    MainThread::post([self, first, geometries = std::move(geometries), scannedGeneration]() mutable {
        if (self->owner != nullptr) {
            self->owner->deliverGeometries(first, std::move(geometries), scannedGeneration);
        }
    });
    lock.lock();
}

PageRenderer::PageRenderer(std::shared_ptr<PDFDocument> pdf, QObject* parent)
    : QObject(parent), worker_(std::make_shared<Worker>()) {
    worker_->pdf = std::move(pdf);
    worker_->owner = this;
    worker_->thread = std::thread([worker = worker_] { worker->run(worker); });
    budget().renderers.push_back(this);
}

PageRenderer::~PageRenderer() {
    std::erase(budget().renderers, this);
    budget().bytes -= cacheBytes_;
    worker_->owner = nullptr;
    {
        std::lock_guard lock(worker_->mutex);
        worker_->stopping = true;
        worker_->queue.clear();
    }
    worker_->wake.notify_all();
    retire(std::move(worker_->thread));
}

void PageRenderer::finishRetiredWorkers() {
    std::vector<std::thread> threads;
    {
        std::lock_guard lock(retiredWorkers().mutex);
        threads.swap(retiredWorkers().threads);
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
}

PageRenderer::Key PageRenderer::keyFor(int page, double pixelScale, int tile) {
    return Key{page, std::llround(pixelScale * 1000), tile};
}

void PageRenderer::setPageSizes(PageSizes displaySizes) {
    pageSizes_ = std::move(displaySizes);
}

void PageRenderer::scanPageGeometries(int first, int count) {
    {
        std::lock_guard lock(worker_->mutex);
        worker_->scanNext = std::max(first, 0);
        worker_->scanEnd = std::max(first + count, worker_->scanNext);
        ++worker_->scanGeneration;
    }
    worker_->wake.notify_one();
}

void PageRenderer::setCacheByteLimit(qint64 bytes) {
    budget().limit = bytes;
    evictOverLimit(nullptr);
}

qint64 PageRenderer::cacheByteLimit() {
    return budget().limit;
}

qint64 PageRenderer::totalCachedBytes() {
    return budget().bytes;
}

double PageRenderer::effectiveScale(int pageIndex, double pixelScale) const {
    if (pageIndex < 0 || pageIndex >= pageSizes_.count()) {
        return pixelScale;
    }
    const QSizeF size = pageSizes_.at(pageIndex);
    const double pixels = size.width() * size.height() * pixelScale * pixelScale;
    if (pixels <= maxPagePixels || pixels <= 0) {
        return pixelScale;
    }
    return pixelScale * std::sqrt(maxPagePixels / pixels);
}

QImage PageRenderer::cachedImage(int pageIndex, double pixelScale) {
    const auto it = cache_.find(keyFor(pageIndex, effectiveScale(pageIndex, pixelScale)));
    if (it == cache_.end()) {
        return {};
    }
    it->second.lastUse = ++budget().useCounter;
    return it->second.image;
}

bool PageRenderer::hasImage(int pageIndex, double pixelScale) const {
    return cache_.contains(keyFor(pageIndex, effectiveScale(pageIndex, pixelScale)));
}

QImage PageRenderer::closestImage(int pageIndex, double pixelScale) {
    const std::int64_t wanted = keyFor(pageIndex, pixelScale).scaleKey;
    Entry* best = nullptr;
    std::int64_t bestDistance = std::numeric_limits<std::int64_t>::max();
    for (auto it = cache_.lower_bound(Key{pageIndex, 0}); it != cache_.end() && it->first.page == pageIndex;
         ++it) {
        if (it->first.tile != wholePage) {
            continue;
        }
        const std::int64_t distance = std::llabs(it->first.scaleKey - wanted);
        if (distance < bestDistance) {
            best = &it->second;
            bestDistance = distance;
        }
    }
    if (best == nullptr) {
        return {};
    }
    best->lastUse = ++budget().useCounter;
    return best->image;
}

QSize PageRenderer::imageSize(int pageIndex, double pixelScale) const {
    if (pageIndex < 0 || pageIndex >= pageSizes_.count()) {
        return {};
    }
    const QSizeF size = pageSizes_.at(pageIndex) * pixelScale;
    return QSize(static_cast<int>(std::ceil(size.width())), static_cast<int>(std::ceil(size.height())));
}

bool PageRenderer::usesTiles(int pageIndex, double pixelScale) const {
    return effectiveScale(pageIndex, pixelScale) < pixelScale;
}

QRect PageRenderer::tileRect(int pageIndex, double pixelScale, int tile) const {
    const QSize size = imageSize(pageIndex, pixelScale);
    const int columns = (size.width() + tileSize - 1) / tileSize;
    if (tile < 0 || columns <= 0) {
        return {};
    }
    const QRect square((tile % columns) * tileSize, (tile / columns) * tileSize, tileSize, tileSize);
    return square & QRect(QPoint(0, 0), size);
}

std::vector<PageRenderer::Tile> PageRenderer::tilesCovering(int pageIndex, double pixelScale,
                                                            const QRect& visible) const {
    if (!usesTiles(pageIndex, pixelScale)) {
        return {};
    }
    const QSize size = imageSize(pageIndex, pixelScale);
    const QRect shown = visible & QRect(QPoint(0, 0), size);
    if (shown.isEmpty()) {
        return {};
    }
    const int columns = (size.width() + tileSize - 1) / tileSize;
    std::vector<Tile> tiles;
    for (int row = shown.top() / tileSize; row <= shown.bottom() / tileSize; ++row) {
        for (int column = shown.left() / tileSize; column <= shown.right() / tileSize; ++column) {
            const int index = row * columns + column;
            tiles.push_back(Tile{index, tileRect(pageIndex, pixelScale, index)});
        }
    }
    return tiles;
}

QImage PageRenderer::cachedTile(int pageIndex, double pixelScale, int tile) {
    const auto it = cache_.find(keyFor(pageIndex, pixelScale, tile));
    if (it == cache_.end()) {
        return {};
    }
    it->second.lastUse = ++budget().useCounter;
    return it->second.image;
}

void PageRenderer::request(const std::vector<int>& pages, double pixelScale) {
    std::vector<Wanted> wanted;
    wanted.reserve(pages.size());
    for (int page : pages) {
        wanted.push_back(Wanted{page, pixelScale});
    }
    request(wanted);
}

void PageRenderer::request(const std::vector<std::pair<int, double>>& pagesAndScales) {
    std::vector<Wanted> wanted;
    wanted.reserve(pagesAndScales.size());
    for (const auto& [page, pixelScale] : pagesAndScales) {
        wanted.push_back(Wanted{page, pixelScale});
    }
    request(wanted);
}

void PageRenderer::request(const std::vector<Wanted>& wanted) {
    std::vector<Worker::Job> jobs;
    for (const Wanted& item : wanted) {
        // A whole page is rendered at its effective scale; a tile exactly.
        const double scale =
            item.tile == wholePage ? effectiveScale(item.page, item.pixelScale) : item.pixelScale;
        const QRect region = item.tile == wholePage ? QRect() : tileRect(item.page, scale, item.tile);
        if (item.tile != wholePage && region.isEmpty()) {
            continue;
        }
        const Key key = keyFor(item.page, scale, item.tile);
        if (cache_.find(key) == cache_.end()) {
            jobs.push_back(Worker::Job{key, scale, region});
        }
    }
    {
        std::lock_guard lock(worker_->mutex);
        worker_->queue.clear();
        for (const Worker::Job& job : jobs) {
            // The page in progress is not asked for again, unless what it
            // leaves out changed after it began.
            if (job.key != worker_->inFlight ||
                worker_->inFlightVersion != worker_->hidingVersion(job.key.page)) {
                worker_->queue.push_back(job);
            }
        }
    }
    worker_->wake.notify_one();
}

void PageRenderer::clear() {
    cache_.clear();
    budget().bytes -= cacheBytes_;
    cacheBytes_ = 0;
    std::lock_guard lock(worker_->mutex);
    worker_->queue.clear();
    ++worker_->generation;
}

void PageRenderer::setHiddenAnnotations(int pageIndex, HiddenAnnotations hidden) {
    {
        std::lock_guard lock(worker_->mutex);
        Worker::PageHiding& current = worker_->hidden[pageIndex];
        if (current.annotations == hidden) {
            return;
        }
        // A render of the page begun with the older list is dropped when it
        // arrives (deliver), and the page is asked for again (request).
        current.annotations = std::move(hidden);
        ++current.version;
    }
    for (auto it = cache_.lower_bound(Key{pageIndex, 0});
         it != cache_.end() && it->first.page == pageIndex;) {
        cacheBytes_ -= it->second.image.sizeInBytes();
        budget().bytes -= it->second.image.sizeInBytes();
        it = cache_.erase(it);
    }
}

int PageRenderer::pendingCount() const {
    std::lock_guard lock(worker_->mutex);
    return static_cast<int>(worker_->queue.size()) + (worker_->inFlight ? 1 : 0);
}

void PageRenderer::deliverGeometries(int first, std::vector<std::optional<PDFPageGeometry>> geometries,
                                     std::uint64_t scanGeneration) {
    {
        std::lock_guard lock(worker_->mutex);
        if (scanGeneration != worker_->scanGeneration) {
            return;
        }
    }
    emit pageGeometriesRead(first, geometries);
}

void PageRenderer::deliver(Key key, QImage image, Made made) {
    {
        std::lock_guard lock(worker_->mutex);
        if (made.generation != worker_->generation ||
            made.hidingVersion != worker_->hidingVersion(key.page)) {
            return;
        }
    }
    if (image.isNull()) {
        return;  // nothing to show for this page (e.g. locked); not retried until asked again
    }
    if (const auto old = cache_.find(key); old != cache_.end()) {
        cacheBytes_ -= old->second.image.sizeInBytes();
        budget().bytes -= old->second.image.sizeInBytes();
    }
    cacheBytes_ += image.sizeInBytes();
    budget().bytes += image.sizeInBytes();
    cache_[key] = Entry{std::move(image), ++budget().useCounter};
    evictOverLimit(this);
    emit pageRendered(key.page);
}

void PageRenderer::evictOverLimit(const PageRenderer* keep) {
    SharedBudget& shared = budget();
    while (shared.bytes > shared.limit) {
        // The least recently used image of any renderer; the one just
        // delivered (the newest of `keep`) stays, or it could never be shown.
        PageRenderer* owner = nullptr;
        std::map<Key, Entry>::iterator oldest;
        for (PageRenderer* renderer : shared.renderers) {
            for (auto it = renderer->cache_.begin(); it != renderer->cache_.end(); ++it) {
                if (it->second.lastUse == shared.useCounter && renderer == keep) {
                    continue;
                }
                if (owner == nullptr || it->second.lastUse < oldest->second.lastUse) {
                    owner = renderer;
                    oldest = it;
                }
            }
        }
        if (owner == nullptr) {
            return;
        }
        const qint64 bytes = oldest->second.image.sizeInBytes();
        owner->cacheBytes_ -= bytes;
        shared.bytes -= bytes;
        owner->cache_.erase(oldest);
    }
}

}  // namespace quillet
