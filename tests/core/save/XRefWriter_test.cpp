// The cross-reference section of an update, compared as text: the layout is
// what other readers parse, so every byte counts.
#include "core/save/XRefWriter.h"

#include <gtest/gtest.h>

#include "core/pdf/Flate.h"
#include "core/pdf/PDFLexer.h"

namespace quillet {
namespace {

PDFDictionary sourceTrailer() {
    // The merged trailer of a source, with keys an update must not copy.
    return {{"Size", PDFValue::integer(9)},
            {"Encrypt", PDFValue::ref(8, 0)},
            {"Custom", PDFValue::integer(1)},
            {"ID", PDFValue::array({PDFValue::string("ab"), PDFValue::string("cd")})},
            {"Info", PDFValue::ref(3, 0)},
            {"Root", PDFValue::ref(1, 0)}};
}

TEST(XRefWriterTable, GroupsConsecutiveNumbersAndKeepsTheLastEntryOfARepeatedNumber) {
    PDFDictionary trailer = sourceTrailer();
    Bytes out = "\n";
    XRefWriter::append({{5, 0, 120}, {3, 0, 10}, {4, 2, 60}, {9, 0, 200}, {4, 2, 90}}, {&trailer, 555, false},
                       12, 1000, out);
    EXPECT_EQ(out,
              "\nxref\n"
              "3 3\n"
              "0000000010 00000 n\r\n"
              "0000000090 00002 n\r\n"
              "0000000120 00000 n\r\n"
              "9 1\n"
              "0000000200 00000 n\r\n"
              "trailer\n"
              "<</Root 1 0 R /Info 3 0 R /ID [(ab) (cd)] /Encrypt 8 0 R /Prev 555 /Size 12 >>\n"
              "startxref\n1001\n%%EOF\n");
}

TEST(XRefWriterTable, CopiesOnlyTheTrailerEntriesTheSourceHas) {
    PDFDictionary trailer{{"Root", PDFValue::ref(1, 0)}, {"Size", PDFValue::integer(3)}};
    Bytes out;
    XRefWriter::append({{2, 0, 7}}, {&trailer, 40, false}, 3, 100, out);
    EXPECT_EQ(out,
              "xref\n2 1\n0000000007 00000 n\r\ntrailer\n<</Root 1 0 R /Prev 40 /Size 3 >>\n"
              "startxref\n100\n%%EOF\n");
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

TEST(XRefWriterStream, FollowsASourceWhoseNewestSectionIsAStream) {
    PDFDictionary trailer = sourceTrailer();
    Bytes out = "\n";
    XRefWriter::append({{7, 0, 0x0102}, {4, 1, 0x0A0B0C}}, {&trailer, 777, true}, 40, 500, out);
    ASSERT_TRUE(
        out.starts_with("\n40 0 obj\n<</Type /XRef /Root 1 0 R /Info 3 0 R /ID [(ab) (cd)] /Encrypt 8 0 R "
                        "/Prev 777 /Size 41 /W [1 4 2] /Index [4 1 7 1 40 1] /Filter /FlateDecode /Length "));
    WrittenStream written = parseStream(out);
    EXPECT_EQ(written.startxref, 501);
    EXPECT_EQ(written.rows, Bytes("\x01\x00\x0A\x0B\x0C\x00\x01"
                                  "\x01\x00\x00\x01\x02\x00\x00"
                                  "\x01\x00\x00\x01\xF5\x00\x00",
                                  21));
    EXPECT_EQ(*written.dict.find("Length"),
              PDFValue::integer(static_cast<int64_t>(out.find("\nendstream") - out.find("stream\n") - 7)));
}

TEST(XRefWriterStream, ReplacesTheTableWhereOffsetsOutgrowTenDigits) {
    PDFDictionary trailer = sourceTrailer();
    Bytes below;
    XRefWriter::append({{4, 0, 9'999'999'000}}, {&trailer, 1, false}, 9, 9'999'999'999, below);
    EXPECT_TRUE(below.starts_with("xref\n"));

    Bytes above;
    XRefWriter::append({{4, 0, 9'999'999'000}}, {&trailer, 1, false}, 9, 10'000'000'000, above);
    WrittenStream written = parseStream(above);
    EXPECT_EQ(*written.dict.find("W"), ints({1, 8, 2}));
    EXPECT_EQ(*written.dict.find("Index"), ints({4, 1, 9, 1}));
    EXPECT_EQ(*written.dict.find("Size"), PDFValue::integer(10));
    EXPECT_EQ(written.rows, Bytes("\x01\x00\x00\x00\x02\x54\x0B\xE0\x18\x00\x00"
                                  "\x01\x00\x00\x00\x02\x54\x0B\xE4\x00\x00\x00",
                                  22));
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

}  // namespace
}  // namespace quillet
