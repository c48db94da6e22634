// The one base of every error the core throws, so that a caller catches one
// type and still tells what failed. Each error has a category and a fixed
// message (what() returns it); the specific errors below it add their codes.
// Exhausted memory is never a CoreError: std::bad_alloc passes through.
#pragma once

#include <exception>
#include <string>

namespace quillet {

class CoreError : public std::exception {
  public:
    enum class Category { reader, parse, security, file, writer, codec, flate };

    Category category() const { return category_; }
    // "reader", "parse", "security", "file", "writer", "codec", "flate".
    const char* categoryName() const noexcept;
    const std::string& message() const { return message_; }
    const char* what() const noexcept override { return message_.c_str(); }

  protected:
    CoreError(Category category, std::string message);

  private:
    Category category_;
    std::string message_;
};

}  // namespace quillet
