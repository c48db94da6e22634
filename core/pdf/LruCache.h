// A bounded cache that forgets the least recently used values first. Each
// value has a cost (1 unless a cost function says otherwise, e.g. its size
// in bytes) and the cache holds at most `capacity` in total; a value costlier
// than the whole capacity is still kept, alone, until the next insert. Not
// thread-safe: shared caches hold it under their own lock.
#pragma once

#include <cstddef>
#include <functional>
#include <iterator>
#include <list>
#include <unordered_map>
#include <utility>
#include <vector>

namespace quillet {

template <typename Key, typename Value, typename Hash = std::hash<Key>>
class LruCache {
  public:
    using Cost = std::function<size_t(const Value&)>;
    // Told of every value pushed out to make room (not of replaced or erased
    // ones), so that an owner can keep what it wants of it.
    using Evicted = std::function<void(const Key&, Value&&)>;

    explicit LruCache(size_t capacity, Cost cost = {}, Evicted evicted = {})
        : capacity_(capacity), cost_(std::move(cost)), evicted_(std::move(evicted)) {}

    // The value, now the most recently used; nullptr when absent. Valid
    // until the next insert or erase.
    Value* find(const Key& key) {
        auto it = slots_.find(key);
        if (it == slots_.end()) return nullptr;
        order_.splice(order_.end(), order_, it->second.place);
        return &it->second.value;
    }
    bool contains(const Key& key) const { return slots_.count(key) != 0; }

    // Stores the value (replacing one of the same key) as the most recently
    // used, after pushing out the least recently used ones until it fits.
    // The reference is valid until the next insert or erase.
    Value& insert(const Key& key, Value value) {
        erase(key);
        const size_t cost = costOf(value);
        while (!order_.empty() && total_ + cost > capacity_) evictOldest();
        auto it = slots_.try_emplace(key, Slot{std::move(value), {}, cost}).first;
        order_.push_back(&it->first);
        it->second.place = std::prev(order_.end());
        total_ += cost;
        return it->second.value;
    }

    void erase(const Key& key) {
        auto it = slots_.find(key);
        if (it == slots_.end()) return;
        total_ -= it->second.cost;
        order_.erase(it->second.place);
        slots_.erase(it);
    }

    void clear() {
        slots_.clear();
        order_.clear();
        total_ = 0;
    }

    // A lower capacity takes effect at the next insert.
    void setCapacity(size_t capacity) { capacity_ = capacity; }
    size_t capacity() const { return capacity_; }
    // The summed cost of the values held.
    size_t cost() const { return total_; }
    size_t size() const { return slots_.size(); }
    // The keys, least recently used first.
    std::vector<Key> order() const {
        std::vector<Key> keys;
        keys.reserve(order_.size());
        for (const Key* key : order_) keys.push_back(*key);
        return keys;
    }

  private:
    struct Slot {
        Value value;
        typename std::list<const Key*>::iterator place;
        size_t cost;
    };

    size_t costOf(const Value& value) const { return cost_ ? cost_(value) : 1; }

    void evictOldest() {
        auto it = slots_.find(*order_.front());
        order_.pop_front();
        total_ -= it->second.cost;
        if (!evicted_) {
            slots_.erase(it);
            return;
        }
        auto node = slots_.extract(it);
        evicted_(node.key(), std::move(node.mapped().value));
    }

    size_t capacity_;
    Cost cost_;
    Evicted evicted_;
    size_t total_ = 0;
    // Least recently used first; the keys live in slots_, whose nodes stay put.
    std::list<const Key*> order_;
    std::unordered_map<Key, Slot, Hash> slots_;
};

}  // namespace quillet
