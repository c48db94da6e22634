#include "core/pdf/PageBox.h"

#include <cmath>
#include <optional>
#include <string>
#include <string_view>

#include "core/pdf/CoreError.h"

namespace quillet {
namespace {

void warnPage(PDFFileReader& reader, const PDFRef& page, std::string what) {
    reader.warn(
        {ReaderWarning::Kind::pageBox, "page object " + std::to_string(page.num) + ": " + what, page.num});
}

// The value of an inheritable key: the page's own, else its nearest
// ancestor's. Unreadable nodes end the search as if the key were absent,
// with a warning.
std::optional<PDFValue> inherited(PDFFileReader& reader, const PDFRef& page, std::string_view key) {
    PDFValue node = PDFValue::ref(page.num, page.gen);
    for (int hop = 0; hop <= kMaxParentHops; ++hop) {
        try {
            const PDFValue resolved = reader.resolve(node);
            const PDFDictionary* dict = resolved.dictValue();
            if (!dict) return std::nullopt;
            if (const PDFValue* value = dict->find(key)) return reader.resolve(*value);
            const PDFValue* parent = dict->find("Parent");
            if (!parent || !parent->refValue()) return std::nullopt;
            node = *parent;
        } catch (const CoreError& e) {
            warnPage(reader, page, "/" + std::string(key) + " unreadable (" + e.text() + "), left out");
            return std::nullopt;
        }
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

// Only a whole number is a rotation: Poppler ignores a real /Rotate, and the
// application shows what Poppler shows.
int64_t rotation(const std::optional<PDFValue>& value) {
    if (!value || value->kind() != PDFValue::Kind::Int) return 0;
    return PageBox::displayRotation(*value->intValue());
}

}  // namespace

int64_t PageBox::displayRotation(int64_t degrees) {
    if (degrees % 90 != 0) return 0;
    const int64_t turned = degrees % 360;
    return turned < 0 ? turned + 360 : turned;
}

Size PageBox::displaySize() const {
    const Rect box = cropBox.standardized();
    return rotation == 90 || rotation == 270 ? Size{box.height, box.width} : Size{box.width, box.height};
}

AffineTransform PageBox::pageToDisplay() const {
    const double x0 = cropBox.minX(), y0 = cropBox.minY(), x1 = cropBox.maxX(), y1 = cropBox.maxY();
    // x' = a x + c y + tx, y' = b x + d y + ty.
    switch (rotation) {
        case 90:
            return {0, 1, 1, 0, -y0, -x0};  // x' = y - y0, y' = x - x0
        case 180:
            return {-1, 0, 0, 1, x1, -y0};  // x' = x1 - x, y' = y - y0
        case 270:
            return {0, -1, -1, 0, y1, x1};  // x' = y1 - y, y' = x1 - x
        default:
            return {1, 0, 0, -1, -x0, y1};  // x' = x - x0, y' = y1 - y
    }
}

PageBox pageBox(PDFFileReader& reader, const PDFRef& page) {
    PageBox box;
    std::optional<Rect> media = rectangle(inherited(reader, page, "MediaBox"));
    if (media)
        box.cropBox = *media;
    else
        warnPage(reader, page, "no usable /MediaBox, US Letter used");
    const std::optional<PDFValue> cropValue = inherited(reader, page, "CropBox");
    std::optional<Rect> crop = rectangle(cropValue);
    if (cropValue && !crop) warnPage(reader, page, "unusable /CropBox, the media box used");
    if (crop) {
        // A crop box wider (taller) than the media box takes the media box's
        // extent across (down), as Poppler reads it: the application shows
        // Poppler's page, and both must agree on where the page is.
        const Rect& media = box.cropBox;
        Rect wanted = *crop;
        if (wanted.width > media.width) wanted = {media.x, wanted.y, media.width, wanted.height};
        if (wanted.height > media.height) wanted = {wanted.x, media.y, wanted.width, media.height};
        Rect clipped = wanted.intersection(media);
        if (!clipped.isEmpty()) box.cropBox = clipped;
    }
    box.rotation = rotation(inherited(reader, page, "Rotate"));
    return box;
}

}  // namespace quillet
