// Renders pages on a background thread and keeps the results in a cache, so
// the page view never waits for a page: it asks for what it shows, paints what
// is there (a blurry stand-in or blank paper meanwhile) and repaints when a
// page arrives. Only the newest request list counts; pages scrolled away
// before their turn are never rendered. When nothing waits, the same thread
// reads the pages' geometry in batches, so opening a long document never
// measures every page on the main thread. All renderers of the process share
// one image budget. A page too large to render whole at the wanted scale is
// also rendered in tiles at that scale, only where it is seen, so that deep
// zooms stay sharp; tiles count against the same budget.
#pragma once

#include <QImage>
#include <QObject>
#include <QRect>
#include <QSizeF>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "app/platform/PDFDocument.h"
#include "app/view/PageSizes.h"

namespace quillet {

class PageRenderer : public QObject {
    Q_OBJECT

  public:
    // Image memory all renderers of the process together may hold before the
    // least recently used image (of any renderer) is dropped.
    static constexpr qint64 defaultCacheByteLimit = 256LL * 1024 * 1024;
    // Pages whose geometry is read per batch delivered to the main thread.
    static constexpr int geometryBatch = 64;
    // A page is never rendered larger than this many pixels; deeper zooms are
    // upscaled from it.
    static constexpr double maxPagePixels = 24.0 * 1000 * 1000;
    // The side of a tile, in pixels.
    static constexpr int tileSize = 512;
    // The tile number of a whole page's image.
    static constexpr int wholePage = -1;

    struct Tile {
        int index;
        QRect pixels;  // in the page's whole image at the tile's scale
    };
    // One image wanted: a page (or one of its tiles) at a pixel scale.
    struct Wanted {
        int page;
        double pixelScale;
        int tile = wholePage;
    };

    explicit PageRenderer(std::shared_ptr<PDFDocument> pdf, QObject* parent = nullptr);
    // Returns at once: a page still being rendered finishes on its own thread
    // and is thrown away.
    ~PageRenderer() override;

    // Waits for the threads of destroyed renderers that are still finishing a
    // page; at the end of the run, before the engine's globals go away.
    static void finishRetiredWorkers();

    // The pages' display sizes in points, read by the view on the main thread
    // (asking the engine here could wait for a render in progress).
    void setPageSizes(PageSizes displaySizes);
    // Reads the geometry of pages [first, first + count) on the rendering
    // thread, between renders; delivered by pageGeometriesRead in batches.
    void scanPageGeometries(int first, int count);

    // The shared budget (tests lower it) and what all renderers hold now.
    static void setCacheByteLimit(qint64 bytes);
    static qint64 cacheByteLimit();
    static qint64 totalCachedBytes();
    qint64 cachedBytes() const { return cacheBytes_; }

    // The pixel scale a page is actually rendered at for the wanted one.
    double effectiveScale(int pageIndex, double pixelScale) const;

    // The page at exactly `pixelScale` (after effectiveScale), null when not
    // cached.
    QImage cachedImage(int pageIndex, double pixelScale);
    // Whether cachedImage would return an image (without counting as a use).
    bool hasImage(int pageIndex, double pixelScale) const;
    // The cached image of the page nearest to `pixelScale`, null when none.
    QImage closestImage(int pageIndex, double pixelScale);

    // Whether the page's whole image at `pixelScale` is reduced
    // (effectiveScale), so that tiles are what shows it sharp.
    bool usesTiles(int pageIndex, double pixelScale) const;
    // The tiles of the page at `pixelScale` that meet `visible` (pixels of
    // the whole page's image at that scale); none unless usesTiles.
    std::vector<Tile> tilesCovering(int pageIndex, double pixelScale, const QRect& visible) const;
    // A tile at exactly `pixelScale`, null when not cached.
    QImage cachedTile(int pageIndex, double pixelScale, int tile);

    // Replaces what is waiting with `pages` at `pixelScale`, most wanted
    // first; pages already cached or being rendered are not asked for again.
    void request(const std::vector<int>& pages, double pixelScale);
    // The same with a pixel scale for each page (thumbnails of mixed sizes).
    void request(const std::vector<std::pair<int, double>>& pagesAndScales);
    // The same for pages and tiles.
    void request(const std::vector<Wanted>& wanted);

    // Forgets every image and the renders waiting or in progress (after the
    // document changed, e.g. was unlocked); a geometry scan goes on.
    void clear();

    // Annotations left out of the page's renders from now on (the file's
    // copies of the items the view draws itself); a change drops the page's
    // images, and a render of it in progress when it arrives.
    void setHiddenAnnotations(int pageIndex, HiddenAnnotations hidden);

    // Pages waiting or being rendered.
    int pendingCount() const;

    struct Key {
        int page;
        std::int64_t scaleKey;  // pixel scale in thousandths
        int tile = wholePage;
        auto operator<=>(const Key&) const = default;
    };
    struct Worker;

  signals:
    void pageRendered(int pageIndex);
    // Pages first, first + 1, ...; a page the engine could not read is absent.
    void pageGeometriesRead(int first, const std::vector<std::optional<PDFPageGeometry>>& geometries);

  private:
    struct Entry {
        QImage image;
        std::uint64_t lastUse;
    };

    // What a render was made with: the renderer's generation and the page's
    // list of left-out annotations.
    struct Made {
        std::uint64_t generation;
        std::uint64_t hidingVersion;
    };

    static Key keyFor(int page, double pixelScale, int tile = wholePage);
    QRect tileRect(int pageIndex, double pixelScale, int tile) const;
    QSize imageSize(int pageIndex, double pixelScale) const;
    void deliver(Key key, QImage image, Made made);
    void deliverGeometries(int first, std::vector<std::optional<PDFPageGeometry>> geometries,
                           std::uint64_t scanGeneration);
    static void evictOverLimit(const PageRenderer* keep);

    // Main thread only.
    PageSizes pageSizes_;  // display sizes, points
    std::map<Key, Entry> cache_;
    qint64 cacheBytes_ = 0;

    std::shared_ptr<Worker> worker_;  // shared with the rendering thread
};

}  // namespace quillet
