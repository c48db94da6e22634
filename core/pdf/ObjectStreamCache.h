// Decoded object streams (/Type /ObjStm) and the bounded cache that keeps
// them: many small objects share one compressed stream, so a stream is
// decoded once and kept until the cache's byte budget pushes it out, least
// recently used first.
#pragma once

#include <algorithm>
#include <cstdint>
#include <list>
#include <unordered_map>
#include <utility>
#include <vector>

#include "core/pdf/PDFValue.h"

namespace quillet {

struct ObjectStreamContents {
    // Objects listed by one stream's header.
    static constexpr int64_t kMaxObjects = 1'000'000;

    Bytes data;         // the decoded stream data
    int64_t first = 0;  // /First: where the first object starts in data
    std::vector<std::pair<int64_t, int64_t>> offsets;  // (object number, offset after first), header order

    // Reads /N, /First and the header pairs of stream number `stream`.
    // Throws PDFReaderError badObject "object stream S header".
    static ObjectStreamContents parse(int64_t stream, const PDFDictionary& dict, Bytes data);

    // Where object num starts in data: the pair at `index` when it names
    // num, else the first pair that does. Absent when none does or the
    // position falls outside the data.
    std::optional<int64_t> position(int64_t num, int64_t index) const;
};

class ObjectStreamCache {
public:
    static constexpr int64_t kDefaultByteLimit = 134'217'728;  // 128 MiB of decoded data
    // What the budget may be raised to for files whose pages alternate
    // between large streams.
    static constexpr int64_t kMaxByteLimit = 2 * kDefaultByteLimit;

    explicit ObjectStreamCache(int64_t byteLimit = kDefaultByteLimit) : byteLimit_(byteLimit) {}

    // The cached stream, now the most recently used; nullptr when not cached.
    const ObjectStreamContents* touch(int64_t stream);
    // Evicts least recently used streams until the new one fits (a stream
    // larger than the whole budget is still kept, alone), then stores it as
    // the most recent. The reference stays valid until the next insert.
    const ObjectStreamContents& insert(int64_t stream, ObjectStreamContents contents);

    void raiseByteLimit(int64_t byteLimit) { byteLimit_ = std::max(byteLimit_, byteLimit); }
    int64_t byteLimit() const { return byteLimit_; }

    bool contains(int64_t stream) const { return streams_.count(stream) != 0; }
    // Sum of the cached data lengths.
    int64_t bytes() const { return bytes_; }
    // Cached stream numbers, least recently used first.
    std::vector<int64_t> order() const { return {order_.begin(), order_.end()}; }

private:
    struct Slot {
        ObjectStreamContents contents;
        std::list<int64_t>::iterator place;
    };
    void evict(int64_t stream);

    int64_t byteLimit_;
    int64_t bytes_ = 0;
    std::list<int64_t> order_;
    std::unordered_map<int64_t, Slot> streams_;
};

}  // namespace quillet
