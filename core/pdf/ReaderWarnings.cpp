#include "core/pdf/ReaderWarnings.h"

namespace quillet {

void ReaderWarnings::add(ReaderWarning warning) {
    if (seen_.count(warning.text)) return;
    if (seen_.size() < kMaxRemembered) seen_.insert(warning.text);
    if (list_.size() < kMaxReaderWarnings) {
        list_.push_back(warning.text);
        if (sink_) sink_(warning);
        noted_.push_back(std::move(warning));
        return;
    }
    ++more_;
    std::string note = std::to_string(more_) + " more";
    if (more_ == 1)
        list_.push_back(std::move(note));
    else
        list_.back() = std::move(note);
}

void ReaderWarnings::setSink(ReaderWarningSink sink) {
    sink_ = std::move(sink);
    if (!sink_) return;
    for (const ReaderWarning& warning : noted_) sink_(warning);
}

}  // namespace quillet
