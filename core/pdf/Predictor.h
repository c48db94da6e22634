// Undoing the row filtering (PNG and TIFF predictors) that a /DecodeParms
// dictionary declares for FlateDecode data.
#pragma once

#include <cstdint>
#include <string_view>

#include "core/pdf/PDFValue.h"

namespace quillet {

// The predictor entries of a /DecodeParms dictionary, with defaults applied
// and values below the minimum raised to it. Not yet range-checked.
struct DecodeParameters {
    int64_t predictor = 1;  // below 2: none; 2: TIFF; otherwise PNG
    int64_t colors = 1;
    int64_t bitsPerComponent = 8;
    int64_t columns = 1;

    static DecodeParameters read(const PDFDictionary& parms);
};

// Limits beyond which predictor parameters are refused before any allocation.
inline constexpr int64_t kMaxPredictorColors = 64;
inline constexpr int64_t kMaxPredictorColumns = 1'048'576;
inline constexpr int64_t kMaxPredictorRowBits = 16'777'216;

// Returns the unfiltered bytes. Throws PDFReaderError::unsupportedFilter for
// parameters out of range ("predictor parameters"), a TIFF predictor with
// other than 8 bits ("TIFF predictor N bits") or an unknown PNG row filter
// type ("PNG filter N"). Without a predictor the bytes come back unchanged.
Bytes applyPredictor(std::string_view bytes, const PDFDictionary& parms);
Bytes applyPredictor(std::string_view bytes, const DecodeParameters& parms);

}  // namespace quillet
