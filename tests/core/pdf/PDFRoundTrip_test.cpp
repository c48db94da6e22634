// Every value the writer produces must read back as the same value. The
// generator avoids only what legitimately does not survive: integral reals
// (written without a point, read back as integers), repeated dictionary keys
// and nesting past the lexer's limit.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "core/pdf/PDFLexer.h"
#include "core/pdf/PDFWriter.h"

namespace quillet {
namespace {

class ValueGenerator {
  public:
    explicit ValueGenerator(uint64_t seed) : rng_(seed) {}

    // The raw engine is portable across standard libraries; distributions
    // are not, so reduce by hand to keep every run identical.
    uint64_t below(uint64_t n) { return rng_() % n; }
    bool chance(uint64_t oneIn) { return below(oneIn) == 0; }

    PDFValue value(int depth, int& budget) {
        --budget;
        bool mayNest = depth < PDFLexer::kMaxDepth && budget > 0;
        switch (below(mayNest ? 11 : 7)) {
            case 0:
                return PDFValue::boolean(chance(2));
            case 1:
                return PDFValue::integer(integer());
            case 2:
                return PDFValue::real(realText());
            case 3:
                return PDFValue::string(bytes(below(4) == 0 ? 0x20 : 0, below(4) == 0 ? 0x7E : 0xFF));
            case 4:
                return PDFValue::name(bytes(0, 0xFF));
            case 5:
                return PDFValue::ref(static_cast<int64_t>(below(3) ? below(100000) : rng_() >> 1),
                                     static_cast<int64_t>(below(3) ? below(3) : rng_() >> 1));
            case 6:
                return PDFValue::null();
            case 7:
            case 8:
                return array(depth, budget);
            default:
                return dict(depth, budget);  // 9, 10
        }
    }

  private:
    int64_t integer() {
        switch (below(4)) {
            case 0:
                return static_cast<int64_t>(below(201)) - 100;
            case 1:
                return chance(2) ? INT64_MIN : INT64_MAX;
            default:
                return static_cast<int64_t>(rng_());
        }
    }

    // Formatted non-integral reals; formatting may round to an integral text
    // (say 1e-7 to "0"), and such texts are drawn again.
    std::string realText() {
        for (;;) {
            double magnitude = std::pow(10.0, static_cast<double>(below(16)) - 3);
            double x = (static_cast<double>(rng_() >> 11) / 9007199254740992.0) * magnitude;
            if (chance(2)) x = -x;
            std::string text = formatReal(x);
            if (text.find('.') != std::string::npos) return text;
        }
    }

    std::string bytes(unsigned lo, unsigned hi) {
        std::string out(below(12), '\0');
        for (char& c : out) c = static_cast<char>(lo + below(hi - lo + 1));
        return out;
    }

    PDFValue array(int depth, int& budget) {
        PDFArray items(below(7));
        for (auto& item : items) item = value(depth + 1, budget);
        return PDFValue::array(std::move(items));
    }

    PDFValue dict(int depth, int& budget) {
        PDFDictionary d;
        for (uint64_t n = below(7); n > 0; --n) {
            std::string key = bytes(0, 0xFF);
            if (!d.contains(key)) d.set(key, value(depth + 1, budget));
        }
        return PDFValue::dict(std::move(d));
    }

    std::mt19937_64 rng_;
};

// Writes the value, reads it back, and checks the lexer stopped at the end.
void expectRoundTrip(const PDFValue& v) {
    Bytes out;
    PDFWriter::write(v, out);
    PDFLexer lexer(out);
    PDFValue back;
    try {
        back = lexer.parseValue();
    } catch (const PDFParseError& e) {
        FAIL() << e.text() << " reading " << out;
    }
    EXPECT_EQ(back, v) << out;
    EXPECT_EQ(lexer.pos, static_cast<int64_t>(out.size())) << out;
}

std::string allBytes() {
    std::string s(256, '\0');
    for (int i = 0; i < 256; ++i) s[static_cast<size_t>(i)] = static_cast<char>(i);
    return s;
}

TEST(PDFRoundTrip, EveryByteSurvivesInNamesAndStrings) {
    std::string all = allBytes();
    expectRoundTrip(PDFValue::name(all));
    expectRoundTrip(PDFValue::string(all));
    expectRoundTrip(PDFValue::string(all.substr(0x20, 0x7F - 0x20)));  // the literal form
    for (int i = 0; i < 256; ++i) {
        std::string one(1, static_cast<char>(i));
        expectRoundTrip(PDFValue::name(one));
        expectRoundTrip(PDFValue::string(one));
        expectRoundTrip(PDFValue::dict({{one, PDFValue::string(one)}}));
    }
    expectRoundTrip(PDFValue::name(""));
    expectRoundTrip(PDFValue::dict({{"", PDFValue::name("")}}));
}

TEST(PDFRoundTrip, RandomValuesReadBackEqual) {
    ValueGenerator gen(0x5EED'1A7E);
    for (int i = 0; i < 4000; ++i) {
        int budget = 60;
        PDFValue v = gen.value(0, budget);
        expectRoundTrip(v);
        if (HasFailure()) return;
    }
}

// Arrays and dictionaries in turn, with siblings on the way, the innermost
// container at the lexer's depth limit.
TEST(PDFRoundTrip, NestingUpToTheLimitReadsBackEqual) {
    for (bool arrayInside : {false, true}) {
        PDFValue v = arrayInside ? PDFValue::array({}) : PDFValue::dict({});
        for (int depth = PDFLexer::kMaxDepth - 1; depth >= 0; --depth) {
            if (depth % 2 == arrayInside) {
                v = PDFValue::array({PDFValue::integer(depth), v, PDFValue::name("n")});
            } else {
                PDFDictionary d;
                d.set("Inner", v);
                d.set("K", PDFValue::string("s"));
                v = PDFValue::dict(std::move(d));
            }
        }
        expectRoundTrip(v);
    }
}

}  // namespace
}  // namespace quillet
