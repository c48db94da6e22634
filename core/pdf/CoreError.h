// The one base of every error the core throws, so that a caller catches one
// type and still tells what failed. Each error has a category, a fixed
// message (what() and text() return it) and, where the failure was met in a
// file, its byte offset and object number; the specific errors below it add
// their codes.
// Exhausted memory is never a CoreError: std::bad_alloc passes through.
#pragma once

#include <cstdint>
#include <exception>
#include <optional>
#include <string>

namespace quillet {

class CoreError : public std::exception {
  public:
    enum class Category { reader, parse, security, file, writer, codec, flate };

    Category category() const { return category_; }
    // "reader", "parse", "security", "file", "writer", "codec", "flate".
    const char* categoryName() const noexcept;
    const std::string& message() const { return message_; }
    // The message as logs and tools print it.
    std::string text() const { return message_; }
    const char* what() const noexcept override { return message_.c_str(); }
    // Where in the file the failure was met, when that is known.
    std::optional<int64_t> offset() const { return offset_; }
    std::optional<int64_t> object() const { return object_; }

  protected:
    CoreError(Category category, std::string message, std::optional<int64_t> offset = std::nullopt,
              std::optional<int64_t> object = std::nullopt);

  private:
    Category category_;
    std::string message_;
    std::optional<int64_t> offset_;
    std::optional<int64_t> object_;
};

}  // namespace quillet
