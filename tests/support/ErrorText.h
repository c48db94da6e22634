// The text an operation fails with, so that tests compare error texts in
// one line.
#pragma once

#include <exception>
#include <functional>
#include <string>

namespace quillet::testing {

// what() of the std::exception `operation` throws, or "no error".
inline std::string errorOf(const std::function<void()>& operation) {
    try {
        operation();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "no error";
}

}  // namespace quillet::testing
