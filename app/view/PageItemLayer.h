// The store's items as a layer over the pages: painted over each page in
// drawing order from maps composed for the pages on screen (a repaint of
// unchanged items draws the kept maps), and the file's own copies of them
// left out of the page images, so that a moved or deleted item never shows
// twice. The store is not owned: detach before it goes away.
#pragma once

#include <QRectF>
#include <QTransform>
#include <functional>
#include <map>
#include <set>
#include <vector>

#include "app/document/PageItemSource.h"
#include "app/platform/PDFDocument.h"
#include "app/view/ItemPainter.h"

class QPainter;

namespace quillet {

class AnnotationStore;

class PageItemLayer {
  public:
    PageItemLayer() = default;
    PageItemLayer(const PageItemLayer&) = delete;
    PageItemLayer& operator=(const PageItemLayer&) = delete;
    // Leaves its observers in place: the store may be gone by then, and
    // they hold the view weakly.
    ~PageItemLayer() = default;

    // Observes the store's changes and display; onChange gets the pages
    // whose items to repaint.
    void attach(AnnotationStore* store, std::function<void(const std::set<int>&)> onChange);
    void detach();
    AnnotationStore* store() const { return store_; }

    // The page's kept map no longer matches its items.
    void markChanged(int pageIndex);
    // Drops the maps of pages for which `shown` is false.
    void keepOnly(const std::function<bool(int pageIndex)>& shown);
    // The page's items through `toView`, composed anew only when changed;
    // `visible` (page space) bounds what is composed.
    void paint(QPainter& painter, int pageIndex, const QTransform& toView, const QRectF& visible);

    // What the page's image leaves out: the file's copies of its items, known
    // once the page is loaded (loaded here first, so an image is never made
    // before its copies are known).
    HiddenAnnotations hiddenCopies(int pageIndex);
    static HiddenAnnotations hiddenAnnotations(const std::vector<AnnotationKey>& storedCopies);

  private:
    AnnotationStore* store_ = nullptr;
    std::vector<int> observers_;
    std::map<int, ItemPainter::PageItemLayers> composed_;
};

}  // namespace quillet
