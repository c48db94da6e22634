#include "core/markup/Shape.h"

namespace quillet {

std::string_view Shape::caseName() const {
    switch (shapeCase()) {
        case Case::ink:
            return "ink";
        case Case::text:
            return "text";
        case Case::arrow:
            return "arrow";
        case Case::note:
            return "note";
        case Case::markup:
            return "markup";
    }
    return "ink";
}

}  // namespace quillet
