// The repairs a reader made to read a damaged file, each naming an offset or
// object number. Bounded: past kMaxReaderWarnings the last line only counts
// the rest. A repair made again (an object read twice) is noted once. A sink
// set on it receives each warning as it is noted, so repairs made by reads
// long after the open reach the log too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <unordered_set>
#include <vector>

namespace quillet {

inline constexpr size_t kMaxReaderWarnings = 100;

struct ReaderWarning {
    enum class Kind {
        structure,  // cross-reference data, streams, the page tree
        pageBox,    // a page's box or rotation could not be read and fell back
        item,       // an annotation could not be read and is left alone as foreign
    };
    Kind kind = Kind::structure;
    std::string text;
    int64_t object = 0;  // the object it concerns, 0 when it names none

    bool operator==(const ReaderWarning&) const = default;
};

using ReaderWarningSink = std::function<void(const ReaderWarning&)>;

class ReaderWarnings {
  public:
    void add(std::string text) { add(ReaderWarning{ReaderWarning::Kind::structure, std::move(text)}); }
    void add(ReaderWarning warning);
    // From now on each warning noted also goes to sink, once; those noted
    // before go to it at once. Repeats and warnings past the bound do not.
    void setSink(ReaderWarningSink sink);

    // The texts as noted, then "N more" for those past the bound.
    std::vector<std::string> list() const;
    bool empty() const { return noted_.empty(); }

  private:
    // Texts already noted; bounded like the list, beyond which repeats are
    // counted as more.
    static constexpr size_t kMaxRemembered = 16 * kMaxReaderWarnings;

    std::vector<ReaderWarning> noted_;  // at most kMaxReaderWarnings
    std::unordered_set<std::string> seen_;
    int64_t more_ = 0;
    ReaderWarningSink sink_;
};

}  // namespace quillet
