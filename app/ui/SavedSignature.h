// A hand-drawn signature kept for stamping: strokes normalised to a height
// of 1 (x from 0 to `aspect`, y from 0 to 1, y up, steps of 0.001).
#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <vector>

#include "core/markup/Shape.h"
#include "core/markup/UUID.h"

namespace quillet {

struct SavedSignature {
    UUID id;
    std::vector<Stroke> strokes;
    double aspect = 1;  // width / height of what was drawn

    // Largest values a stored signature may hold; anything beyond is damage.
    static constexpr size_t maxStrokes = 10000;
    static constexpr size_t maxPoints = 200000;
    static constexpr double maxAspect = 10000;

    // The pad's strokes (any coordinates, y up) as a new signature; absent
    // when there are no points or everything fits into 4 by 4 points (a tap).
    static std::optional<SavedSignature> make(const std::vector<Stroke>& strokes);

    // {"id": "...", "strokes": [[[x, y], ...], ...], "aspect": a}.
    nlohmann::json toJSON() const;
    // Absent unless the object is a whole, finite, plausible signature.
    static std::optional<SavedSignature> fromJSON(const nlohmann::json& object);

    bool operator==(const SavedSignature&) const = default;
};

}  // namespace quillet
