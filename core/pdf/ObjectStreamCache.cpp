#include "core/pdf/ObjectStreamCache.h"

#include <string>

#include "core/pdf/PDFLexer.h"
#include "core/pdf/PDFReaderError.h"

namespace quillet {

ObjectStreamContents ObjectStreamContents::parse(int64_t stream, const PDFDictionary& dict, Bytes data) {
    auto count = dict.get("N").value_or(PDFValue()).intValue();
    auto first = dict.get("First").value_or(PDFValue()).intValue();
    const auto length = static_cast<int64_t>(data.size());
    if (!count || !first || *count < 0 || *count > kMaxObjects || *first < 0 || *first > length)
        throw PDFReaderError::badObject("object stream " + std::to_string(stream) + " header");

    ObjectStreamContents contents;
    contents.first = *first;
    // The header is only the bytes before /First; the objects follow it.
    PDFLexer lexer(std::string_view(data).substr(0, static_cast<size_t>(*first)));
    for (int64_t pair = 0; pair < *count; ++pair) {
        std::optional<int64_t> num = lexer.readInt();
        std::optional<int64_t> offset = num ? lexer.readInt() : std::nullopt;
        if (!offset) break;
        if (*num < 0 || *offset < 0 || *offset >= length) continue;
        contents.offsets.emplace_back(*num, *offset);
    }
    contents.data = std::move(data);
    return contents;
}

std::optional<int64_t> ObjectStreamContents::position(int64_t num, int64_t index) const {
    const std::pair<int64_t, int64_t>* found = nullptr;
    if (index >= 0 && index < static_cast<int64_t>(offsets.size()) && offsets[static_cast<size_t>(index)].first == num)
        found = &offsets[static_cast<size_t>(index)];
    for (size_t k = 0; !found && k < offsets.size(); ++k)
        if (offsets[k].first == num) found = &offsets[k];
    if (!found) return std::nullopt;
    int64_t pos = first + found->second;
    if (pos < 0 || pos >= static_cast<int64_t>(data.size())) return std::nullopt;
    return pos;
}

const ObjectStreamContents* ObjectStreamCache::touch(int64_t stream) {
    auto it = streams_.find(stream);
    if (it == streams_.end()) return nullptr;
    order_.splice(order_.end(), order_, it->second.place);
    return &it->second.contents;
}

void ObjectStreamCache::evict(int64_t stream) {
    auto it = streams_.find(stream);
    if (it == streams_.end()) return;
    bytes_ -= static_cast<int64_t>(it->second.contents.data.size());
    order_.erase(it->second.place);
    streams_.erase(it);
}

const ObjectStreamContents& ObjectStreamCache::insert(int64_t stream, ObjectStreamContents contents) {
    evict(stream);
    const auto length = static_cast<int64_t>(contents.data.size());
    while (!order_.empty() && bytes_ + length > byteLimit_) evict(order_.front());
    order_.push_back(stream);
    Slot& slot = streams_[stream];
    slot.contents = std::move(contents);
    slot.place = std::prev(order_.end());
    bytes_ += length;
    return slot.contents;
}

}  // namespace quillet
