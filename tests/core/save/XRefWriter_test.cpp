#include "core/save/XRefWriter.h"

#include <gtest/gtest.h>

#include "core/pdf/Flate.h"
#include "core/pdf/PDFLexer.h"

namespace quillet {
namespace {

PDFDictionary sourceTrailer() {
    return {{"Size", PDFValue::integer(9)}, {"Root", PDFValue::ref(1, 0)}};
}

// The stream object split into its dictionary and its decompressed rows.
struct WrittenStream {
    PDFDictionary dict;
    Bytes rows;
    int64_t startxref = 0;
};

WrittenStream parseStream(const Bytes& out) {
    WrittenStream written;
    size_t dictStart = out.find("<<");
    size_t dataStart = out.find(">>\nstream\n");
    EXPECT_NE(dataStart, Bytes::npos);
    PDFLexer lexer(std::string_view(out).substr(dictStart, dataStart + 2 - dictStart));
    written.dict = *lexer.parseValue(0).dictValue();
    dataStart += 10;
    size_t dataEnd = out.find("\nendstream\nendobj\nstartxref\n", dataStart);
    EXPECT_NE(dataEnd, Bytes::npos);
    written.rows = Flate::inflate(std::string_view(out).substr(dataStart, dataEnd - dataStart), 1 << 20);
    written.startxref = std::stoll(out.substr(out.rfind("startxref\n") + 10));
    return written;
}

PDFValue ints(std::initializer_list<int64_t> values) {
    PDFArray array;
    for (int64_t v : values) array.push_back(PDFValue::integer(v));
    return PDFValue::array(array);
}

TEST(XRefWriterStream, WidensOffsetsOnlyFromFourGibibytesOn) {
    PDFDictionary trailer = sourceTrailer();
    Bytes narrow;
    XRefWriter::append({{4, 0, 10}}, {&trailer, 1, true}, 9, (int64_t{1} << 32) - 1, narrow);
    EXPECT_EQ(*parseStream(narrow).dict.find("W"), ints({1, 4, 2}));
    Bytes wide;
    XRefWriter::append({{4, 0, 10}}, {&trailer, 1, true}, 9, int64_t{1} << 32, wide);
    EXPECT_EQ(*parseStream(wide).dict.find("W"), ints({1, 8, 2}));
}

// A rebuilt table may list an object at index 70,000 of a large object
// stream: two bytes would wrap it to another object.
TEST(XRefWriterStream, WidensTheThirdFieldForLargeObjectStreamIndexes) {
    PDFDictionary trailer = sourceTrailer();
    Bytes out;
    using Type = XRefWriter::Entry::Type;
    XRefWriter::append({{4, 70'000, 3, Type::compressed}}, {&trailer, 1, true}, 9, 100, out);
    WrittenStream written = parseStream(out);
    EXPECT_EQ(*written.dict.find("W"), ints({1, 4, 3}));
    EXPECT_EQ(written.rows.substr(0, 8), Bytes("\x02\x00\x00\x00\x03\x01\x11\x70", 8));
}

}  // namespace
}  // namespace quillet
