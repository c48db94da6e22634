// The repairs a reader made to read a damaged file, as short texts naming an
// offset or object number. Bounded: past kMaxReaderWarnings the last line
// only counts the rest. A repair made again (an object read twice) is noted
// once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_set>
#include <vector>

namespace quillet {

inline constexpr size_t kMaxReaderWarnings = 100;

class ReaderWarnings {
  public:
    void add(std::string text);
    const std::vector<std::string>& list() const { return list_; }
    bool empty() const { return list_.empty(); }

  private:
    // Texts already noted; bounded like the list, beyond which repeats are
    // counted as more.
    static constexpr size_t kMaxRemembered = 16 * kMaxReaderWarnings;

    std::vector<std::string> list_;
    std::unordered_set<std::string> seen_;
    int64_t more_ = 0;
};

}  // namespace quillet
