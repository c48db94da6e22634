#include "core/pdf/ObjectStreamCache.h"

#include <map>
#include <string>

#include "core/pdf/PDFLexer.h"
#include "core/pdf/PDFParseError.h"
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
    if (index >= 0 && index < static_cast<int64_t>(offsets.size()) &&
        offsets[static_cast<size_t>(index)].first == num)
        found = &offsets[static_cast<size_t>(index)];
    for (size_t k = 0; !found && k < offsets.size(); ++k)
        if (offsets[k].first == num) found = &offsets[k];
    if (!found) return std::nullopt;
    int64_t pos = first + found->second;
    if (pos < 0 || pos >= static_cast<int64_t>(data.size())) return std::nullopt;
    return pos;
}

std::optional<ObjectStreamContents> ObjectStreamContents::compacted() const {
    ObjectStreamContents out;
    out.compact = true;
    out.offsets.reserve(offsets.size());
    std::map<int64_t, int64_t> moved;  // old offset -> new offset, each object copied once
    for (const auto& [num, offset] : offsets) {
        auto [it, added] = moved.try_emplace(offset, static_cast<int64_t>(out.data.size()));
        if (added) {
            const int64_t start = first + offset;
            if (start >= static_cast<int64_t>(data.size())) return std::nullopt;
            PDFLexer lexer(data, start);
            try {
                lexer.parseValue(0);
            } catch (const PDFParseError&) {
                return std::nullopt;
            }
            out.data.append(data, static_cast<size_t>(start), static_cast<size_t>(lexer.pos - start));
            out.data += ')';
        }
        out.offsets.emplace_back(num, it->second);
    }
    return out;
}

ObjectStreamCache::ObjectStreamCache(int64_t byteLimit)
    : streams_(
          static_cast<size_t>(byteLimit),
          [](const ObjectStreamContents& contents) { return contents.data.size(); },
          [this](const int64_t& stream, ObjectStreamContents&& contents) {
              // A compacted header fits only the compacted data.
              if (contents.compact) return;
              contents.data = Bytes();
              headers_.insert(stream, std::move(contents));
          }),
      headers_(kHeaderByteLimit,
               [](const ObjectStreamContents& contents) { return 16 * contents.offsets.size(); }) {}

const ObjectStreamContents& ObjectStreamCache::insert(int64_t stream, ObjectStreamContents contents) {
    headers_.erase(stream);
    return streams_.insert(stream, std::move(contents));
}

}  // namespace quillet
