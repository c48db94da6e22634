#include "core/pdf/StreamDecoder.h"

#include <gtest/gtest.h>

#include "core/pdf/Flate.h"
#include "support/ErrorText.h"

namespace quillet {
namespace {

using testing::errorOf;

PDFValue name(const char* n) {
    return PDFValue::name(n);
}
PDFValue dict(PDFDictionary d) {
    return PDFValue::dict(std::move(d));
}

// Object 9 is the name FlateDecode, object 10 the parameters of the Up
// predictor on two-byte rows; the rest stands as it is.
PDFValue resolve(const PDFValue& v) {
    if (v.refValue() == PDFRef{9, 0}) return name("FlateDecode");
    if (v.refValue() == PDFRef{10, 0})
        return dict({{"Predictor", PDFValue::integer(12)}, {"Columns", PDFValue::integer(2)}});
    return v;
}

TEST(StreamDecoder, FollowsTheFilterChainWithItsParameters) {
    const Bytes text = "stream text, stream text, stream text";
    const Bytes flate = Flate::deflate(text, 9);
    // Rows of the Up predictor: 1 2 | 2 3 stored as (2) 1 2 | (2) 1 1.
    const Bytes rows = Flate::deflate(Bytes{2, 1, 2, 2, 1, 1}, 9);
    const Bytes restored{1, 2, 2, 3};
    const PDFValue up = PDFValue::ref(10, 0);
    const PDFValue identity = dict({{"Name", name("Identity")}});
    const struct {
        const char* what;
        PDFDictionary dict;
        Bytes data, expected;
    } cases[] = {
        {"no filter", {}, text, text},
        {"FlateDecode", {{"Filter", name("FlateDecode")}}, flate, text},
        {"its short name", {{"Filter", name("Fl")}}, flate, text},
        {"a filter by reference", {{"Filter", PDFValue::ref(9, 0)}}, flate, text},
        {"two filters in order",
         {{"Filter", PDFValue::array({name("FlateDecode"), name("Fl")})}},
         Flate::deflate(flate, 1),
         text},
        {"a predictor", {{"Filter", name("FlateDecode")}, {"DecodeParms", up}}, rows, restored},
        {"one-element array with bare parameters",
         {{"Filter", PDFValue::array({name("FlateDecode")})}, {"DecodeParms", up}},
         rows,
         restored},
        {"parameters paired by position",
         {{"Filter", PDFValue::array({name("Crypt"), name("FlateDecode")})},
          {"DecodeParms", PDFValue::array({identity, up})}},
         rows,
         restored},
        {"a bare Crypt filter means Identity", {{"Filter", name("Crypt")}}, text, text},
        {"the Identity crypt filter", {{"Filter", name("Crypt")}, {"DecodeParms", identity}}, text, text},
    };
    for (const auto& c : cases) EXPECT_EQ(decodeStream(c.dict, c.data, resolve), c.expected) << c.what;
}

TEST(StreamDecoder, RefusesWhatItCannotDecodeByName) {
    PDFArray seventeen(17, name("FlateDecode"));
    const std::pair<PDFDictionary, std::string> cases[] = {
        {{{"Filter", name("DCTDecode")}}, "unsupported filter DCTDecode"},
        {{{"Filter", PDFValue::array({name("LZWDecode"), name("FlateDecode")})}},
         "unsupported filter LZWDecode"},
        // Data still encrypted under a named crypt filter is never handed out as decoded.
        {{{"Filter", name("Crypt")}, {"DecodeParms", dict({{"Name", name("StdCF")}})}},
         "unsupported filter Crypt"},
        {{{"Filter", PDFValue::array(seventeen)}}, "unsupported filter chain longer than 16"},
    };
    for (const auto& [d, error] : cases) EXPECT_EQ(errorOf([&] { decodeStream(d, "data", resolve); }), error);
}

}  // namespace
}  // namespace quillet
