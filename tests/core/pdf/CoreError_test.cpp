#include "core/pdf/CoreError.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "core/pdf/FileAccessError.h"
#include "core/pdf/FlateError.h"
#include "core/pdf/PDFParseError.h"
#include "core/pdf/PDFReaderError.h"
#include "core/pdf/PDFSecurityError.h"
#include "core/save/IncrementalWriterError.h"

namespace quillet {
namespace {

// Every error of the core is caught as a CoreError and keeps its fixed text.
TEST(CoreError, EverySpecificErrorIsCaughtAsOneWithItsCategoryAndText) {
    struct Case {
        std::function<void()> fail;
        const char* category;
        const char* text;
    };
    const Case cases[] = {
        {[] { throw PDFReaderError::noStartXref(); }, "reader", "startxref not found"},
        {[] { throw PDFParseError::badObjectHeader(12); }, "parse", "bad object header at 12"},
        {[] { throw PDFSecurityError::wrongPassword(); }, "security", "wrong password"},
        {[] { throw FileAccessError::changed("a.pdf"); }, "file", "a.pdf changed while it was read"},
        {[] { throw FlateError(FlateError::Code::tooLarge); }, "flate", "flate: output too large"},
        {[] { throw IncrementalWriterError::pageIndexOutOfRange(7); }, "writer", "page index 7 out of range"},
    };
    for (const Case& c : cases) {
        try {
            c.fail();
            ADD_FAILURE() << c.text << ": nothing thrown";
        } catch (const CoreError& error) {
            EXPECT_STREQ(error.categoryName(), c.category) << c.text;
            EXPECT_EQ(error.message(), c.text);
            EXPECT_STREQ(error.what(), c.text);
        }
    }
}

}  // namespace
}  // namespace quillet
