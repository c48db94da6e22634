#include "core/markup/AnnotationSerializer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <limits>

#include "MarkupTestSupport.h"

using namespace quillet;
using quillet::testing::written;
using namespace std::chrono;
using AnnotationSerializer::Output;

namespace {

const PDFRef kPage{7, 0};
const PDFRef kAppearance{21, 0};

// 2026-12-05 13:45:01 UTC.
const sys_seconds kModified = sys_days{year{2026} / December / 5} + hours{13} + minutes{45} + seconds{1};

AnnotationItem item(Shape shape) {
    return AnnotationItem(UUID::random(), std::move(shape), RGBA::defaultInk(), 2, 0, kModified);
}

Output serialize(const AnnotationItem& i) {
    return AnnotationSerializer::serialize(i, kPage, kAppearance, std::nullopt, std::nullopt, false);
}

std::string entry(const PDFDictionary& d, std::string_view key) {
    const PDFValue* v = d.find(key);
    return v ? written(*v) : "(missing)";
}

}  // namespace

TEST(PdfDate, IsUTCWhateverTheLocalTimeZone) {
    const char* old = std::getenv("TZ");
    const std::string saved = old ? old : "";
    // Zones with odd offsets on either side of UTC.
    for (const char* zone : {"Asia/Kathmandu", "America/St_Johns", "UTC"}) {
        setenv("TZ", zone, 1);
        tzset();
        EXPECT_EQ(AnnotationSerializer::pdfDate(kModified), "D:20261205134501Z") << zone;
        EXPECT_EQ(entry(serialize(item(ArrowShape{{1, 1}, {9, 9}, std::nullopt})).annotation, "M"),
                  "(D:20261205134501Z)")
            << zone;
    }
    if (old)
        setenv("TZ", saved.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}

TEST(PdfDate, KeepsItsWidthForTimesBeyondFourDigitYears) {
    EXPECT_EQ(AnnotationSerializer::pdfDate(sys_seconds{}), "D:19700101000000Z");
    EXPECT_EQ(AnnotationSerializer::pdfDate(sys_seconds{seconds{-1}}), "D:19691231235959Z");
    EXPECT_EQ(AnnotationSerializer::pdfDate(sys_seconds{seconds{std::numeric_limits<int64_t>::max()}}),
              "D:99991231235959Z");
    EXPECT_EQ(AnnotationSerializer::pdfDate(sys_seconds{seconds{std::numeric_limits<int64_t>::min()}}),
              "D:00000101000000Z");
}

TEST(SerializeRect, AnAppearanceWithoutAreaGetsAOnePointRectWhereItIsAndTheBBoxFollows) {
    const AnnotationItem pen = item(ArrowShape{{40, 40}, {80, 40}, std::nullopt});
    // A drawing of no width (or no height) keeps its place.
    EXPECT_EQ(AnnotationSerializer::annotationRect(pen, Rect{40, 50, 0, 10}, false), (Rect{40, 50, 1, 1}));
    EXPECT_EQ(AnnotationSerializer::annotationRect(pen, Rect{40, 50, 30, 10}, false), (Rect{40, 50, 30, 10}));
    // Nothing drawn at all (an arrow of no length): the page's corner, and
    // the BBox with it, since a zero-area BBox cannot be mapped onto the Rect.
    const Output out = serialize(item(ArrowShape{{40, 40}, {40, 40}, std::nullopt}));
    EXPECT_EQ(entry(out.annotation, "Rect"), "[0 0 1 1]");
    EXPECT_EQ(entry(out.appearance.dict, "BBox"), "[0 0 1 1]");
}
