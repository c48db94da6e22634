// The markup items of one open document: one list per page in drawing order
// (later items draw above earlier ones), read lazily from the file the first
// time a page is needed, and the only way the editor changes them. It keeps
// one ItemAnnotation per item for drawing, records which pages were touched,
// counts generations so the document can tell saved from unsaved state, holds
// the draft (the item being drawn or edited right now) and hands out
// consistent snapshots for saving and the recovery journal.
//
// A page whose items cannot be read (a locked file, a file or page the core
// reader refuses) is never taken as empty: it stays unloaded, every change to
// it is refused, and the store reports itself read-only, so that no save can
// drop the markup the file already holds there.
//
// Everything but snapshot(), generation() and touchedPages() runs on the main
// thread; those three may be called from any thread. Callbacks run on the
// calling thread after the lock is released. No Qt here: the store is tested
// under ThreadSanitizer without the application.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "app/document/ItemAnnotation.h"
#include "app/document/PageItemSource.h"
#include "app/document/StoreChange.h"
#include "app/document/StoreSnapshot.h"
#include "core/markup/AnnotationItem.h"
#include "core/markup/UUID.h"

namespace quillet {

class AnnotationStore {
  public:
    using PagesCallback = std::function<void(const std::set<int>& pages)>;
    using Callback = std::function<void()>;

    struct LocatedItem {
        AnnotationItem item;
        int page = 0;
        int index = 0;  // in the page's list

        bool operator==(const LocatedItem&) const = default;
    };

    struct Draft {
        AnnotationItem item;
        int page = 0;

        bool operator==(const Draft&) const = default;
    };

    // pageCount: the document's pages; indices outside 0..pageCount-1 hold
    // nothing and load nothing.
    AnnotationStore(int pageCount, std::shared_ptr<PageItemSource> source);
    AnnotationStore(const AnnotationStore&) = delete;
    AnnotationStore& operator=(const AnnotationStore&) = delete;

    int pageCount() const { return pageCount_; }

    // Makes sure the page's items are loaded; once per page. False when the
    // page is out of range or could not be read (the page then counts as
    // unreadable until setSource is given a source that reads it).
    bool loadPage(int page);
    bool isPageLoaded(int page) const { return pages_.contains(page); }
    // Whether changes to the page are accepted: in range and loaded or
    // loadable. Loads the page.
    bool isPageWritable(int page);
    // True once any page could not be read: markup must not be edited or saved.
    bool isReadOnly() const { return !unreadablePages_.empty(); }
    const std::set<int>& unreadablePages() const { return unreadablePages_; }
    // Why reading failed last, for the status line.
    std::string readFailureText() const;
    // A new source (after the file was unlocked): pages that could not be
    // read are tried again when next needed; loaded pages stay as they are.
    void setSource(std::shared_ptr<PageItemSource> source);

    std::optional<LocatedItem> locate(const UUID& id) const;
    std::optional<int> pageOf(const UUID& id) const;
    // The page's items in drawing order; loads the page. Empty for a page
    // that cannot be read.
    const std::vector<AnnotationItem>& itemsOnPage(int page);
    // The drawing objects of the page's items, in drawing order; loads the page.
    std::vector<const ItemAnnotation*> annotationsOnPage(int page);
    const ItemAnnotation* annotation(const UUID& id) const;
    // The file's own copies of the page's items (as loaded), which the page
    // renderer leaves out so that only the store's items are drawn.
    std::vector<AnnotationKey> storedAnnotationKeys(int page) const;

    // Applies a change; calls the change observers once with every page it
    // affected, when there is one. Parts that name a page that cannot be
    // read, an identifier the store does not hold, or (for an insertion) one
    // it already holds are skipped; false when anything was skipped.
    bool apply(const StoreChange& change);
    // Sets (with an item) or clears the draft. Setting an equal draft again
    // changes nothing. Refused (false) for a page that cannot be read.
    bool setDraft(std::optional<AnnotationItem> item, int page);
    std::optional<Draft> draft() const;
    // Replaces the whole list of each given page (pages out of range or
    // unreadable are skipped), skipping items whose identifier lives on
    // another page; then calls the change observers with the pages.
    void replacePages(const std::map<int, std::vector<AnnotationItem>>& pages);

    // Any thread. Every touched page's list (the draft put in its place or
    // appended) and the generation, taken at one moment.
    StoreSnapshot snapshot() const;
    int64_t generation() const;
    std::set<int> touchedPages() const;

    // Hidden items stay in the store but are not drawn; the display
    // observers hear of the page.
    void setHidden(const UUID& id, bool hidden);
    bool isHidden(const UUID& id) const { return hidden_.contains(id); }

    // The owner's callbacks (the document): onChange with the pages a change
    // touched, onDraftChange when the draft changed.
    void setOnChange(PagesCallback callback) { onChange_ = std::move(callback); }
    void setOnDraftChange(Callback callback) { onDraftChange_ = std::move(callback); }
    // Further observers (views); each call returns a token for removeObserver.
    int observeChanges(PagesCallback callback);
    int observeDraft(Callback callback);
    // Pages whose drawing changed without a change of items (hidden items).
    int observeDisplay(PagesCallback callback);
    void removeObserver(int token);

  private:
    enum class ObserverKind { change, draft, display };
    struct Observer {
        int token;
        ObserverKind kind;
        PagesCallback pages;
        Callback plain;
    };

    bool inRange(int page) const { return page >= 0 && page < pageCount_; }
    void storeList(int page, std::vector<AnnotationItem> list, bool touch);
    // Changes a loaded page's list where it is, under the lock: a change to
    // one item never copies the page's other items.
    template <typename Edit>
    void editList(int page, Edit&& edit);
    bool insertItem(const StoreChange::Insertion& insertion, std::set<int>& affected);
    bool removeItem(const UUID& id, std::set<int>& affected);
    bool replaceItem(const AnnotationItem& item, std::set<int>& affected);
    bool applyRecursively(const StoreChange& change, std::set<int>& affected);
    void addView(const AnnotationItem& item, int page);
    void notifyChange(const std::set<int>& pages);
    void notifyDraft();
    void notifyDisplay(const std::set<int>& pages);

    int pageCount_;
    std::shared_ptr<PageItemSource> source_;
    // Written under lock_ on the main thread; read there without it.
    std::map<int, std::vector<AnnotationItem>> pages_;
    std::unordered_map<UUID, ItemAnnotation> views_;
    std::unordered_map<UUID, int> pageOfItem_;
    std::map<int, std::vector<AnnotationKey>> storedKeys_;
    std::set<UUID> hidden_;
    std::set<int> unreadablePages_;
    std::string readFailure_;

    mutable std::mutex lock_;  // guards pages_, touchedPages_, generation_, draft_
    std::set<int> touchedPages_;
    int64_t generation_ = 0;
    std::optional<Draft> draft_;

    PagesCallback onChange_;
    Callback onDraftChange_;
    std::vector<Observer> observers_;
    int nextToken_ = 1;
};

}  // namespace quillet
