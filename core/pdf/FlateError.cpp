#include "core/pdf/FlateError.h"

namespace quillet {

namespace {

const char* describe(FlateError::Code code) {
    using Code = FlateError::Code;
    switch (code) {
        case Code::initFailed:
            return "flate: cannot initialise the decompressor";
        case Code::corrupt:
            return "flate: corrupt data";
        case Code::tooLarge:
            return "flate: output too large";
    }
    return "flate: corrupt data";
}

}  // namespace

FlateError::FlateError(Code code) : CoreError(Category::flate, describe(code)), code_(code) {}

}  // namespace quillet
