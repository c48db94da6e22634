#include "core/pdf/Predictor.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace quillet {
namespace {

PDFDictionary parms(int64_t predictor, int64_t colors, int64_t bits, int64_t columns) {
    return {{"Predictor", PDFValue::integer(predictor)},
            {"Colors", PDFValue::integer(colors)},
            {"BitsPerComponent", PDFValue::integer(bits)},
            {"Columns", PDFValue::integer(columns)}};
}

Bytes bytes(std::initializer_list<int> values) {
    Bytes out;
    for (int v : values) out.push_back(static_cast<char>(v));
    return out;
}

TEST(PNGPredictor, EachFilterTypeRestoresAHandComputedRow) {
    // Two pixels of two bytes each; the first row is stored as is (type 0)
    // so the second row has a known row above it.
    const PDFDictionary twoByTwo = parms(15, 2, 8, 2);
    const Bytes firstRow = bytes({0, 10, 20, 30, 40});
    const struct {
        const char* filter;
        Bytes data;
        PDFDictionary parms;
        Bytes expected;
    } cases[] = {
        {"None copies", firstRow + bytes({0, 1, 2, 3, 4}), twoByTwo, bytes({10, 20, 30, 40, 1, 2, 3, 4})},
        {"Sub adds the left pixel", firstRow + bytes({1, 1, 2, 3, 255}), twoByTwo,
         bytes({10, 20, 30, 40, 1, 2, 4, 1})},
        {"Up adds the byte above", firstRow + bytes({2, 1, 2, 3, 250}), twoByTwo,
         bytes({10, 20, 30, 40, 11, 22, 33, 34})},
        {"Average", firstRow + bytes({3, 1, 2, 3, 4}), twoByTwo, bytes({10, 20, 30, 40, 6, 12, 21, 30})},
        // (left + up) / 2 with left + up above 255 must not wrap: 100 + 240 -> 170.
        {"Average without wrapping", bytes({0, 200, 220, 240, 250, 3, 0, 0, 0, 0}), twoByTwo,
         bytes({200, 220, 240, 250, 100, 110, 170, 180})},
        // byte 0: up (50) wins, 210 + 50 wraps to 4; byte 1: left == p, left
        // (4) wins; byte 2: upper-left (50) is nearest to p = 57.
        {"Paeth", bytes({0, 50, 50, 100, 4, 210, 3, 1}), parms(10, 1, 8, 3), bytes({50, 50, 100, 4, 7, 51})},
        // byte 1: left 0, up 3, upper-left 1, p = 2: up and upper-left are as
        // near, and up wins the tie (5 + 3 = 8, not 5 + 1).
        {"Paeth tie", bytes({0, 1, 3, 4, 255, 5}), parms(10, 1, 8, 2), bytes({1, 3, 0, 8})},
        // Three rows of 1 + 4 bytes decode to 12 bytes; a 3-byte fragment is dropped.
        {"Per row", bytes({1, 1, 1, 1, 1, 2, 1, 1, 1, 1, 0, 9, 8, 7, 6, 2, 2, 2}), parms(12, 1, 8, 4),
         bytes({1, 2, 3, 4, 2, 3, 4, 5, 9, 8, 7, 6})},
        // 10 one-bit columns are 2 bytes a row; Sub works on whole bytes.
        {"Sub on 1-bit samples", bytes({1, 0x80, 0x01}), parms(11, 1, 1, 10), bytes({0x80, 0x81})},
        {"Sub on 16-bit samples", bytes({1, 1, 2, 3, 4}), parms(11, 1, 16, 2), bytes({1, 2, 4, 6})},
        {"No whole row", bytes({0, 1, 2, 3}), parms(12, 1, 8, 4), ""},
        {"Nothing", "", parms(12, 1, 8, 4), ""},
    };
    for (const auto& c : cases) EXPECT_EQ(applyPredictor(c.data, c.parms), c.expected) << c.filter;
}

}  // namespace
}  // namespace quillet
