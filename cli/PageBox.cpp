#include "cli/PageBox.h"

#include <cmath>
#include <optional>
#include <string_view>

#include "core/markup/AnnotationItem.h"

namespace quillet::cli {
namespace {

// The value of an inheritable key: the page's own, else its nearest
// ancestor's. Unreadable nodes end the search as if the key were absent.
std::optional<PDFValue> inherited(PDFFileReader& reader, const PDFRef& page, std::string_view key) {
    PDFValue node = PDFValue::ref(page.num, page.gen);
    for (int hop = 0; hop <= kMaxParentHops; ++hop) {
        PDFValue resolved;
        try {
            resolved = reader.resolve(node);
        } catch (const std::exception&) {
            return std::nullopt;
        }
        const PDFDictionary* dict = resolved.dictValue();
        if (!dict) return std::nullopt;
        if (const PDFValue* value = dict->find(key)) {
            try {
                return reader.resolve(*value);
            } catch (const std::exception&) {
                return std::nullopt;
            }
        }
        const PDFValue* parent = dict->find("Parent");
        if (!parent || !parent->refValue()) return std::nullopt;
        node = *parent;
    }
    return std::nullopt;
}

std::optional<double> number(const PDFValue& value) {
    std::optional<double> v = value.doubleValue();
    if (!v || !std::isfinite(*v)) return std::nullopt;
    return v;
}

std::optional<Rect> rectangle(const std::optional<PDFValue>& value) {
    const PDFArray* array = value ? value->arrayValue() : nullptr;
    if (!array || array->size() != 4) return std::nullopt;
    double v[4];
    for (size_t i = 0; i < 4; ++i) {
        std::optional<double> n = number((*array)[i]);
        if (!n) return std::nullopt;
        v[i] = *n;
    }
    Rect r = Rect::spanning({v[0], v[1]}, {v[2], v[3]}).standardized();
    if (r.isEmpty()) return std::nullopt;
    return r;
}

int64_t rotation(const std::optional<PDFValue>& value) {
    std::optional<double> degrees = value ? number(*value) : std::nullopt;
    // Anything outside this range is nonsense; no rotation is the safe reading.
    if (!degrees || std::fabs(*degrees) > 1e9) return 0;
    return AnnotationItem::normalizedRotation(static_cast<int64_t>(*degrees));
}

}  // namespace

PageBox pageBox(PDFFileReader& reader, const PDFRef& page) {
    PageBox box;
    std::optional<Rect> media = rectangle(inherited(reader, page, "MediaBox"));
    if (media) box.cropBox = *media;
    std::optional<Rect> crop = rectangle(inherited(reader, page, "CropBox"));
    if (crop) {
        Rect clipped = crop->intersection(box.cropBox);
        if (!clipped.isEmpty()) box.cropBox = clipped;
    }
    box.rotation = rotation(inherited(reader, page, "Rotate"));
    return box;
}

}  // namespace quillet::cli
