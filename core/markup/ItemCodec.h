// The item payload: "QLT1:" followed by the Base64 of a zlib stream (level
// 9) of the item's JSON object. It lives inside users' PDF files, on the
// clipboard and in the recovery journal, so its bytes are a fixed format.
#pragma once

#include <cstddef>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

#include "core/markup/AnnotationItem.h"

namespace quillet::ItemCodec {

inline constexpr std::string_view kPrefix = "QLT1:";
inline constexpr int64_t kFormatVersion = 1;
// The largest magnitude of any coordinate that is written or accepted.
inline constexpr double maxCoordinate = 1e7;
inline constexpr size_t kMaxStrokes = 100'000;
// Line widths and font sizes, in points, that are written or accepted.
inline constexpr double kMaxLineWidth = 1000;
inline constexpr double kMaxFontSize = 1000;
// Points of one ink item, over all its strokes. Beyond about 400,000 the
// appearance grows past what common viewers agree to draw; an item with more
// is not valid.
inline constexpr size_t kMaxPoints = 100'000;
// Quads of one text-markup item: a line fragment each, so a page's worth of
// selected text needs a few hundred.
inline constexpr size_t kMaxQuads = 10'000;

// The payload of an item. Values JSON cannot carry are replaced,
// coordinates and sizes are clamped and rounded, text that is not UTF-8 is
// repaired. The same item always gives the same text, byte for byte.
// Throws ItemCodecError, naming the item, for an ink item with more strokes
// or points than the format holds, or with none, and for text markup with
// more quads than the format holds, or with none.
std::string encode(const AnnotationItem& item);

// The item, or absent when the text is not a valid payload. Throws nothing
// but std::bad_alloc.
// inflatedBytes, when given, receives the bytes inflated on the way (the
// whole output cap when the payload overflows it), for callers that bound
// the decoding work over many payloads.
std::optional<AnnotationItem> decode(std::string_view payload, size_t* inflatedBytes = nullptr);

// Whether the text begins with "QLT1:" (exact, case-sensitive).
bool isPayload(std::string_view text);

// The JSON object of an item as it is written into the payload (rounded,
// clamped, repaired), and the item read back from such an object with every
// check of decode. The command-line tool exchanges items in this form.
nlohmann::json toJSON(const AnnotationItem& item);
std::optional<AnnotationItem> fromJSON(const nlohmann::json& object);

// The exact JSON text inside the payload of an item.
std::string jsonText(const AnnotationItem& item);

}  // namespace quillet::ItemCodec
