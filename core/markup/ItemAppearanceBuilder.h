// Decides what an item looks like: turns an item into drawing commands, and
// those commands into the PDF Form XObject that serves as the annotation's
// normal appearance. What the user sees while editing is what every PDF
// viewer shows later.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

#include "core/markup/AnnotationItem.h"
#include "core/markup/ItemAppearance.h"
#include "core/pdf/Geometry.h"
#include "core/pdf/PDFValue.h"

namespace quillet {

class ItemAppearanceBuilder {
  public:
    // Entries per payload cache (one for expanded notes, one for collapsed).
    static constexpr size_t cacheCapacity = 2048;
    // Compression level of appearance streams.
    static constexpr int compressionLevel = 6;

    struct FormXObject {
        PDFDictionary dict;  // without /Length: the writer adds it
        Bytes data;          // compressed when /Filter is present

        bool operator==(const FormXObject&) const = default;
    };

    // A pure function of the item. `expanded` matters for notes only: true
    // draws the bubble and its connector besides the icon.
    static ItemAppearance build(const AnnotationItem& item, bool expanded);

    // Decodes the payload and builds; absent when the payload does not
    // decode. Memoized per payload text; callable from any thread.
    static std::optional<ItemAppearance> appearance(std::string_view payload, bool expanded);

    // For a note, only its open bubble: connector, bubble and text, without
    // the icon; absent for every other item.
    static std::optional<ItemAppearance> bubbleAppearance(const AnnotationItem& item);

    // The uncompressed content stream of the commands.
    static Bytes contentStream(const ItemAppearance& appearance);

    // The appearance as a Form XObject. The drawing stays in page
    // coordinates (identity Matrix); bbox replaces the appearance's bounds
    // as /BBox where the annotation's Rect is wider than the bounds, since
    // viewers map BBox onto Rect.
    static FormXObject formXObject(const ItemAppearance& appearance, std::optional<Rect> bbox = std::nullopt);

    // How many results a payload cache holds now (at most cacheCapacity).
    static size_t cachedEntryCount(bool expanded);
};

}  // namespace quillet
