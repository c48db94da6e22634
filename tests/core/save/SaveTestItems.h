// Items and read-back helpers shared by the incremental writer's tests.
#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "core/markup/AnnotationItem.h"
#include "core/markup/ItemCodec.h"
#include "core/pdf/PDFFileReader.h"
#include "core/pdf/PDFWriter.h"

namespace quillet {

// Failure messages show values in PDF syntax.
inline void PrintTo(const PDFValue& value, std::ostream* os) {
    Bytes text;
    PDFWriter::write(value, text);
    *os << text;
}

}  // namespace quillet

namespace quillet::testing {

// A stable identifier, so that expected output does not depend on chance.
inline UUID itemId(int n) {
    UUID::ByteArray bytes{};
    bytes[6] = 0x40;
    bytes[8] = 0x80;
    bytes[15] = static_cast<uint8_t>(n);
    bytes[14] = static_cast<uint8_t>(n >> 8);
    return UUID(bytes);
}

inline std::chrono::sys_seconds itemTime() {
    return std::chrono::sys_seconds{std::chrono::seconds{1'780'000'000}};
}

inline AnnotationItem inkItem(int n, std::vector<Point> points, RGBA color = {1, 0, 0, 1},
                              InkKind kind = InkKind::pen, double width = 6) {
    return AnnotationItem(itemId(n), InkShape{kind, {std::move(points)}}, color, width, 0, itemTime());
}

inline AnnotationItem textItem(int n, Point origin, std::string text, RGBA color = {0, 0, 1, 1},
                               double fontSize = 24) {
    return AnnotationItem(itemId(n), TextShape{origin, TextSpec{std::move(text), fontSize, {}, false}}, color,
                          1, 0, itemTime());
}

inline AnnotationItem arrowItem(int n, Point from, Point to, std::optional<std::string> label = {},
                                RGBA color = {0, 0.6, 0, 1}) {
    std::optional<TextSpec> spec;
    if (label) spec = TextSpec{*label, 14, {}, false};
    return AnnotationItem(itemId(n), ArrowShape{from, to, spec}, color, 4, 0, itemTime());
}

inline AnnotationItem noteItem(int n, Point anchor, std::string text, RGBA color = {1, 0.8, 0, 1}) {
    return AnnotationItem(itemId(n),
                          NoteShape{anchor, {anchor.x + 30, anchor.y - 30}, TextSpec{text, 12, {}, false}},
                          color, 1, 0, itemTime());
}

// The entries of a page's /Annots.
inline std::vector<PDFValue> annotationsOfPage(PDFFileReader& reader, size_t page) {
    std::vector<PDFRef> pages = reader.pageRefs();
    PDFValue pageDict = reader.resolve(PDFValue::ref(pages.at(page)));
    const PDFValue* annots = pageDict.dictValue() ? pageDict.dictValue()->find("Annots") : nullptr;
    std::vector<PDFValue> entries;
    if (!annots) return entries;
    PDFValue array = reader.resolve(*annots);
    if (!array.arrayValue()) return entries;
    return *array.arrayValue();
}

// The application's items on a page, in /Annots order, as it reads them back.
inline std::vector<AnnotationItem> itemsOnPage(const std::filesystem::path& file, size_t page,
                                               const std::optional<std::string>& password = {}) {
    PDFFileReader reader(file, password);
    std::vector<AnnotationItem> items;
    for (const PDFValue& entry : annotationsOfPage(reader, page)) {
        PDFValue annotation = reader.resolve(entry);
        const PDFDictionary* dict = annotation.dictValue();
        const PDFValue* payload = dict ? dict->find("QuilletItem") : nullptr;
        if (!payload || !payload->stringBytes()) continue;
        if (auto item = ItemCodec::decode(*payload->stringBytes())) items.push_back(*item);
    }
    return items;
}

}  // namespace quillet::testing
