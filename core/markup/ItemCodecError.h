// An item the payload format cannot carry. Rather than write a payload that
// would read back as nothing (the item lost at the next open), the encoder
// refuses and names the item.
#pragma once

#include <string>

#include "core/markup/UUID.h"
#include "core/pdf/CoreError.h"

namespace quillet {

class ItemCodecError : public CoreError {
  public:
    enum class Code { tooManyStrokes, tooManyPoints, noPoints, tooManyQuads, noQuads, compression };

    // count: the item's strokes or points; limit: the format's bound.
    static ItemCodecError tooManyStrokes(const UUID& item, size_t count, size_t limit);
    static ItemCodecError tooManyPoints(const UUID& item, size_t count, size_t limit);
    static ItemCodecError noPoints(const UUID& item);
    static ItemCodecError tooManyQuads(const UUID& item, size_t count, size_t limit);
    static ItemCodecError noQuads(const UUID& item);
    // detail: the compressor's message.
    static ItemCodecError compression(const UUID& item, const std::string& detail);

    Code code() const { return code_; }
    const UUID& item() const { return item_; }

  private:
    ItemCodecError(Code code, const UUID& item, const std::string& reason);

    Code code_;
    UUID item_;
};

}  // namespace quillet
