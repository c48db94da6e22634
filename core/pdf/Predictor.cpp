#include "core/pdf/Predictor.h"

#include <algorithm>
#include <cstdlib>
#include <string>

#include "core/pdf/PDFReaderError.h"

namespace quillet {

namespace {

// Only true integers count; reals and other kinds take the default.
int64_t readInt(const PDFDictionary& parms, std::string_view key, int64_t fallback) {
    const PDFValue* v = parms.find(key);
    if (v == nullptr || v->kind() != PDFValue::Kind::Int) return fallback;
    return *v->intValue();
}

bool supportedBits(int64_t bits) {
    return bits == 1 || bits == 2 || bits == 4 || bits == 8 || bits == 16;
}

// The byte geometry of one row, computed only from range-checked parameters.
struct RowShape {
    size_t bytesPerPixel;
    size_t rowLength;
};

RowShape checkedShape(const DecodeParameters& p) {
    // Short-circuit order keeps the product from overflowing.
    if (p.colors < 1 || p.columns < 1 || p.colors > kMaxPredictorColors ||
        !supportedBits(p.bitsPerComponent) || p.columns > kMaxPredictorColumns ||
        p.colors * p.bitsPerComponent * p.columns > kMaxPredictorRowBits) {
        throw PDFReaderError::unsupportedFilter("predictor parameters");
    }
    const int64_t bitsPerPixel = p.colors * p.bitsPerComponent;
    const int64_t bytesPerPixel = std::max<int64_t>(1, (bitsPerPixel + 7) / 8);
    return {static_cast<size_t>(bytesPerPixel), static_cast<size_t>((bitsPerPixel * p.columns + 7) / 8)};
}

Bytes undoTiff(std::string_view in, RowShape shape) {
    Bytes out(in);
    if (out.size() < shape.rowLength) return out;
    const size_t rows = out.size() / shape.rowLength;
    for (size_t r = 0; r < rows; ++r) {
        auto* row = reinterpret_cast<unsigned char*>(out.data() + r * shape.rowLength);
        for (size_t i = shape.bytesPerPixel; i < shape.rowLength; ++i) {
            row[i] = static_cast<unsigned char>(row[i] + row[i - shape.bytesPerPixel]);
        }
    }
    return out;
}

unsigned paeth(unsigned left, unsigned up, unsigned upperLeft) {
    const int p = static_cast<int>(left + up) - static_cast<int>(upperLeft);
    const int pa = std::abs(p - static_cast<int>(left));
    const int pb = std::abs(p - static_cast<int>(up));
    const int pc = std::abs(p - static_cast<int>(upperLeft));
    if (pa <= pb && pa <= pc) return left;
    return pb <= pc ? up : upperLeft;
}

// Decodes one PNG row in place in `row`, given the previously decoded row.
void undoPngRow(unsigned type, const unsigned char* raw, unsigned char* row, const unsigned char* prev,
                RowShape shape) {
    const size_t bpp = shape.bytesPerPixel;
    for (size_t i = 0; i < shape.rowLength; ++i) {
        const unsigned left = i >= bpp ? row[i - bpp] : 0;
        const unsigned up = prev[i];
        const unsigned upperLeft = i >= bpp ? prev[i - bpp] : 0;
        unsigned predicted = 0;
        switch (type) {
            case 0:
                predicted = 0;
                break;
            case 1:
                predicted = left;
                break;
            case 2:
                predicted = up;
                break;
            case 3:
                predicted = (left + up) / 2;
                break;
            case 4:
                predicted = paeth(left, up, upperLeft);
                break;
            default:
                throw PDFReaderError::unsupportedFilter("PNG filter " + std::to_string(type));
        }
        row[i] = static_cast<unsigned char>(raw[i] + predicted);
    }
}

Bytes undoPng(std::string_view in, RowShape shape) {
    if (in.size() <= shape.rowLength) return {};
    const size_t encodedRow = 1 + shape.rowLength;
    const size_t rows = in.size() / encodedRow;
    Bytes out(rows * shape.rowLength, '\0');
    const Bytes zeroRow(shape.rowLength, '\0');
    const auto* prev = reinterpret_cast<const unsigned char*>(zeroRow.data());
    for (size_t r = 0; r < rows; ++r) {
        const auto* encoded = reinterpret_cast<const unsigned char*>(in.data() + r * encodedRow);
        auto* row = reinterpret_cast<unsigned char*>(out.data() + r * shape.rowLength);
        undoPngRow(encoded[0], encoded + 1, row, prev, shape);
        prev = row;
    }
    return out;
}

}  // namespace

DecodeParameters DecodeParameters::read(const PDFDictionary& parms) {
    DecodeParameters p;
    p.predictor = readInt(parms, "Predictor", 1);
    p.colors = std::max<int64_t>(1, readInt(parms, "Colors", 1));
    p.bitsPerComponent = std::max<int64_t>(1, readInt(parms, "BitsPerComponent", 8));
    p.columns = std::max<int64_t>(1, readInt(parms, "Columns", 1));
    return p;
}

Bytes applyPredictor(std::string_view bytes, const PDFDictionary& parms) {
    return applyPredictor(bytes, DecodeParameters::read(parms));
}

Bytes applyPredictor(std::string_view bytes, const DecodeParameters& parms) {
    if (parms.predictor < 2) return Bytes(bytes);
    const RowShape shape = checkedShape(parms);
    if (parms.predictor == 2) {
        if (parms.bitsPerComponent != 8) {
            throw PDFReaderError::unsupportedFilter("TIFF predictor " +
                                                    std::to_string(parms.bitsPerComponent) + " bits");
        }
        return undoTiff(bytes, shape);
    }
    return undoPng(bytes, shape);
}

}  // namespace quillet
