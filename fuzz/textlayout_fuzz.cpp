// Lays out arbitrary bytes as markup text at a size and width taken from the
// first two bytes. Any text must give a finite box; a crash, hang or
// sanitizer report is a fault.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/markup/TextLayout.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    quillet::TextSpec spec;
    spec.fontSize = 1 + data[0] % 64;
    if (data[1] & 1) spec.fixedWidth = (data[1] >> 1) * 2.0;
    spec.boxed = data[1] & 2;
    spec.text.assign(reinterpret_cast<const char*>(data) + 2, size - 2);
    const quillet::TextLayoutResult r = quillet::TextLayout::layoutUncached(spec);
    if (!std::isfinite(r.boxSize.width) || !std::isfinite(r.boxSize.height) || r.boxSize.width <= 0 ||
        r.boxSize.height <= 0)
        __builtin_trap();
    return 0;
}
