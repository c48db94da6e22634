// Inflates arbitrary bytes under a small output cap and undoes a predictor
// whose parameters come from the first input bytes. Every outcome other than
// data, a FlateError or a PDFReaderError is a fault.
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string_view>

#include "core/pdf/Flate.h"
#include "core/pdf/PDFReaderError.h"
#include "core/pdf/Predictor.h"

namespace {

constexpr size_t kParameterBytes = 6;
constexpr size_t kOutputCap = 1 << 20;
constexpr size_t kRoundTripMax = 4'096;

// Mostly values near the accepted ranges, sometimes far outside them.
int64_t pick(uint8_t b, int64_t small) {
    if (b == 0xFF) return std::numeric_limits<int64_t>::max();
    if (b == 0xFE) return std::numeric_limits<int64_t>::min();
    if (b >= 0xF0) return int64_t{1} << (b - 0xF0 + 16);
    return static_cast<int64_t>(b % small) - 1;
}

quillet::PDFDictionary parameters(const uint8_t* p) {
    static constexpr int64_t kPredictors[] = {1, 2, 10, 11, 12, 13, 14, 15};
    const int64_t predictor = p[0] < 0xF0 ? kPredictors[p[0] % 8] : pick(p[0], 1);
    // Up to about 4,000 columns from three bytes, or an extreme value from the first.
    const int64_t columns = p[3] >= 0xF0 ? pick(p[3], 1) : p[3] * ((p[4] & 0x0F) + 1) + p[5] % 3 - 1;
    return {{"Predictor", quillet::PDFValue::integer(predictor)},
            {"Colors", quillet::PDFValue::integer(pick(p[1], 68))},
            {"BitsPerComponent", quillet::PDFValue::integer(pick(p[2], 18))},
            {"Columns", quillet::PDFValue::integer(columns)}};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < kParameterBytes) return 0;
    const quillet::PDFDictionary parms = parameters(data);
    const char* start = reinterpret_cast<const char*>(data + kParameterBytes);
    quillet::Bytes inflated;
    try {
        inflated = quillet::Flate::inflate(start, reinterpret_cast<const char*>(data + size), kOutputCap);
    } catch (const quillet::FlateError&) {
        return 0;
    }
    if (inflated.size() > kOutputCap) __builtin_trap();
    if (inflated.size() <= kRoundTripMax &&
        quillet::Flate::inflate(quillet::Flate::deflate(inflated, 1), kRoundTripMax) != inflated) {
        __builtin_trap();
    }
    try {
        const quillet::Bytes decoded = quillet::applyPredictor(inflated, parms);
        // Predictors never add bytes: PNG drops filter bytes, TIFF keeps the length.
        if (decoded.size() > inflated.size()) __builtin_trap();
    } catch (const quillet::PDFReaderError&) {
    }
    return 0;
}
