#include "core/pdf/ObjectStreamCache.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/pdf/PDFLexer.h"

namespace quillet {
namespace {

// A stream's contents from its header and body, as the reader parses them.
ObjectStreamContents contentsOf(const std::string& header, const std::string& body, int64_t count) {
    const PDFDictionary dict{{"N", PDFValue::integer(count)},
                             {"First", PDFValue::integer(static_cast<int64_t>(header.size()))}};
    return ObjectStreamContents::parse(9, dict, header + body);
}

PDFValue objectAt(const ObjectStreamContents& contents, int64_t num, int64_t index) {
    PDFLexer lexer(contents.data, *contents.position(num, index));
    return lexer.parseValue();
}

// Blanks between objects go, and every object reads as it did: an integer
// followed by integers, a string with a parenthesis, a reference inside an
// array, and a number the header lists twice at one offset.
TEST(ObjectStreamContents, CompactedKeepsOnlyTheObjectsAndEachReadsAsBefore) {
    const std::vector<std::string> objects = {"12", "0", "(a\\)b)", "[1 2 0 R]", "<< /A 1 >>"};
    std::string header, body;
    for (size_t k = 0; k < objects.size(); ++k) {
        header += std::to_string(k + 1) + " " + std::to_string(body.size()) + " ";
        body += objects[k] + std::string(1000, ' ');
    }
    header += "6 0 ";
    const ObjectStreamContents full = contentsOf(header, body, 6);
    const std::optional<ObjectStreamContents> compact = full.compacted();
    ASSERT_TRUE(compact);
    EXPECT_LT(compact->data.size(), 60u);
    for (int64_t num = 1; num <= 6; ++num)
        EXPECT_EQ(objectAt(*compact, num, num - 1), objectAt(full, num, num - 1)) << num;
    EXPECT_EQ(objectAt(*compact, 1, 0), PDFValue::integer(12));
    EXPECT_FALSE(contentsOf("1 0 ", "<< /A", 1).compacted())
        << "an object that does not parse stays as it was";
}

// A stream pushed out keeps its header, so that loading it again only
// inflates it.
TEST(ObjectStreamCache, KeepsTheHeaderOfAStreamItPushesOut) {
    ObjectStreamCache cache(100);
    cache.insert(7, contentsOf("1 0 2 3 ", "(a) (b)" + std::string(80, ' '), 2));
    EXPECT_EQ(cache.evictedHeader(7), nullptr);
    cache.insert(8, contentsOf("3 0 ", "(c)" + std::string(80, ' '), 1));
    ASSERT_NE(cache.evictedHeader(7), nullptr);
    EXPECT_EQ(cache.evictedHeader(7)->offsets, (ObjectStreamContents::Offsets{{1, 0}, {2, 3}}));
    EXPECT_EQ(cache.evictedHeader(7)->first, 8);
    EXPECT_TRUE(cache.evictedHeader(7)->data.empty());
    cache.insert(7, contentsOf("1 0 2 3 ", "(a) (b)", 2));
    EXPECT_EQ(cache.evictedHeader(7), nullptr);
}

}  // namespace
}  // namespace quillet
