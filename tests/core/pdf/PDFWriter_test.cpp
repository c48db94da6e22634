#include "core/pdf/PDFWriter.h"

#include <gtest/gtest.h>

namespace quillet {
namespace {

std::string written(const PDFValue& v) {
    Bytes out;
    PDFWriter::write(v, out);
    return out;
}

TEST(FormatReal, DropsTrailingZerosAndNegativeZero) {
    EXPECT_EQ(formatReal(-0.0), "0");
    EXPECT_EQ(formatReal(-0.00001), "0");
    EXPECT_EQ(formatReal(0.00004), "0");
    EXPECT_EQ(formatReal(0.5), "0.5");
    EXPECT_EQ(formatReal(2.5), "2.5");
    EXPECT_EQ(formatReal(100.25), "100.25");
    EXPECT_EQ(formatReal(3.14159), "3.1416");
    EXPECT_EQ(formatReal(123456789012.5), "123456789012.5");
    EXPECT_EQ(formatReal(1e12), "1000000000000");
    EXPECT_EQ(formatReal(std::numeric_limits<double>::quiet_NaN()), "0");
    EXPECT_EQ(formatReal(-std::numeric_limits<double>::infinity()), "0");
}

TEST(PDFValueFactories, NumberPicksIntOnlyBelowOneBillion) {
    EXPECT_EQ(PDFValue::number(999999999), PDFValue::integer(999999999));
    EXPECT_EQ(PDFValue::number(1e9), PDFValue::real("1000000000"));
    EXPECT_EQ(PDFValue::number(0.1), PDFValue::real("0.1"));
    EXPECT_EQ(PDFValue::number(std::numeric_limits<double>::infinity()), PDFValue::integer(0));
}

TEST(PDFValueFactories, TextIsAsciiOrUTF16WithByteOrderMark) {
    EXPECT_EQ(*PDFValue::text("abc").stringBytes(), "abc");
    EXPECT_EQ(*PDFValue::text("a\tb\n").stringBytes(), "a\tb\n");
    EXPECT_EQ(*PDFValue::text("\f").stringBytes(), std::string("\xFE\xFF\x00\x0C", 4));
    EXPECT_EQ(*PDFValue::text("\xC3\xA9").stringBytes(), std::string("\xFE\xFF\x00\xE9", 4));
    // U+1F600 as a surrogate pair; a stray continuation byte as U+FFFD.
    EXPECT_EQ(*PDFValue::text("\xF0\x9F\x98\x80").stringBytes(), std::string("\xFE\xFF\xD8\x3D\xDE\x00", 6));
    EXPECT_EQ(*PDFValue::text("\x80").stringBytes(), std::string("\xFE\xFF\xFF\xFD", 4));
}

TEST(PDFValueAccessors, IntValueTruncatesRealsAndRejectsJunk) {
    EXPECT_EQ(PDFValue::real("12.9").intValue(), 12);
    EXPECT_EQ(PDFValue::real("-12.9").intValue(), -12);
    EXPECT_EQ(PDFValue::real("1e19").intValue(), std::nullopt);
    EXPECT_EQ(PDFValue::real(" 12").intValue(), std::nullopt);
    EXPECT_EQ(PDFValue::real("12x").intValue(), std::nullopt);
    EXPECT_EQ(PDFValue::real("").doubleValue(), std::nullopt);
    EXPECT_EQ(PDFValue::real("1e19").doubleValue(), 1e19);
    EXPECT_EQ(PDFValue::integer(7).doubleValue(), 7.0);
    EXPECT_EQ(PDFValue::name("A").intValue(), std::nullopt);
    EXPECT_EQ(PDFValue::integer(1).nameValue(), nullptr);
}

TEST(PDFValueEquality, RealsCompareByTextAndNeverEqualInts) {
    EXPECT_NE(PDFValue::real("1.0"), PDFValue::real("1"));
    EXPECT_NE(PDFValue::real("1"), PDFValue::integer(1));
    EXPECT_EQ(PDFValue::array({PDFValue::integer(1), PDFValue::null()}),
              PDFValue::array({PDFValue::integer(1), PDFValue::null()}));
}

TEST(PDFDictionaryOps, SetKeepsPositionRemovesAndAppends) {
    PDFDictionary d{{"A", PDFValue::integer(1)}, {"B", PDFValue::integer(2)}};
    d.set("A", PDFValue::integer(3));
    EXPECT_EQ(d.keys(), (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(d.get("A"), PDFValue::integer(3));
    d.set("A", std::nullopt);
    EXPECT_EQ(d.keys(), (std::vector<std::string>{"B"}));
    d.set("Z", std::nullopt);
    EXPECT_EQ(d.size(), 1u);
    d.set("C", PDFValue::null());
    EXPECT_EQ(d.keys(), (std::vector<std::string>{"B", "C"}));

    PDFDictionary x{{"A", PDFValue::integer(1)}, {"B", PDFValue::integer(2)}};
    PDFDictionary y{{"B", PDFValue::integer(2)}, {"A", PDFValue::integer(1)}};
    EXPECT_NE(x, y);
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
