#include "core/pdf/ReaderWarnings.h"

namespace quillet {

void ReaderWarnings::add(std::string text) {
    if (seen_.count(text)) return;
    if (seen_.size() < kMaxRemembered) seen_.insert(text);
    if (list_.size() < kMaxReaderWarnings) {
        list_.push_back(std::move(text));
        return;
    }
    ++more_;
    std::string note = std::to_string(more_) + " more";
    if (more_ == 1)
        list_.push_back(std::move(note));
    else
        list_.back() = std::move(note);
}

}  // namespace quillet
