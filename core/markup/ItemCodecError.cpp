#include "core/markup/ItemCodecError.h"

namespace quillet {

ItemCodecError::ItemCodecError(Code code, const UUID& item, const std::string& reason)
    : CoreError(Category::codec, "cannot encode item " + item.text() + ": " + reason),
      code_(code),
      item_(item) {}

ItemCodecError ItemCodecError::tooManyStrokes(const UUID& item, size_t count, size_t limit) {
    return {Code::tooManyStrokes, item,
            "it has " + std::to_string(count) + " strokes, at most " + std::to_string(limit) + " fit"};
}

ItemCodecError ItemCodecError::tooManyPoints(const UUID& item, size_t count, size_t limit) {
    return {Code::tooManyPoints, item,
            "it has " + std::to_string(count) + " points, at most " + std::to_string(limit) + " fit"};
}

ItemCodecError ItemCodecError::noPoints(const UUID& item) {
    return {Code::noPoints, item, "an ink item without points"};
}

ItemCodecError ItemCodecError::tooManyQuads(const UUID& item, size_t count, size_t limit) {
    return {
        Code::tooManyQuads, item,
        "it marks " + std::to_string(count) + " pieces of text, at most " + std::to_string(limit) + " fit"};
}

ItemCodecError ItemCodecError::noQuads(const UUID& item) {
    return {Code::noQuads, item, "text markup over no text"};
}

ItemCodecError ItemCodecError::compression(const UUID& item, const std::string& detail) {
    return {Code::compression, item, detail};
}

}  // namespace quillet
