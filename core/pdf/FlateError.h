// Failures of decompressing a zlib (FlateDecode) stream.
#pragma once

#include <exception>
#include <string>

namespace quillet {

class FlateError : public std::exception {
  public:
    enum class Code { initFailed, corrupt, tooLarge };

    explicit FlateError(Code code) : code_(code) {}

    Code code() const { return code_; }
    // "flate: cannot initialise the decompressor", "flate: corrupt data",
    // "flate: output too large"
    std::string text() const { return what(); }
    const char* what() const noexcept override;

  private:
    Code code_;
};

}  // namespace quillet
