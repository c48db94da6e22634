// Turns one markup item into the PDF objects that stand for it in a file: a
// standard annotation dictionary (so every viewer shows and lists it), its
// normal appearance as a Form XObject, and for a comment note a pop-up.
// Each annotation also carries the item payload under "QuilletItem", from
// which the item is restored when the file is opened again.
// Nothing is written or numbered here: the caller chooses the references.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "core/markup/AnnotationItem.h"
#include "core/pdf/Geometry.h"
#include "core/pdf/PDFValue.h"

namespace quillet::AnnotationSerializer {

// The key under which every annotation carries its item payload.
inline constexpr std::string_view payloadKey = "QuilletItem";
// A collapsed note's Rect covers at least this square around its icon, the
// size viewers give a comment icon.
inline constexpr double noteIconRectSide = 24;

struct Output {
    PDFDictionary annotation;
    PDFStream appearance;  // without /Length: the writer adds it
    // A note's pop-up; absent for every other item and for stamps.
    std::optional<PDFDictionary> popup;
};

// For a note: where the caller writes its pop-up, and the annotation's own
// reference (the pop-up's /Parent).
struct PopupReferences {
    PDFRef popup;
    PDFRef annotation;
};

// page: written as /P when given. payload: the item's payload when the
// caller has it already; computed otherwise. notesAsStamps: a note becomes
// a stamp showing its icon and open bubble.
Output serialize(const AnnotationItem& item, std::optional<PDFRef> page, PDFRef appearance,
                 std::optional<PopupReferences> popupReferences, std::optional<std::string_view> payload,
                 bool notesAsStamps);

// The annotation's Rect for an appearance of the given bounds: a 1 × 1
// square for an empty appearance, and room for a viewer's note icon.
Rect annotationRect(const AnnotationItem& item, const Rect& appearanceBounds, bool stampMode);

// The item an annotation read from a file stands for: present exactly when
// its "QuilletItem" is a string holding a payload that decodes. No other key
// is consulted, so the item is restored from the payload alone.
// inflatedBytes: as for ItemCodec::decode.
std::optional<AnnotationItem> ownItem(const PDFDictionary& annotation, size_t* inflatedBytes = nullptr);

// "D:YYYYMMDDHHMMSSZ" in UTC; times beyond years 0000 to 9999 are clamped
// into them so the field keeps its fixed width.
std::string pdfDate(std::chrono::sys_seconds time);

// "/Helv <size> Tf <r> <g> <b> rg": the default appearance of free text.
std::string defaultAppearance(double fontSize, const RGBA& color);

}  // namespace quillet::AnnotationSerializer
