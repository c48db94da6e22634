#include "core/pdf/PDFLexer.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "core/pdf/PDFWriter.h"

namespace quillet {
namespace {

PDFParseError parseFailure(std::string_view text, int64_t start = 0) {
    PDFLexer lexer(text, start);
    try {
        lexer.parseValue();
    } catch (const PDFParseError& e) {
        return e;
    }
    ADD_FAILURE() << "no error for: " << text;
    return PDFParseError::unexpectedEnd();
}

TEST(PDFLexerErrors, NameTheOffendingByteOrTokenAndWhereItStarts) {
    EXPECT_EQ(parseFailure("  )").text(), "unexpected byte 41 at 2");
    EXPECT_EQ(parseFailure("[1 }]").text(), "unexpected byte 125 at 3");
    EXPECT_EQ(parseFailure("\n foo bar").text(), "unexpected keyword 'foo' at 2");
    EXPECT_EQ(parseFailure("[truex]").text(), "unexpected keyword 'truex' at 1");
    // A number without a digit is no silent 0.
    EXPECT_EQ(parseFailure("[1 -.x]").text(), "unexpected number '-.x' at 3");
    EXPECT_EQ(parseFailure("-").text(), "unexpected number '-' at 0");
    EXPECT_EQ(parseFailure("+-" + std::string(40, '.')).text(),
              "unexpected number '+-" + std::string(30, '.') + "...' at 0");
    // Tokens are reported as text, so stray bytes show as U+FFFD.
    EXPECT_EQ(parseFailure("f\xff").text(), "unexpected keyword 'f\xEF\xBF\xBD' at 0");
    // Parsing from an offset reports offsets in the whole view.
    const PDFParseError inside = parseFailure("garbage 1 0 obj\n<</Type /Oops!]>>", 15);
    EXPECT_EQ(inside.text(), "unexpected byte 93 at 30");
    EXPECT_EQ(inside.at(), 30);
}

TEST(PDFLexerErrors, TruncatedInputIsUnexpectedEnd) {
    for (const char* text : {"", "  % only a comment", "[1 2", "[1 %]", "(abc", "(a\\", "<41", "<<", "<</A 1",
                             "<", "[/A", "<</A"}) {
        EXPECT_EQ(parseFailure(text).code(), PDFParseError::Code::unexpectedEnd) << text;
    }
}

TEST(PDFLexerReferences, AReferenceIsTwoNonNegativeIntegersAndAWholeRToken) {
    const std::tuple<std::string, std::string, int64_t> cases[] = {
        {"12 0 R", "12 0 R", 6},
        {"12 0 R/Next", "12 0 R", 6},
        {"12\n0\r\nR]", "12 0 R", 7},
        {"12 0 RG", "12", 2},  // "RG" is another token, the integer stands alone
        {"12 0 R0", "12", 2},
        {"12 -1 R", "12", 2},
        {"-12 0 R", "-12", 3},
        {"12 0.0 R", "12", 2},
        {"12 0", "12", 2},
    };
    for (const auto& [text, written, end] : cases) {
        PDFLexer lexer(text);
        Bytes out;
        PDFWriter::write(lexer.parseValue(), out);
        EXPECT_EQ(out, written) << text;
        EXPECT_EQ(lexer.pos, end) << text;
    }
}

TEST(PDFLexerNumbers, MalformedNumbersAreReadAsOtherReadersTakeThemWithAWarning) {
    const std::tuple<std::string, std::string, std::string> cases[] = {
        {"[--5]", "[-5]", "number '--5' at 1 read as -5"},
        {"[+-5]", "[-5]", "number '+-5' at 1 read as -5"},
        {"[-+5.5]", "[5.5]", "number '-+5.5' at 1 read as 5.5"},
        {"[6-12]", "[612]", "number '6-12' at 1 read as 612"},
        {"[612.0.0 1]", "[612 1]", "number '612.0.0' at 1 read as 612"},
        {"[612abc 1]", "[612 1]", "number '612abc' at 1 read as 612"},
        {"[-.5.5]", "[-0.5]", "number '-.5.5' at 1 read as -0.5"},
        {"[99999999999999999999x]", "[100000000000000000000]",
         "number '99999999999999999999x' at 1 read as 100000000000000000000"},
    };
    for (const auto& [text, written, warning] : cases) {
        PDFLexer lexer(text);
        ReaderWarnings warnings;
        lexer.warnings = &warnings;
        Bytes out;
        PDFWriter::write(lexer.parseValue(), out);
        EXPECT_EQ(out, written) << text;
        EXPECT_EQ(warnings.list(), std::vector<std::string>{warning}) << text;
    }
    // Well-formed numbers are no repair.
    PDFLexer lexer("[1 -2 +3.5 .5 -.5 5.]");
    ReaderWarnings warnings;
    lexer.warnings = &warnings;
    lexer.parseValue();
    EXPECT_TRUE(warnings.empty());
}

}  // namespace
}  // namespace quillet
