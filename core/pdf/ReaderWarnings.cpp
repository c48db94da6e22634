#include "core/pdf/ReaderWarnings.h"

namespace quillet {

void ReaderWarnings::add(ReaderWarning warning) {
    if (seen_.count(warning.text)) return;
    if (seen_.size() < kMaxRemembered) seen_.insert(warning.text);
    if (noted_.size() < kMaxReaderWarnings) {
        if (sink_) sink_(warning);
        noted_.push_back(std::move(warning));
        return;
    }
    ++more_;
}

void ReaderWarnings::setSink(ReaderWarningSink sink) {
    sink_ = std::move(sink);
    if (!sink_) return;
    for (const ReaderWarning& warning : noted_) sink_(warning);
}

std::vector<std::string> ReaderWarnings::list() const {
    std::vector<std::string> texts;
    texts.reserve(noted_.size() + 1);
    for (const ReaderWarning& warning : noted_) texts.push_back(warning.text);
    if (more_ > 0) texts.push_back(std::to_string(more_) + " more");
    return texts;
}

}  // namespace quillet
