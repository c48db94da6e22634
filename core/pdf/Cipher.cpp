#include "core/pdf/Cipher.h"

namespace quillet {

std::string_view cipherName(Cipher c) {
    switch (c) {
        case Cipher::identity:
            return "identity";
        case Cipher::rc4:
            return "rc4";
        case Cipher::aesV2:
            return "aesV2";
        case Cipher::aesV3:
            return "aesV3";
    }
    return "identity";
}

}  // namespace quillet
