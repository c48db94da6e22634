#include "core/markup/Base64.h"

#include <gtest/gtest.h>

namespace quillet {
namespace {

TEST(Base64, EncodesAndDecodesTheStandardTestVectors) {
    const std::pair<const char*, const char*> vectors[] = {
        {"", ""}, {"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"},
    };
    for (auto [plain, coded] : vectors) {
        EXPECT_EQ(Base64::encode(plain), coded);
        EXPECT_EQ(Base64::decode(coded), plain);
    }
}

TEST(Base64, RoundTripsEveryByteValueWithTheFullAlphabet) {
    std::string bytes;
    for (int i = 0; i < 256; ++i) bytes += static_cast<char>(i);
    std::string coded = Base64::encode(bytes);
    EXPECT_NE(coded.find('+'), std::string::npos);
    EXPECT_NE(coded.find('/'), std::string::npos);
    EXPECT_EQ(Base64::decode(coded), bytes);
}

TEST(Base64, RefusesAnythingTheEncoderWouldNotWrite) {
    const char* bad[] = {
        "Zm9", "Zm9vY", "Zm9v\nYmFy", "Zm9v YmFy", " Zm9v", "Zm9v\r\n", "Zm-v", "Zm_v",
        "Zg=A", "Z===", "====", "Zg==Zm9v", "Zm=v", "Zh==", "Zm9=",
    };
    for (const char* text : bad) EXPECT_FALSE(Base64::decode(text)) << text;
}

}  // namespace
}  // namespace quillet
