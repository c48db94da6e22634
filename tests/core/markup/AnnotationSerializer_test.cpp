// Items as standard annotation dictionaries with their appearance, payload
// and pop-up.
#include "core/markup/AnnotationSerializer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "MarkupTestSupport.h"
#include "core/markup/ItemAppearanceBuilder.h"
#include "core/markup/ItemCodec.h"
#include "core/markup/ItemGeometry.h"

using namespace quillet;
using quillet::testing::written;
using namespace std::chrono;
using AnnotationSerializer::Output;
using AnnotationSerializer::PopupReferences;

namespace {

const PDFRef kPage{7, 0};
const PDFRef kAppearance{21, 0};
const PopupReferences kPopup{{22, 0}, {20, 0}};

// 2026-12-05 13:45:01 UTC.
const sys_seconds kModified = sys_days{year{2026} / December / 5} + hours{13} + minutes{45} + seconds{1};

AnnotationItem item(Shape shape, RGBA color = RGBA::defaultInk(), double lineWidth = 2,
                    int64_t rotation = 0) {
    return AnnotationItem(*UUID::parse("6F9619FF-8B86-D011-B42D-00C04FC964FF"), std::move(shape), color,
                          lineWidth, rotation, kModified);
}

AnnotationItem pen(InkKind kind = InkKind::pen) {
    return item(InkShape{kind, {{{10, 20}, {30.5, 40}, {50, 20}}, {}}});
}

TextSpec spec(std::string text, double fontSize = 12, bool boxed = true) {
    return TextSpec{std::move(text), fontSize, std::nullopt, boxed};
}

AnnotationItem note() {
    return item(NoteShape{{100, 700}, {140, 700}, spec("Check the figures")});
}

Output serialize(const AnnotationItem& i, bool stamps = false,
                 std::optional<PopupReferences> popup = std::nullopt) {
    return AnnotationSerializer::serialize(i, kPage, kAppearance, popup, std::nullopt, stamps);
}

std::string entry(const PDFDictionary& d, std::string_view key) {
    const PDFValue* v = d.find(key);
    return v ? written(*v) : "(missing)";
}

// Each key's written value, compared as a whole so a failure shows them all.
void expectEntries(const PDFDictionary& d, const std::vector<std::pair<std::string, std::string>>& expected) {
    std::vector<std::pair<std::string, std::string>> actual;
    for (const auto& [key, value] : expected) actual.emplace_back(key, entry(d, key));
    EXPECT_EQ(actual, expected);
}

std::vector<double> numbers(const PDFValue& v) {
    std::vector<double> out;
    for (const PDFValue& x : *v.arrayValue()) out.push_back(*x.doubleValue());
    return out;
}

Rect rectOf(const PDFDictionary& d, std::string_view key) {
    const std::vector<double> r = numbers(*d.find(key));
    return Rect::spanning({r[0], r[1]}, {r[2], r[3]});
}

}  // namespace

TEST(SerializeInk, PenWritesTheStandardKeysInOrderWithTheAppearanceBounds) {
    const Output out = serialize(pen());
    const std::vector<std::string> keys{"Type", "Subtype", "Rect", "P",       "F",  "NM",
                                        "M",    "C",       "BS",   "InkList", "AP", "QuilletItem"};
    EXPECT_EQ(out.annotation.keys(), keys);
    expectEntries(out.annotation, {{"Subtype", "/Ink"},
                                   {"P", "7 0 R"},
                                   {"F", "4"},
                                   {"NM", "(6f9619ff-8b86-d011-b42d-00c04fc964ff)"},
                                   {"M", "(D:20261205134501Z)"},
                                   {"C", "[0.1 0.1 0.12]"},
                                   {"BS", "<</W 2 /S /S >>"},
                                   {"InkList", "[[10 20 30.5 40 50 20] []]"},
                                   {"AP", "<</N 21 0 R >>"}});
    EXPECT_FALSE(out.popup);
    const ItemAppearance drawn = ItemAppearanceBuilder::build(pen(), false);
    EXPECT_EQ(rectOf(out.annotation, "Rect"), drawn.bounds);
    const ItemAppearanceBuilder::FormXObject form = ItemAppearanceBuilder::formXObject(drawn);
    EXPECT_EQ(out.appearance.dict, form.dict);
    EXPECT_EQ(out.appearance.data, form.data);
    EXPECT_EQ(entry(serialize(pen(InkKind::signature)).annotation, "Subj"), "(Signature)");
    EXPECT_FALSE(serialize(pen(InkKind::highlighter)).annotation.contains("Subj"));
    EXPECT_EQ(
        entry(serialize(item(InkShape{InkKind::pen, {{{1, 1}}}}, RGBA(0.12345, 1, 0.0005, 0.5))).annotation,
              "C"),
        "[0.123 1 0.001]");
}

