#include "core/pdf/StreamDecoder.h"

#include <gtest/gtest.h>

#include <map>

#include "core/pdf/Flate.h"
#include "core/pdf/FlateError.h"
#include "core/pdf/PDFReaderError.h"

namespace quillet {
namespace {

// Stands in for the reader's object table: references resolve through `objects`.
struct Objects {
    std::map<int64_t, PDFValue> byNumber;

    PDFResolve resolver() const {
        return [this](const PDFValue& v) {
            const auto ref = v.refValue();
            if (!ref) return v;
            const auto it = byNumber.find(ref->num);
            return it == byNumber.end() ? PDFValue::null() : it->second;
        };
    }
};

PDFValue name(const char* n) {
    return PDFValue::name(n);
}

PDFValue pngParms(int64_t columns) {
    return PDFValue::dict({{"Predictor", PDFValue::integer(12)}, {"Columns", PDFValue::integer(columns)}});
}

// Two rows of two bytes, Up-filtered: decodes to 1 2 4 6.
const Bytes kPredicted("\x02\x01\x02\x02\x03\x04", 6);
const Bytes kUnpredicted("\x01\x02\x04\x06", 4);

std::string unsupportedText(const PDFDictionary& dict, std::string_view data, const Objects& objects = {}) {
    try {
        decodeStream(dict, data, objects.resolver());
    } catch (const PDFReaderError& e) {
        EXPECT_EQ(e.code(), PDFReaderError::Code::unsupportedFilter);
        return e.text();
    }
    return "no failure";
}

TEST(DecodeStream, WithoutAFilterNameTheDataIsUnchanged) {
    const Objects none;
    EXPECT_EQ(decodeStream({}, "raw", none.resolver()), "raw");
    EXPECT_EQ(decodeStream({{"Filter", PDFValue::integer(3)}}, "raw", none.resolver()), "raw");
    EXPECT_EQ(decodeStream({{"Filter", PDFValue::ref(9, 0)}}, "raw", none.resolver()), "raw");
}

TEST(DecodeStream, FlateByFullNameAndAbbreviation) {
    const Objects none;
    const Bytes packed = Flate::deflate("content", 6);
    EXPECT_EQ(decodeStream({{"Filter", name("FlateDecode")}}, packed, none.resolver()), "content");
    EXPECT_EQ(decodeStream({{"Filter", name("Fl")}}, packed, none.resolver()), "content");
}

TEST(DecodeStream, SingleFilterTakesADictionaryOfParameters) {
    Objects objects;
    objects.byNumber[5] = pngParms(2);
    objects.byNumber[6] = name("FlateDecode");
    const Bytes packed = Flate::deflate(kPredicted, 6);
    EXPECT_EQ(decodeStream({{"Filter", name("FlateDecode")}, {"DecodeParms", pngParms(2)}}, packed,
                           objects.resolver()),
              kUnpredicted);
    // Indirect parameters are followed through the reader's resolve.
    EXPECT_EQ(decodeStream({{"Filter", PDFValue::ref(6, 0)}, {"DecodeParms", PDFValue::ref(5, 0)}}, packed,
                           objects.resolver()),
              kUnpredicted);
    // A parameter array does not apply to a single filter name.
    EXPECT_EQ(decodeStream({{"Filter", name("FlateDecode")}, {"DecodeParms", PDFValue::array({pngParms(2)})}},
                           packed, objects.resolver()),
              kPredicted);
}

TEST(DecodeStream, OneFilterArrayTakesABareParameterDictionary) {
    const Objects none;
    const Bytes packed = Flate::deflate(kPredicted, 6);
    EXPECT_EQ(decodeStream({{"Filter", PDFValue::array({name("FlateDecode")})}, {"DecodeParms", pngParms(2)}},
                           packed, none.resolver()),
              kUnpredicted);
}

TEST(DecodeStream, IdentityCryptFilterPassesDataThrough) {
    const Objects none;
    const Bytes packed = Flate::deflate("content", 6);
    const PDFValue identity = PDFValue::dict({{"Name", name("Identity")}});
    EXPECT_EQ(decodeStream({{"Filter", PDFValue::array({name("Crypt"), name("FlateDecode")})},
                            {"DecodeParms", PDFValue::array({identity, PDFValue::null()})}},
                           packed, none.resolver()),
              "content");
    EXPECT_EQ(decodeStream({{"Filter", name("Crypt")}}, "raw", none.resolver()), "raw");
    const PDFValue named = PDFValue::dict({{"Name", name("StdCF")}});
    EXPECT_EQ(unsupportedText({{"Filter", name("Crypt")}, {"DecodeParms", named}}, "raw"),
              "unsupported filter Crypt");
}

TEST(DecodeStream, FilterArrayAppliesEachFilterInOrder) {
    const Objects none;
    const Bytes twice = Flate::deflate(Flate::deflate("inner", 9), 1);
    EXPECT_EQ(decodeStream({{"Filter", PDFValue::array({name("FlateDecode"), name("Fl")})}}, twice,
                           none.resolver()),
              "inner");
}

TEST(DecodeStream, FilterArrayWithNullParametersHasNoPredictor) {
    const Objects none;
    const Bytes packed = Flate::deflate(kPredicted, 6);
    EXPECT_EQ(decodeStream({{"Filter", PDFValue::array({name("FlateDecode")})},
                            {"DecodeParms", PDFValue::array({PDFValue::null()})}},
                           packed, none.resolver()),
              kPredicted);
}

TEST(DecodeStream, ParameterArrayCountsOnlyFiltersThatAreNames) {
    Objects objects;
    objects.byNumber[4] = PDFValue::array({PDFValue::ref(5, 0)});
    objects.byNumber[5] = pngParms(2);
    objects.byNumber[7] = name("FlateDecode");
    const Bytes packed = Flate::deflate(kPredicted, 6);
    // The integer is dropped, so the first parameters belong to the referenced FlateDecode.
    const PDFDictionary dict{{"Filter", PDFValue::array({PDFValue::integer(1), PDFValue::ref(7, 0)})},
                             {"DecodeParms", PDFValue::ref(4, 0)}};
    EXPECT_EQ(decodeStream(dict, packed, objects.resolver()), kUnpredicted);
}

TEST(DecodeStream, OtherFiltersAreRefusedByName) {
    EXPECT_EQ(unsupportedText({{"Filter", name("DCTDecode")}}, "jpeg"), "unsupported filter DCTDecode");
    EXPECT_EQ(unsupportedText({{"Filter", name("ASCIIHexDecode")}}, "41>"),
              "unsupported filter ASCIIHexDecode");
    const Bytes packed = Flate::deflate("x", 6);
    EXPECT_EQ(
        unsupportedText({{"Filter", PDFValue::array({name("FlateDecode"), name("LZWDecode")})}}, packed),
        "unsupported filter LZWDecode");
}

TEST(DecodeStream, PredictorFailuresAndFlateFailuresPassThrough) {
    const Bytes packed = Flate::deflate("\x07\x01", 6);
    EXPECT_EQ(unsupportedText({{"Filter", name("FlateDecode")}, {"DecodeParms", pngParms(1)}}, packed),
              "unsupported filter PNG filter 7");
    const Objects none;
    try {
        decodeStream({{"Filter", name("FlateDecode")}}, "not zlib", none.resolver());
        ADD_FAILURE() << "garbage decoded";
    } catch (const FlateError& e) {
        EXPECT_EQ(e.code(), FlateError::Code::corrupt);
    }
}

TEST(DecodeStream, OverlongFilterChainIsRefusedBeforeDecoding) {
    PDFArray chain(17, name("FlateDecode"));
    EXPECT_EQ(unsupportedText({{"Filter", PDFValue::array(chain)}}, "anything"),
              "unsupported filter chain longer than 16");
    chain.pop_back();
    Bytes packed = "end";
    for (size_t i = 0; i < chain.size(); ++i) packed = Flate::deflate(packed, 1);
    const Objects none;
    EXPECT_EQ(decodeStream({{"Filter", PDFValue::array(chain)}}, packed, none.resolver()), "end");
}

}  // namespace
}  // namespace quillet
