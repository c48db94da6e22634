// Decodes arbitrary text as an item payload, and the same bytes as the JSON
// inside a payload (a random payload rarely gets past Base64 and zlib).
// Whatever decodes must survive a second encode and decode unchanged: the
// incremental writer compares payloads byte for byte.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/markup/CompactJSON.h"
#include "core/markup/ItemCodec.h"

namespace {

void checkStable(const quillet::AnnotationItem& item) {
    std::string payload = quillet::ItemCodec::encode(item);
    auto again = quillet::ItemCodec::decode(payload);
    if (!again) __builtin_trap();
    if (quillet::ItemCodec::encode(*again) != payload) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    if (auto item = quillet::ItemCodec::decode(text)) checkStable(*item);
    if (auto json = quillet::CompactJSON::parse(text)) {
        if (auto item = quillet::ItemCodec::fromJSON(*json)) checkStable(*item);
    }
    return 0;
}
