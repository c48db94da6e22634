#include "core/pdf/FlateError.h"

namespace quillet {

const char* FlateError::what() const noexcept {
    switch (code_) {
        case Code::initFailed:
            return "flate: cannot initialise the decompressor";
        case Code::corrupt:
            return "flate: corrupt data";
        case Code::tooLarge:
            return "flate: output too large";
    }
    return "flate: corrupt data";
}

}  // namespace quillet
