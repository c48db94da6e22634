#include "core/pdf/PDFLexer.h"

#include <gtest/gtest.h>

#include <string>

namespace quillet {
namespace {

PDFValue parse(std::string_view text) {
    PDFLexer lexer(text);
    return lexer.parseValue();
}

// Parses and reports where the lexer stopped.
std::pair<PDFValue, int64_t> parseWithPos(std::string_view text) {
    PDFLexer lexer(text);
    PDFValue v = lexer.parseValue();
    return {v, lexer.pos};
}

PDFParseError parseFailure(std::string_view text) {
    PDFLexer lexer(text);
    try {
        lexer.parseValue();
    } catch (const PDFParseError& e) {
        return e;
    }
    ADD_FAILURE() << "no error for: " << text;
    return PDFParseError::unexpectedEnd();
}

std::string nested(int depth, char open, char close) {
    return std::string(static_cast<size_t>(depth), open) + std::string(static_cast<size_t>(depth), close);
}

TEST(PDFParseError, TextsAreFixed) {
    EXPECT_EQ(PDFParseError::unexpected("byte 41", 1032).text(), "unexpected byte 41 at 1032");
    EXPECT_EQ(PDFParseError::badObjectHeader(17).text(), "bad object header at 17");
    EXPECT_EQ(PDFParseError::unexpectedEnd().text(), "unexpected end of data");
    EXPECT_EQ(PDFParseError::tooDeep().text(), "nesting too deep");
    EXPECT_STREQ(PDFParseError::tooDeep().what(), "nesting too deep");
}

TEST(PDFLexerReferences, NeedTwoNonNegativeIntegersAndAWholeR) {
    EXPECT_EQ(parse("12 0 R"), PDFValue::ref(12, 0));
    EXPECT_EQ(parse("12 %c\n 3\r\nR]"), PDFValue::ref(12, 3));
    EXPECT_EQ(parse("-1 0 R"), PDFValue::integer(-1));
    EXPECT_EQ(parse("12 -1 R"), PDFValue::integer(12));
    EXPECT_EQ(parse("12 0 Rx"), PDFValue::integer(12));
    EXPECT_EQ(parse("12 0 R/Next"), PDFValue::ref(12, 0));
    EXPECT_EQ(parse("12 0.0 R"), PDFValue::integer(12));
}

TEST(PDFLexerReferences, LookaheadRestoresPositionAfterFirstInteger) {
    auto [v, pos] = parseWithPos("12 0 obj");
    EXPECT_EQ(v, PDFValue::integer(12));
    EXPECT_EQ(pos, 2);
    auto [v2, pos2] = parseWithPos("7 8 9 R");
    EXPECT_EQ(v2, PDFValue::integer(7));
    EXPECT_EQ(pos2, 1);
    auto [ref, pos3] = parseWithPos("12 0 R");
    EXPECT_EQ(ref, PDFValue::ref(12, 0));
    EXPECT_EQ(pos3, 6);  // R as the very last byte still counts
}

TEST(PDFLexerNumbers, IntegersCoverTheSigned64BitRange) {
    EXPECT_EQ(parse("+17"), PDFValue::integer(17));
    EXPECT_EQ(parse("-0042"), PDFValue::integer(-42));
    EXPECT_EQ(parse("9223372036854775807"), PDFValue::integer(INT64_MAX));
    EXPECT_EQ(parse("-9223372036854775808"), PDFValue::integer(INT64_MIN));
    // One past the range is still a number, kept as the real it reads as.
    EXPECT_EQ(parse("9223372036854775808"), PDFValue::real("9223372036854775808"));
}

TEST(PDFLexerNumbers, RealsKeepTheirTextAndMalformedOnesAreRepaired) {
    for (const char* text : {"0.5", ".5", "-3.", "1e3", "+.25"}) EXPECT_EQ(parse(text), PDFValue::real(text)) << text;
    EXPECT_EQ(parse("--5"), PDFValue::real("-5"));
    EXPECT_EQ(parse("+-2.50"), PDFValue::real("-2.5"));
    EXPECT_EQ(parse("-+-1.5"), PDFValue::real("-1.5"));
    EXPECT_EQ(parse("1.2.3"), PDFValue::integer(0));
    EXPECT_EQ(parse("-"), PDFValue::integer(0));
    EXPECT_EQ(parse("."), PDFValue::integer(0));
    EXPECT_EQ(parse("5abc"), PDFValue::integer(0));
}

TEST(PDFLexerContainers, ArraysNestAndDepthIsLimitedAt127) {
    EXPECT_EQ(parse("[1 2 [3]]"),
              PDFValue::array({PDFValue::integer(1), PDFValue::integer(2), PDFValue::array({PDFValue::integer(3)})}));
    EXPECT_EQ(parse("[%x\n1%y\n]"), PDFValue::array({PDFValue::integer(1)}));
    EXPECT_NO_THROW(parse(nested(128, '[', ']')));
    EXPECT_EQ(parseFailure(nested(129, '[', ']')).code(), PDFParseError::Code::tooDeep);
    // Hostile nesting far past the limit fails instead of exhausting the stack.
    EXPECT_EQ(parseFailure(std::string(1'000'000, '[')).text(), "nesting too deep");
    std::string dicts;
    for (int i = 0; i < 128; ++i) dicts += "<</A ";
    EXPECT_EQ(parseFailure(dicts + "1").code(), PDFParseError::Code::tooDeep);
    dicts.resize(dicts.size() - 3);  // the innermost dictionary empty, opened at depth 127
    for (int i = 0; i < 128; ++i) dicts += ">>";
    EXPECT_NO_THROW(parse(dicts));
}

TEST(PDFLexerContainers, LargeDictionariesKeepFirstPositionsForRepeatedKeys) {
    // Past sixteen keys the parser switches from scanning to an index;
    // repeats before and after the switch must both land on the first entry.
    std::string text = "<<";
    for (int i = 0; i < 40; ++i) text += " /K" + std::to_string(i) + " " + std::to_string(i);
    text += " /K3 300 /K39 3900 /K0 0 >>";
    const PDFDictionary d = *parse(text).dictValue();
    ASSERT_EQ(d.size(), 40u);
    EXPECT_EQ(d.entries()[3], (PDFDictionary::Entry{"K3", PDFValue::integer(300)}));
    EXPECT_EQ(d.entries()[39], (PDFDictionary::Entry{"K39", PDFValue::integer(3900)}));
    EXPECT_EQ(d.keys().front(), "K0");
}

TEST(PDFLexerContainers, DictionariesAreTolerant) {
    EXPECT_EQ(parse("<< /A 1 /A 2 >>"), PDFValue::dict({{"A", PDFValue::integer(2)}}));
    EXPECT_EQ(parse("<</A 1 /B 2 /A 3>>"),
              PDFValue::dict({{"A", PDFValue::integer(3)}, {"B", PDFValue::integer(2)}}));
    EXPECT_EQ(parse("<< /A >>"), PDFValue::dict({{"A", PDFValue::null()}}));
    EXPECT_EQ(parse("<< /A 1 /A >>"), PDFValue::dict({{"A", PDFValue::null()}}));
    EXPECT_EQ(parse("<< 5 /A 1 >>"), PDFValue::dict({{"A", PDFValue::integer(1)}}));
    EXPECT_EQ(parse("<</A/B/C[1]>>"),
              PDFValue::dict({{"A", PDFValue::name("B")}, {"C", PDFValue::array({PDFValue::integer(1)})}}));
    EXPECT_EQ(parse("<</R 3 0 R>>"), PDFValue::dict({{"R", PDFValue::ref(3, 0)}}));
    PDFParseError e = parseFailure("<< /A 1 >");
    EXPECT_EQ(e.code(), PDFParseError::Code::unexpected);
    EXPECT_EQ(e.text(), "unexpected '>' at 8");
}

TEST(PDFLexerStrings, LiteralStringsNestEscapeAndNormaliseLineEnds) {
    EXPECT_EQ(parse("(a(b)c)"), PDFValue::string("a(b)c"));
    EXPECT_EQ(parse("(\\101\\7\\0123)"), PDFValue::string(std::string("A\x07\n3")));
    EXPECT_EQ(parse("(\\400\\1a)"), PDFValue::string(std::string("\0\x01" "a", 3)));
    EXPECT_EQ(parse("(x\r\ny\rz\n)"), PDFValue::string("x\ny\nz\n"));
    EXPECT_EQ(parse("(\\n\\r\\t\\b\\f\\(\\)\\\\\\q)"), PDFValue::string("\n\r\t\b\f()\\q"));
    EXPECT_EQ(parse("(a\\\nb\\\r\nc\\\rd)"), PDFValue::string("abcd"));
    EXPECT_EQ(parse("()"), PDFValue::string(""));
}

TEST(PDFLexerStrings, HexStringsPairDigitsAndSkipGarbage) {
    EXPECT_EQ(parse("<48 65 6C 6c 6F>"), PDFValue::string("Hello"));
    EXPECT_EQ(parse("<414>"), PDFValue::string("\x41\x40"));
    EXPECT_EQ(parse("<zz41>"), PDFValue::string("\x41"));
    EXPECT_EQ(parse("<>"), PDFValue::string(""));
}

TEST(PDFLexerNames, DecodeHashEscapesByteForByte) {
    EXPECT_EQ(parse("/A#20B"), PDFValue::name("A B"));
    EXPECT_EQ(parse("/A#2"), PDFValue::name("A#2"));
    EXPECT_EQ(parse("/A#zz"), PDFValue::name("A#zz"));
    EXPECT_EQ(parse("/#ff#00"), PDFValue::name(std::string("\xff\0", 2)));
    EXPECT_EQ(parse("/\xc3\xa9"), PDFValue::name("\xc3\xa9"));
    EXPECT_EQ(parseWithPos("/ 1").first, PDFValue::name(""));
    EXPECT_EQ(parseWithPos("/Type/Page").second, 5);
}

TEST(PDFLexerKeywords, BooleansAndNull) {
    EXPECT_EQ(parse(" true"), PDFValue::boolean(true));
    EXPECT_EQ(parse("false]"), PDFValue::boolean(false));
    EXPECT_EQ(parse("null"), PDFValue::null());
}

TEST(PDFLexerErrors, NameTheOffendingByteOrTokenAndWhereItStarts) {
    EXPECT_EQ(parseFailure("  )").text(), "unexpected byte 41 at 2");
    EXPECT_EQ(parseFailure("[1 }]").text(), "unexpected byte 125 at 3");
    EXPECT_EQ(parseFailure("\n foo bar").text(), "unexpected keyword 'foo' at 2");
    EXPECT_EQ(parseFailure("[truex]").text(), "unexpected keyword 'truex' at 1");
    // Tokens are reported as text, so stray bytes show as U+FFFD.
    EXPECT_EQ(parseFailure("f\xff").text(), "unexpected keyword 'f\xEF\xBF\xBD' at 0");
}

TEST(PDFLexerErrors, TruncatedInputIsUnexpectedEnd) {
    for (const char* text : {"", "  % only a comment", "[1 2", "[1 %]", "(abc", "(a\\", "<41", "<<", "<</A 1",
                             "<", "[/A", "<</A"}) {
        EXPECT_EQ(parseFailure(text).code(), PDFParseError::Code::unexpectedEnd) << text;
    }
}

TEST(PDFLexerPosition, OutsideTheDataReadsAsEnd) {
    std::string_view data = "123";
    for (int64_t pos : {int64_t{-1}, int64_t{3}, int64_t{4}, INT64_MIN, INT64_MAX}) {
        PDFLexer lexer(data, pos);
        EXPECT_EQ(lexer.readToken(), std::nullopt);
        EXPECT_EQ(lexer.readInt(), std::nullopt);
        EXPECT_EQ(lexer.pos, pos);
        EXPECT_EQ(lexer.peek(), -1);
        EXPECT_THROW(lexer.parseValue(), PDFParseError);
    }
    PDFLexer empty(std::string_view{});
    EXPECT_THROW(empty.parseValue(), PDFParseError);
}

TEST(PDFLexerTokens, ReadTokenStopsAtDelimitersAndDecodesUTF8) {
    PDFLexer lexer("  %c\r\nxref\n0 6\ntrailer<<");
    EXPECT_EQ(lexer.readToken(), "xref");
    EXPECT_EQ(lexer.readInt(), 0);
    EXPECT_EQ(lexer.readInt(), 6);
    EXPECT_EQ(lexer.readToken(), "trailer");
    EXPECT_EQ(lexer.readToken(), std::nullopt);
    EXPECT_EQ(lexer.peek(), '<');

    PDFLexer bad("\xe2\x82\xac\xc0\xaf ");
    EXPECT_EQ(bad.readToken(), "\xe2\x82\xac\xEF\xBF\xBD\xEF\xBF\xBD");
}

TEST(PDFLexerTokens, ReadIntRestoresPositionOnFailure) {
    for (const char* text : {" 1.5", " abc", " +", " 99999999999999999999", " +-1", " (1)"}) {
        PDFLexer lexer(text);
        EXPECT_EQ(lexer.readInt(), std::nullopt) << text;
        EXPECT_EQ(lexer.pos, 0) << text;
    }
    PDFLexer lexer(" -12 ");
    EXPECT_EQ(lexer.readInt(), -12);
    EXPECT_EQ(lexer.pos, 4);
}

TEST(PDFLexerTokens, MatchesChecksBoundsWithoutMoving) {
    PDFLexer lexer("endobj", 2);
    EXPECT_TRUE(lexer.matches("obj", 3));
    EXPECT_TRUE(lexer.matches("", 6));
    EXPECT_FALSE(lexer.matches("objx", 3));
    EXPECT_FALSE(lexer.matches("e", -1));
    EXPECT_FALSE(lexer.matches("", 7));
    EXPECT_FALSE(lexer.matches("e", INT64_MAX));
    EXPECT_EQ(lexer.pos, 2);
}

TEST(PDFLexerPosition, ParsingAtAnOffsetReportsOffsetsInTheWholeView) {
    std::string data = "garbage 1 0 obj\n<</Type /Oops!]>>";
    PDFLexer lexer(data, 15);
    try {
        lexer.parseValue();
        FAIL();
    } catch (const PDFParseError& e) {
        EXPECT_EQ(e.text(), "unexpected byte 93 at 30");
        EXPECT_EQ(e.at(), 30);
    }
}

}  // namespace
}  // namespace quillet
