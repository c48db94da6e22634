#include "app/document/AnnotationStore.h"

#include <algorithm>

namespace quillet {
namespace {

// A note's contents text as another viewer may have left it: "\r\n" and then
// any remaining "\r" become "\n".
std::string normalizedLineBreaks(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            out.push_back('\n');
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

const std::vector<AnnotationItem>& emptyList() {
    static const std::vector<AnnotationItem> empty;
    return empty;
}

}  // namespace

AnnotationStore::AnnotationStore(int pageCount, std::shared_ptr<PageItemSource> source)
    : pageCount_(std::max(pageCount, 0)), source_(std::move(source)) {}

bool AnnotationStore::loadPage(int page) {
    if (pages_.contains(page)) return true;
    if (!inRange(page)) return false;
    std::optional<std::vector<StoredAnnotation>> stored;
    if (source_) stored = source_->readPage(page);
    if (!stored) {
        unreadablePages_.insert(page);
        readFailure_ = source_ ? source_->failureText() : std::string("no file to read the page from");
        return false;
    }
    unreadablePages_.erase(page);

    std::vector<AnnotationItem> list;
    std::vector<AnnotationKey> keys;
    list.reserve(stored->size());
    for (StoredAnnotation& annotation : *stored) {
        keys.push_back(annotation.key);
        AnnotationItem item = std::move(annotation.item);
        // The same annotation copied to a second place: the copy becomes an
        // item of its own.
        if (pageOfItem_.contains(item.id)) item.id = UUID::random();
        // A note edited in another viewer shows the edited text.
        if (NoteShape* note = item.shape.note(); note && annotation.contents) {
            std::string text = normalizedLineBreaks(*annotation.contents);
            if (text != note->spec.text) note->spec.text = std::move(text);
        }
        addView(item, page);
        list.push_back(std::move(item));
    }
    storedKeys_[page] = std::move(keys);
    storeList(page, std::move(list), false);
    return true;
}

bool AnnotationStore::isPageWritable(int page) {
    return loadPage(page);
}

std::string AnnotationStore::readFailureText() const {
    return readFailure_;
}

void AnnotationStore::setSource(std::shared_ptr<PageItemSource> source) {
    source_ = std::move(source);
    unreadablePages_.clear();
    readFailure_.clear();
}

std::optional<AnnotationStore::LocatedItem> AnnotationStore::locate(const UUID& id) const {
    auto where = pageOfItem_.find(id);
    if (where == pageOfItem_.end()) return std::nullopt;
    auto list = pages_.find(where->second);
    if (list == pages_.end()) return std::nullopt;
    for (size_t i = 0; i < list->second.size(); ++i) {
        if (list->second[i].id == id) return LocatedItem{list->second[i], where->second, static_cast<int>(i)};
    }
    return std::nullopt;
}

std::optional<int> AnnotationStore::pageOf(const UUID& id) const {
    auto where = pageOfItem_.find(id);
    if (where == pageOfItem_.end()) return std::nullopt;
    return where->second;
}

const std::vector<AnnotationItem>& AnnotationStore::itemsOnPage(int page) {
    if (!loadPage(page)) return emptyList();
    return pages_.at(page);
}

std::vector<const ItemAnnotation*> AnnotationStore::annotationsOnPage(int page) {
    std::vector<const ItemAnnotation*> out;
    for (const AnnotationItem& item : itemsOnPage(page)) {
        auto view = views_.find(item.id);
        if (view != views_.end()) out.push_back(&view->second);
    }
    return out;
}

const ItemAnnotation* AnnotationStore::annotation(const UUID& id) const {
    auto view = views_.find(id);
    return view == views_.end() ? nullptr : &view->second;
}

std::vector<AnnotationKey> AnnotationStore::storedAnnotationKeys(int page) const {
    auto keys = storedKeys_.find(page);
    return keys == storedKeys_.end() ? std::vector<AnnotationKey>{} : keys->second;
}

void AnnotationStore::storeList(int page, std::vector<AnnotationItem> list, bool touch) {
    std::lock_guard guard(lock_);
    pages_[page] = std::move(list);
    if (touch) {
        touchedPages_.insert(page);
        ++generation_;
    }
}

void AnnotationStore::addView(const AnnotationItem& item, int page) {
    auto existing = views_.find(item.id);
    // An unchanged item keeps its view and with it the built appearance.
    if (existing == views_.end() || !(existing->second.item() == item)) {
        views_.insert_or_assign(item.id, ItemAnnotation(item, !hidden_.contains(item.id)));
    }
    pageOfItem_[item.id] = page;
}

template <typename Edit>
void AnnotationStore::editList(int page, Edit&& edit) {
    std::lock_guard guard(lock_);
    edit(pages_.at(page));
    touchedPages_.insert(page);
    ++generation_;
}

bool AnnotationStore::insertItem(const StoreChange::Insertion& insertion, std::set<int>& affected) {
    if (!loadPage(insertion.page) || pageOfItem_.contains(insertion.item.id)) return false;
    addView(insertion.item, insertion.page);
    editList(insertion.page, [&](std::vector<AnnotationItem>& list) {
        size_t index = static_cast<size_t>(std::clamp(insertion.index, 0, static_cast<int>(list.size())));
        list.insert(list.begin() + static_cast<std::ptrdiff_t>(index), insertion.item);
    });
    affected.insert(insertion.page);
    return true;
}

bool AnnotationStore::removeItem(const UUID& id, std::set<int>& affected) {
    std::optional<int> page = pageOf(id);
    if (!page) return false;
    views_.erase(id);
    pageOfItem_.erase(id);
    editList(*page, [&](std::vector<AnnotationItem>& list) {
        std::erase_if(list, [&](const AnnotationItem& item) { return item.id == id; });
    });
    affected.insert(*page);
    return true;
}

bool AnnotationStore::replaceItem(const AnnotationItem& item, std::set<int>& affected) {
    std::optional<int> page = pageOf(item.id);
    if (!page) return false;
    const std::vector<AnnotationItem>& list = pages_.at(*page);
    auto position =
        std::find_if(list.begin(), list.end(), [&](const AnnotationItem& i) { return i.id == item.id; });
    if (position == list.end()) return false;
    const auto index = position - list.begin();
    addView(item, *page);
    editList(*page, [&](std::vector<AnnotationItem>& edited) { edited[static_cast<size_t>(index)] = item; });
    affected.insert(*page);
    return true;
}

bool AnnotationStore::applyRecursively(const StoreChange& change, std::set<int>& affected) {
    bool complete = true;
    if (const auto* insert = std::get_if<StoreChange::Insert>(&change.value)) {
        for (const StoreChange::Insertion& insertion : insert->insertions)
            complete &= insertItem(insertion, affected);
    } else if (const auto* remove = std::get_if<StoreChange::Remove>(&change.value)) {
        for (const UUID& id : remove->ids) complete &= removeItem(id, affected);
    } else if (const auto* replace = std::get_if<StoreChange::Replace>(&change.value)) {
        for (const AnnotationItem& item : replace->items) complete &= replaceItem(item, affected);
    } else if (const StoreChange::Batch* batch = change.asBatch()) {
        for (const StoreChange& member : batch->members) complete &= applyRecursively(member, affected);
    }
    return complete;
}

bool AnnotationStore::apply(const StoreChange& change) {
    std::set<int> affected;
    bool complete = applyRecursively(change, affected);
    if (!affected.empty()) notifyChange(affected);
    return complete;
}

bool AnnotationStore::setDraft(std::optional<AnnotationItem> item, int page) {
    if (item) {
        if (!loadPage(page)) return false;
        {
            std::lock_guard guard(lock_);
            if (draft_ && draft_->page == page && draft_->item == *item) return true;
            draft_ = Draft{std::move(*item), page};
            touchedPages_.insert(page);
            ++generation_;
        }
        notifyDraft();
        return true;
    }
    {
        std::lock_guard guard(lock_);
        if (!draft_) return true;
        draft_.reset();
        ++generation_;
    }
    notifyDraft();
    return true;
}

std::optional<AnnotationStore::Draft> AnnotationStore::draft() const {
    std::lock_guard guard(lock_);
    return draft_;
}

void AnnotationStore::replacePages(const std::map<int, std::vector<AnnotationItem>>& replacement) {
    std::set<int> affected;
    for (const auto& [page, items] : replacement) {
        if (!loadPage(page)) continue;
        for (const AnnotationItem& old : pages_.at(page)) {
            views_.erase(old.id);
            pageOfItem_.erase(old.id);
        }
        std::vector<AnnotationItem> list;
        for (const AnnotationItem& item : items) {
            if (pageOfItem_.contains(item.id)) continue;  // lives on another page
            addView(item, page);
            list.push_back(item);
        }
        storeList(page, std::move(list), false);
        affected.insert(page);
    }
    if (affected.empty()) return;
    {
        std::lock_guard guard(lock_);
        touchedPages_.insert(affected.begin(), affected.end());
        ++generation_;
    }
    notifyChange(affected);
}

StoreSnapshot AnnotationStore::snapshot() const {
    std::lock_guard guard(lock_);
    StoreSnapshot result;
    result.generation = generation_;
    for (int page : touchedPages_) {
        auto list = pages_.find(page);
        result.pages[page] = list == pages_.end() ? std::vector<AnnotationItem>{} : list->second;
    }
    if (draft_) {
        std::vector<AnnotationItem>& list = result.pages[draft_->page];
        auto same = std::find_if(list.begin(), list.end(),
                                 [&](const AnnotationItem& i) { return i.id == draft_->item.id; });
        if (same != list.end()) {
            *same = draft_->item;
        } else {
            list.push_back(draft_->item);
        }
    }
    return result;
}

int64_t AnnotationStore::generation() const {
    std::lock_guard guard(lock_);
    return generation_;
}

std::set<int> AnnotationStore::touchedPages() const {
    std::lock_guard guard(lock_);
    return touchedPages_;
}

void AnnotationStore::setHidden(const UUID& id, bool hidden) {
    bool changed = hidden ? hidden_.insert(id).second : hidden_.erase(id) > 0;
    if (!changed) return;
    auto view = views_.find(id);
    if (view != views_.end()) view->second.setDisplayed(!hidden);
    if (std::optional<int> page = pageOf(id)) notifyDisplay({*page});
}

int AnnotationStore::observeChanges(PagesCallback callback) {
    observers_.push_back({nextToken_, ObserverKind::change, std::move(callback), {}});
    return nextToken_++;
}

int AnnotationStore::observeDraft(Callback callback) {
    observers_.push_back({nextToken_, ObserverKind::draft, {}, std::move(callback)});
    return nextToken_++;
}

int AnnotationStore::observeDisplay(PagesCallback callback) {
    observers_.push_back({nextToken_, ObserverKind::display, std::move(callback), {}});
    return nextToken_++;
}

void AnnotationStore::removeObserver(int token) {
    std::erase_if(observers_, [&](const Observer& o) { return o.token == token; });
}

void AnnotationStore::notifyChange(const std::set<int>& pages) {
    if (pages.empty()) return;
    if (onChange_) onChange_(pages);
    // A copy: an observer may remove itself while being called.
    for (const Observer& o : std::vector<Observer>(observers_)) {
        if (o.kind == ObserverKind::change) o.pages(pages);
    }
}

void AnnotationStore::notifyDraft() {
    if (onDraftChange_) onDraftChange_();
    for (const Observer& o : std::vector<Observer>(observers_)) {
        if (o.kind == ObserverKind::draft) o.plain();
    }
}

void AnnotationStore::notifyDisplay(const std::set<int>& pages) {
    for (const Observer& o : std::vector<Observer>(observers_)) {
        if (o.kind == ObserverKind::display) o.pages(pages);
    }
}

}  // namespace quillet
