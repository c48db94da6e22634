#include "core/pdf/PDFWriter.h"

#include <gtest/gtest.h>

namespace quillet {
namespace {

std::string written(const PDFValue& v) {
    Bytes out;
    PDFWriter::write(v, out);
    return out;
}

TEST(PDFWriterValues, EachKindIsWrittenByteExact) {
    EXPECT_EQ(written(PDFValue::boolean(true)), "true");
    EXPECT_EQ(written(PDFValue::boolean(false)), "false");
    EXPECT_EQ(written(PDFValue::integer(-42)), "-42");
    EXPECT_EQ(written(PDFValue::real(".5")), ".5");
    EXPECT_EQ(written(PDFValue::string("a(b")), "(a\\(b)");
    EXPECT_EQ(written(PDFValue::string("a)\\")), "(a\\)\\\\)");
    EXPECT_EQ(written(PDFValue::string("a\nb")), "<610A62>");
    EXPECT_EQ(written(PDFValue::string("")), "()");
    EXPECT_EQ(written(PDFValue::name("A B")), "/A#20B");
    EXPECT_EQ(written(PDFValue::name("#")), "/#23");
    EXPECT_EQ(written(PDFValue::name("")), "/");
    EXPECT_EQ(written(PDFValue::name(std::string("\xE9\x7F", 2))), "/#E9#7F");
    EXPECT_EQ(written(PDFValue::array({})), "[]");
    EXPECT_EQ(written(PDFValue::array({PDFValue::integer(1), PDFValue::ref(3, 0), PDFValue::null()})),
              "[1 3 0 R null]");
    EXPECT_EQ(written(PDFValue::dict({})), "<<>>");
    EXPECT_EQ(written(PDFValue::dict({{"Type", PDFValue::name("Annot")}, {"F", PDFValue::integer(4)}})),
              "<</Type /Annot /F 4 >>");
}

TEST(PDFWriterObjects, ObjectAndStreamFraming) {
    Bytes out;
    PDFWriter::writeObject(12, 0, PDFValue::integer(5), out);
    EXPECT_EQ(out, "12 0 obj\n5\nendobj\n");

    out.clear();
    PDFDictionary d{{"Length", PDFValue::ref(9, 0)}, {"Filter", PDFValue::name("FlateDecode")}};
    PDFWriter::writeStream(7, 1, d, "abc", out);
    EXPECT_EQ(out, "7 1 obj\n<</Length 3 /Filter /FlateDecode >>\nstream\nabc\nendstream\nendobj\n");

    out.clear();
    PDFWriter::writeStream(8, 0, PDFDictionary{{"Type", PDFValue::name("XObject")}}, "", out);
    EXPECT_EQ(out, "8 0 obj\n<</Type /XObject /Length 0 >>\nstream\n\nendstream\nendobj\n");
}

}  // namespace
}  // namespace quillet
