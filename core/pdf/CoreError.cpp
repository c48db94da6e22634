#include "core/pdf/CoreError.h"

#include <utility>

namespace quillet {

CoreError::CoreError(Category category, std::string message, std::optional<int64_t> offset,
                     std::optional<int64_t> object)
    : category_(category), message_(std::move(message)), offset_(offset), object_(object) {}

const char* CoreError::categoryName() const noexcept {
    switch (category_) {
        case Category::reader:
            return "reader";
        case Category::parse:
            return "parse";
        case Category::security:
            return "security";
        case Category::file:
            return "file";
        case Category::writer:
            return "writer";
        case Category::codec:
            return "codec";
        case Category::flate:
            return "flate";
    }
    return "reader";
}

}  // namespace quillet
