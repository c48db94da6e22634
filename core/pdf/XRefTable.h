// The object table of an opened PDF file: where each object number lives.
// One 64-bit word per slot so that files with millions of objects stay
// cheap: the kind in the top two bits, then 40 bits of file offset or
// object-stream number, then 22 bits of generation or index.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace quillet {

struct XRefEntry {
    // free: a section marks the number deleted, which hides every older
    // definition of it.
    enum class Kind : uint8_t { none = 0, inFile = 1, inObjectStream = 2, free = 3 };

    Kind kind = Kind::none;
    // File offset (inFile) or number of the containing object stream.
    int64_t location = 0;
    // Generation (inFile) or index within the object stream.
    int64_t index = 0;

    static XRefEntry inFile(int64_t offset, int64_t gen) { return {Kind::inFile, offset, gen}; }
    static XRefEntry inObjectStream(int64_t stream, int64_t index) {
        return {Kind::inObjectStream, stream, index};
    }
    static XRefEntry deleted() { return {Kind::free, 0, 0}; }
    bool operator==(const XRefEntry&) const = default;
};

class XRefTable {
  public:
    // Object numbers are below this; the table never grows past it.
    static constexpr int64_t kMaxObjects = 10'000'000;
    static constexpr int64_t kLocationLimit = int64_t{1} << 40;
    static constexpr int64_t kIndexLimit = int64_t{1} << 22;
    static constexpr int64_t kMaxGeneration = 65535;

    // Number of slots: the highest number stored plus one.
    int64_t size() const { return static_cast<int64_t>(slots_.size()); }
    // The entry for num; kind none outside the table.
    XRefEntry entry(int64_t num) const;
    bool isEmpty(int64_t num) const { return entry(num).kind == XRefEntry::Kind::none; }

    // Stores the entry unless the slot is already filled (sections are read
    // newest first, so the first definition stored is the one that counts).
    // Entries outside the packable ranges, or with kind none, are dropped.
    // Returns whether it was stored.
    bool store(int64_t num, XRefEntry e);

    // Makes room for slots 0..slots-1 in one allocation (capped at the
    // object limit), so a section that announces its extent costs exactly
    // its slots instead of a doubling tail.
    void reserve(int64_t slots);

    // Bytes held by the slots (for memory accounting in tests and benchmarks).
    size_t memoryBytes() const { return slots_.capacity() * sizeof(uint64_t); }

  private:
    std::vector<uint64_t> slots_;
};

}  // namespace quillet
