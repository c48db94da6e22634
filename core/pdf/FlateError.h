// Failures of decompressing a zlib (FlateDecode) stream.
#pragma once

#include <string>

#include "core/pdf/CoreError.h"

namespace quillet {

class FlateError : public CoreError {
  public:
    enum class Code { initFailed, corrupt, tooLarge };

    explicit FlateError(Code code);

    Code code() const { return code_; }

  private:
    Code code_;
};

}  // namespace quillet