TEST(SerializeCommon, PayloadIsTheItemsOwnUnlessGiven) {
    const AnnotationItem i = pen();
    const Output out = serialize(i);
    const Bytes* payload = out.annotation.find("QuilletItem")->stringBytes();
    ASSERT_TRUE(payload);
    EXPECT_EQ(*payload, ItemCodec::encode(i));
    EXPECT_EQ(ItemCodec::decode(*payload)->id, i.id);
    // A given payload is written as it is; without a page there is no /P.
    const Output given =
        AnnotationSerializer::serialize(pen(), std::nullopt, kAppearance, std::nullopt, "QLT1:abc", false);
    EXPECT_EQ(entry(given.annotation, "QuilletItem"), "(QLT1:abc)");
    EXPECT_FALSE(given.annotation.contains("P"));
}

TEST(PdfDate, IsUTCWhateverTheLocalTimeZone) {
    const char* old = std::getenv("TZ");
    const std::string saved = old ? old : "";
    // Zones with odd offsets on either side of UTC.
    for (const char* zone : {"Asia/Kathmandu", "America/St_Johns", "UTC"}) {
        setenv("TZ", zone, 1);
        tzset();
        EXPECT_EQ(AnnotationSerializer::pdfDate(kModified), "D:20261205134501Z") << zone;
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

TEST(SerializeText, FreeTextWithDefaultAppearanceAndBorder) {
    const Output boxed = serialize(item(TextShape{{100, 500}, spec("Hi", 12.5)}, RGBA(1, 0, 0, 1)));
    expectEntries(boxed.annotation, {{"Subtype", "/FreeText"},
                                     {"Contents", "(Hi)"},
                                     {"DA", "(/Helv 12.5 Tf 1 0 0 rg)"},
                                     {"Q", "0"},
                                     {"BS", "<</W 0.8 >>"}});
    const Output plain = serialize(item(TextShape{{100, 500}, spec("Hi", 12, false)}));
    expectEntries(plain.annotation, {{"BS", "<</W 0 >>"}, {"DA", "(/Helv 12 Tf 0.1 0.1 0.12 rg)"}});
    // The font size is written as stored, not clamped.
    EXPECT_EQ(AnnotationSerializer::defaultAppearance(900, RGBA(0, 0, 0, 1)), "/Helv 900 Tf 0 0 0 rg");
}

TEST(SerializeRotate, OnlyTextAndLabelledArrowsCarryTheirRotation) {
    const std::pair<Shape, const char*> cases[] = {
        {TextShape{{100, 500}, spec("Hi")}, "90"},
        {ArrowShape{{10, 10}, {90, 90}, spec("L")}, "90"},
        {ArrowShape{{10, 10}, {90, 90}, std::nullopt}, "(missing)"},
        {InkShape{InkKind::pen, {{{1, 1}}}}, "(missing)"},
        {NoteShape{{100, 700}, {140, 700}, spec("n")}, "(missing)"}};
    for (const auto& [shape, rotate] : cases)
        EXPECT_EQ(entry(serialize(item(shape, RGBA::defaultInk(), 1, 90)).annotation, "Rotate"), rotate)
            << rotate;
    EXPECT_FALSE(serialize(item(TextShape{{100, 500}, spec("Hi")})).annotation.contains("Rotate"));
    // Rotate sits between the shape's keys and AP.
    const std::vector<std::string> keys =
        serialize(item(TextShape{{1, 50}, spec("Hi")}, RGBA(), 1, 180)).annotation.keys();
    EXPECT_EQ(keys[keys.size() - 3], "Rotate");
}

TEST(SerializeArrow, WithoutLabelIsALineWithAnOpenTailAndClosedHead) {
    const Output out =
        serialize(item(ArrowShape{{10, 20}, {110, 20.5}, std::nullopt}, RGBA(0, 0, 1, 1), 1.5));
    expectEntries(out.annotation, {{"Subtype", "/Line"},
                                   {"L", "[10 20 110 20.5]"},
                                   {"LE", "[/None /ClosedArrow]"},
                                   {"IC", "[0 0 1]"},
                                   {"BS", "<</W 1.5 >>"},
                                   {"Contents", "(missing)"}});
}

TEST(SerializeArrow, WithLabelIsACalloutFromTheHeadToTheLabel) {
    const TextSpec label = spec("Look here", 10);
    const AnnotationItem arrow = item(ArrowShape{{100, 100}, {300, 200}, label}, RGBA(1, 0, 0, 1));
    const Output out = serialize(arrow);
    expectEntries(out.annotation, {{"Subtype", "/FreeText"},
                                   {"Contents", "(Look here)"},
                                   {"DA", "(/Helv 10 Tf 1 0 0 rg)"},
                                   {"IT", "/FreeTextCallout"},
                                   {"CL", "[300 200 100 100]"},
                                   {"LE", "/ClosedArrow"}});
    // RD: the margins between Rect and the label box, never negative.
    const Rect rect = rectOf(out.annotation, "Rect");
    const Rect labelFrame = ItemGeometry::placeLabel(label, {100, 100}, {300, 200}, 0).frame();
    const std::vector<double> rd = numbers(*out.annotation.find("RD"));
    ASSERT_EQ(rd.size(), 4u);
    EXPECT_NEAR(rd[0], labelFrame.minX() - rect.minX(), 1e-4);
    EXPECT_NEAR(rd[2], rect.maxX() - labelFrame.maxX(), 1e-4);
    EXPECT_NEAR(rd[3], std::max(0.0, rect.maxY() - labelFrame.maxY()), 1e-4);
    for (double m : rd) EXPECT_GE(m, 0);
    EXPECT_GT(rd[2], 150);  // the head lies far to the right of the label
}

TEST(SerializeArrow, ArrowOfNoLengthWithoutLabelGetsAOnePointRect) {
    const Output out = serialize(item(ArrowShape{{40, 40}, {40, 40}, std::nullopt}));
    EXPECT_EQ(entry(out.annotation, "Rect"), "[0 0 1 1]");
    // The BBox follows the Rect: a zero-area BBox cannot be mapped onto it.
    EXPECT_EQ(entry(out.appearance.dict, "BBox"), "[0 0 1 1]");
}

TEST(SerializeNote, CollapsedNoteIsATextAnnotationWithItsPopup) {
    const Output out = serialize(note(), false, kPopup);
    expectEntries(out.annotation, {{"Subtype", "/Text"},
                                   {"Contents", "(Check the figures)"},
                                   {"Name", "/Comment"},
                                   {"Open", "false"},
                                   {"Popup", "22 0 R"}});
    ASSERT_TRUE(out.popup);
    EXPECT_EQ(out.popup->keys(),
              (std::vector<std::string>{"Type", "Subtype", "Rect", "P", "Parent", "Open"}));
    expectEntries(*out.popup, {{"Subtype", "/Popup"}, {"Parent", "20 0 R"}, {"Open", "false"}});
    const Rect bubble = ItemGeometry::placeBubble(spec("Check the figures"), {140, 700}, 0).frame();
    const Rect popupRect = rectOf(*out.popup, "Rect");
    EXPECT_NEAR(popupRect.minX(), bubble.minX(), 1e-4);
    EXPECT_NEAR(popupRect.maxY(), bubble.maxY(), 1e-4);
    const Output without = serialize(note());
    EXPECT_FALSE(without.popup);
    EXPECT_FALSE(without.annotation.contains("Popup"));
}

TEST(SerializeNote, CollapsedRectCoversAViewerIconAndBBoxFollowsIt) {
    const Output out = serialize(note(), false, kPopup);
    const Rect rect = rectOf(out.annotation, "Rect");
    EXPECT_TRUE(rect.contains(Rect{98, 678, 24, 24})) << written(*out.annotation.find("Rect"));
    EXPECT_LT(rect.maxX(), 130);  // the bubble is not part of a collapsed note's appearance
    // The icon is drawn in page space; a BBox narrower than the Rect would
    // stretch it in every other viewer.
    EXPECT_EQ(entry(out.appearance.dict, "BBox"), entry(out.annotation, "Rect"));
    EXPECT_EQ(entry(out.appearance.dict, "Matrix"), "[1 0 0 1 0 0]");
}

TEST(SerializeNote, StampShowsIconAndBubbleWithoutNoteKeys) {
    const AnnotationItem n = note();
    const Output out = serialize(n, true, kPopup);
    EXPECT_EQ(entry(out.annotation, "Subtype"), "/Stamp");
    EXPECT_EQ(entry(out.annotation, "Contents"), "(Check the figures)");
    for (const char* key : {"Name", "Open", "Popup", "Rotate"})
        EXPECT_FALSE(out.annotation.contains(key)) << key;
    EXPECT_FALSE(out.popup);
    const Rect expanded = ItemAppearanceBuilder::build(n, true).bounds;
    EXPECT_EQ(rectOf(out.annotation, "Rect"), expanded);
    EXPECT_TRUE(expanded.contains(ItemGeometry::placeBubble(n.shape.note()->spec, {140, 700}, 0).frame()));
    EXPECT_EQ(entry(out.appearance.dict, "BBox"), entry(out.annotation, "Rect"));
}

TEST(SerializeNote, StampModeLeavesOtherItemsAlone) {
    EXPECT_EQ(serialize(pen(), false).annotation, serialize(pen(), true).annotation);
    EXPECT_EQ(serialize(pen(), false).appearance, serialize(pen(), true).appearance);
}

TEST(OwnItem, IsRestoredFromADecodablePayloadAloneOtherwiseForeign) {
    const AnnotationItem i = pen(InkKind::signature);
    PDFDictionary d = serialize(i).annotation;
    // Other keys changed by another tool do not matter.
    d.set("NM", PDFValue::text("something-else"));
    d.set("Subtype", PDFValue::name("Square"));
    EXPECT_EQ(AnnotationSerializer::ownItem(d), ItemCodec::decode(ItemCodec::encode(i)));
    const std::string payload = ItemCodec::encode(pen());
    for (std::optional<PDFValue> foreign : {std::optional<PDFValue>(), std::optional(PDFValue::name(payload)),
                                            std::optional(PDFValue::string("QLT1:not base64")),
                                            std::optional(PDFValue::string("qlt1:" + payload.substr(5)))}) {
        d.set("QuilletItem", foreign);
        EXPECT_FALSE(AnnotationSerializer::ownItem(d));
    }
}
