// The ink of a saved signature: points in units of the signature's height,
// placed on a page by the signature tool.
#pragma once

#include <vector>

#include "core/markup/Shape.h"

namespace quillet {

struct SignatureInk {
    std::vector<Stroke> strokes;
    double aspect = 1;  // width / height
};

}  // namespace quillet
