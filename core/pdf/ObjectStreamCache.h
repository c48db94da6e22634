// Decoded object streams (/Type /ObjStm) and the bounded cache that keeps
// them: many small objects share one compressed stream, so a stream is
// decoded once and kept until the cache's byte budget pushes it out, least
// recently used first.
#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "core/pdf/LruCache.h"
#include "core/pdf/PDFValue.h"

namespace quillet {

struct ObjectStreamContents {
    // Objects listed by one stream's header.
    static constexpr int64_t kMaxObjects = 1'000'000;

    // (object number, offset after first), header order.
    using Offsets = std::vector<std::pair<int64_t, int64_t>>;

    Bytes data;         // the decoded stream data
    int64_t first = 0;  // /First: where the first object starts in data
    Offsets offsets;
    bool compact = false;  // data holds the objects only (see compacted)

    // Reads /N, /First and the header pairs of stream number `stream`.
    // Throws PDFReaderError badObject "object stream S header".
    static ObjectStreamContents parse(int64_t stream, const PDFDictionary& dict, Bytes data);

    // Where object num starts in data: the pair at `index` when it names
    // num, else the first pair that does. Absent when none does or the
    // position falls outside the data.
    std::optional<int64_t> position(int64_t num, int64_t index) const;

    // The same objects with only their own bytes: whatever lies between
    // them (a stream may pad its objects with megabytes of blanks) is
    // dropped, so that the cache holds what the objects need. Each object
    // reads back exactly as before: its bytes are what parsing it consumed,
    // and a ")" after each stops a parse from reading on into the next.
    // Absent when an object does not parse (it keeps failing from the data).
    std::optional<ObjectStreamContents> compacted() const;
};

class ObjectStreamCache {
  public:
    static constexpr int64_t kDefaultByteLimit = 134'217'728;  // 128 MiB of decoded data
    // What the budget may be raised to for files whose pages alternate
    // between large streams.
    static constexpr int64_t kMaxByteLimit = 2 * kDefaultByteLimit;
    // The headers of streams pushed out, kept so that reloading one only
    // inflates it again: 16 bytes per object.
    static constexpr size_t kHeaderByteLimit = size_t{16} << 20;

    explicit ObjectStreamCache(int64_t byteLimit = kDefaultByteLimit);
    // Eviction keeps headers in this object: it stays where it was made.
    ObjectStreamCache(const ObjectStreamCache&) = delete;
    ObjectStreamCache& operator=(const ObjectStreamCache&) = delete;

    // The cached stream, now the most recently used; nullptr when not cached.
    const ObjectStreamContents* touch(int64_t stream) { return streams_.find(stream); }
    // Evicts least recently used streams until the new one fits (a stream
    // larger than the whole budget is still kept, alone), then stores it as
    // the most recent. The reference stays valid until the next insert.
    const ObjectStreamContents& insert(int64_t stream, ObjectStreamContents contents);
    // The header (data empty) of a stream that was cached and pushed out;
    // nullptr when none is known. Valid until the next insert.
    const ObjectStreamContents* evictedHeader(int64_t stream) { return headers_.find(stream); }

    // Forgets every stream and header, and the budget is the default again.
    void clear() {
        streams_.clear();
        headers_.clear();
        streams_.setCapacity(static_cast<size_t>(kDefaultByteLimit));
    }

    void raiseByteLimit(int64_t byteLimit) {
        streams_.setCapacity(static_cast<size_t>(std::max(this->byteLimit(), byteLimit)));
    }
    int64_t byteLimit() const { return static_cast<int64_t>(streams_.capacity()); }

    bool contains(int64_t stream) const { return streams_.contains(stream); }
    // Sum of the cached data lengths.
    int64_t bytes() const { return static_cast<int64_t>(streams_.cost()); }
    // Cached stream numbers, least recently used first.
    std::vector<int64_t> order() const { return streams_.order(); }

  private:
    LruCache<int64_t, ObjectStreamContents> streams_;
    // first and offsets only, data empty.
    LruCache<int64_t, ObjectStreamContents> headers_;
};

}  // namespace quillet
