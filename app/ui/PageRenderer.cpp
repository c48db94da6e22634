#include "app/ui/PageRenderer.h"

#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <limits>
#include <mutex>
#include <optional>
#include <thread>

#include <QCoreApplication>
#include <QMetaObject>

namespace quillet {

// What the rendering thread sees. It never touches the renderer object: results
// go to the main thread, which hands them on only while `owner` is set.
struct PageRenderer::Worker {
    std::shared_ptr<PDFDocument> pdf;
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<std::pair<Key, double>> queue;
    std::optional<Key> inFlight;
    std::uint64_t generation = 0;  // bumped by clear(): older results are dropped
    bool stopping = false;
    PageRenderer* owner = nullptr;  // main thread only
    std::thread thread;

    void run(const std::shared_ptr<Worker>& self);
};

namespace {

struct RetiredWorkers {
    std::mutex mutex;
    std::vector<std::thread> threads;
};

RetiredWorkers& retiredWorkers()
{
    static RetiredWorkers retired;
    return retired;
}

void retire(std::thread thread)
{
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

void PageRenderer::Worker::run(const std::shared_ptr<Worker>& self)
{
    std::unique_lock lock(mutex);
    for (;;) {
        wake.wait(lock, [this] { return stopping || !queue.empty(); });
        if (stopping) {
            return;
        }
        const auto [key, scale] = queue.front();
        queue.pop_front();
        inFlight = key;
        const std::uint64_t renderedGeneration = generation;
        lock.unlock();
        QImage image = pdf->renderPage(key.page, scale, {});
        if (QCoreApplication* app = QCoreApplication::instance()) {
            QMetaObject::invokeMethod(
                app,
                [self, key, image = std::move(image), renderedGeneration]() mutable {
                    if (self->owner != nullptr) {
                        self->owner->deliver(key, std::move(image), renderedGeneration);
                    }
                },
                Qt::QueuedConnection);
        }
        lock.lock();
        inFlight.reset();
    }
}

PageRenderer::PageRenderer(std::shared_ptr<PDFDocument> pdf, QObject* parent)
    : QObject(parent), worker_(std::make_shared<Worker>())
{
    worker_->pdf = std::move(pdf);
    worker_->owner = this;
    worker_->thread = std::thread([worker = worker_] { worker->run(worker); });
}

PageRenderer::~PageRenderer()
{
    worker_->owner = nullptr;
    {
        std::lock_guard lock(worker_->mutex);
        worker_->stopping = true;
        worker_->queue.clear();
    }
    worker_->wake.notify_all();
    retire(std::move(worker_->thread));
}

void PageRenderer::finishRetiredWorkers()
{
    std::vector<std::thread> threads;
    {
        std::lock_guard lock(retiredWorkers().mutex);
        threads.swap(retiredWorkers().threads);
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
}

PageRenderer::Key PageRenderer::keyFor(int page, double pixelScale)
{
    return Key{page, std::llround(pixelScale * 1000)};
}

void PageRenderer::setPageSizes(std::vector<QSizeF> displaySizes)
{
    pageSizes_ = std::move(displaySizes);
}

double PageRenderer::effectiveScale(int pageIndex, double pixelScale) const
{
    if (pageIndex < 0 || static_cast<size_t>(pageIndex) >= pageSizes_.size()) {
        return pixelScale;
    }
    const QSizeF size = pageSizes_[static_cast<size_t>(pageIndex)];
    const double pixels = size.width() * size.height() * pixelScale * pixelScale;
    if (pixels <= maxPagePixels || pixels <= 0) {
        return pixelScale;
    }
    return pixelScale * std::sqrt(maxPagePixels / pixels);
}

QImage PageRenderer::cachedImage(int pageIndex, double pixelScale)
{
    const auto it = cache_.find(keyFor(pageIndex, effectiveScale(pageIndex, pixelScale)));
    if (it == cache_.end()) {
        return {};
    }
    it->second.lastUse = ++useCounter_;
    return it->second.image;
}

QImage PageRenderer::closestImage(int pageIndex, double pixelScale)
{
    const std::int64_t wanted = keyFor(pageIndex, pixelScale).scaleKey;
    Entry* best = nullptr;
    std::int64_t bestDistance = std::numeric_limits<std::int64_t>::max();
    for (auto it = cache_.lower_bound(Key{pageIndex, 0}); it != cache_.end() && it->first.page == pageIndex;
         ++it) {
        const std::int64_t distance = std::llabs(it->first.scaleKey - wanted);
        if (distance < bestDistance) {
            best = &it->second;
            bestDistance = distance;
        }
    }
    if (best == nullptr) {
        return {};
    }
    best->lastUse = ++useCounter_;
    return best->image;
}

void PageRenderer::request(const std::vector<int>& pages, double pixelScale)
{
    std::vector<std::pair<Key, double>> wanted;
    for (int page : pages) {
        const double scale = effectiveScale(page, pixelScale);
        const Key key = keyFor(page, scale);
        if (cache_.find(key) == cache_.end()) {
            wanted.emplace_back(key, scale);
        }
    }
    {
        std::lock_guard lock(worker_->mutex);
        worker_->queue.clear();
        for (const auto& item : wanted) {
            if (item.first != worker_->inFlight) {
                worker_->queue.push_back(item);
            }
        }
    }
    worker_->wake.notify_one();
}

void PageRenderer::clear()
{
    cache_.clear();
    cacheBytes_ = 0;
    std::lock_guard lock(worker_->mutex);
    worker_->queue.clear();
    ++worker_->generation;
}

int PageRenderer::pendingCount() const
{
    std::lock_guard lock(worker_->mutex);
    return static_cast<int>(worker_->queue.size()) + (worker_->inFlight ? 1 : 0);
}

void PageRenderer::deliver(Key key, QImage image, std::uint64_t generation)
{
    {
        std::lock_guard lock(worker_->mutex);
        if (generation != worker_->generation) {
            return;
        }
    }
    if (image.isNull()) {
        return;  // nothing to show for this page (e.g. locked); not retried until asked again
    }
    if (const auto old = cache_.find(key); old != cache_.end()) {
        cacheBytes_ -= old->second.image.sizeInBytes();
    }
    cacheBytes_ += image.sizeInBytes();
    cache_[key] = Entry{std::move(image), ++useCounter_};
    evictOverLimit();
    emit pageRendered(key.page);
}

void PageRenderer::evictOverLimit()
{
    while (cacheBytes_ > cacheByteLimit && cache_.size() > 1) {
        auto oldest = cache_.begin();
        for (auto it = cache_.begin(); it != cache_.end(); ++it) {
            if (it->second.lastUse < oldest->second.lastUse) {
                oldest = it;
            }
        }
        cacheBytes_ -= oldest->second.image.sizeInBytes();
        cache_.erase(oldest);
    }
}

}  // namespace quillet
