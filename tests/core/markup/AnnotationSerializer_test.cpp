#include "core/markup/AnnotationSerializer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "core/markup/ItemAppearanceBuilder.h"
#include "core/markup/ItemCodec.h"
#include "core/markup/ItemGeometry.h"
#include "core/pdf/PDFWriter.h"

using namespace quillet;
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

std::string written(const PDFValue& v) {
    Bytes out;
    PDFWriter::write(v, out);
    return out;
}

std::string entry(const PDFDictionary& d, std::string_view key) {
    const PDFValue* v = d.find(key);
    return v ? written(*v) : "(missing)";
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

TEST(SerializeInk, PenWritesTheStandardKeysInOrder) {
    const Output out = serialize(pen());
    const std::vector<std::string> keys{"Type", "Subtype", "Rect", "P",       "F",  "NM",
                                        "M",    "C",       "BS",   "InkList", "AP", "QuilletItem"};
    EXPECT_EQ(out.annotation.keys(), keys);
    EXPECT_EQ(entry(out.annotation, "Subtype"), "/Ink");
    EXPECT_EQ(entry(out.annotation, "P"), "7 0 R");
    EXPECT_EQ(entry(out.annotation, "F"), "4");
    EXPECT_EQ(entry(out.annotation, "BS"), "<</W 2 /S /S >>");
    EXPECT_EQ(entry(out.annotation, "InkList"), "[[10 20 30.5 40 50 20] []]");
    EXPECT_EQ(entry(out.annotation, "AP"), "<</N 21 0 R >>");
    EXPECT_FALSE(out.popup);
}

TEST(SerializeInk, SignatureAddsItsSubject) {
    EXPECT_EQ(entry(serialize(pen(InkKind::signature)).annotation, "Subj"), "(Signature)");
    EXPECT_FALSE(serialize(pen(InkKind::highlighter)).annotation.contains("Subj"));
}

TEST(SerializeInk, RectAndBBoxAreTheAppearanceBounds) {
    const AnnotationItem i = pen();
    const Output out = serialize(i);
    const ItemAppearance drawn = ItemAppearanceBuilder::build(i, false);
    EXPECT_EQ(rectOf(out.annotation, "Rect"), drawn.bounds);
    const ItemAppearanceBuilder::FormXObject form = ItemAppearanceBuilder::formXObject(drawn);
    EXPECT_EQ(out.appearance.dict, form.dict);
    EXPECT_EQ(out.appearance.data, form.data);
}

TEST(SerializeCommon, IdentityDateAndColourAreWrittenInTheirFixedForms) {
    const Output out = serialize(item(InkShape{InkKind::pen, {{{1, 1}}}}, RGBA(0.12345, 1, 0.0005, 0.5)));
    EXPECT_EQ(entry(out.annotation, "NM"), "(6f9619ff-8b86-d011-b42d-00c04fc964ff)");
    EXPECT_EQ(entry(out.annotation, "M"), "(D:20261205134501Z)");
    EXPECT_EQ(entry(out.annotation, "C"), "[0.123 1 0.001]");
}

TEST(SerializeCommon, PayloadNamesTheSameItemAsNM) {
    const AnnotationItem i = pen();
    const Output out = serialize(i);
    const Bytes* payload = out.annotation.find("QuilletItem")->stringBytes();
    ASSERT_TRUE(payload);
    EXPECT_EQ(*payload, ItemCodec::encode(i));
    const auto decoded = ItemCodec::decode(*payload);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->id, i.id);
    EXPECT_NE(ItemCodec::jsonText(i).find(i.id.text()), std::string::npos);
}

TEST(SerializeCommon, GivenPayloadIsWrittenAsIs) {
    const Output out =
        AnnotationSerializer::serialize(pen(), std::nullopt, kAppearance, std::nullopt, "QLT1:abc", false);
    EXPECT_EQ(entry(out.annotation, "QuilletItem"), "(QLT1:abc)");
    EXPECT_FALSE(out.annotation.contains("P"));
}

TEST(PdfDate, IsUTCWhateverTheLocalTimeZone) {
    const char* old = std::getenv("TZ");
    const std::string saved = old ? old : "";
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
    EXPECT_EQ(entry(boxed.annotation, "Subtype"), "/FreeText");
    EXPECT_EQ(entry(boxed.annotation, "Contents"), "(Hi)");
    EXPECT_EQ(entry(boxed.annotation, "DA"), "(/Helv 12.5 Tf 1 0 0 rg)");
    EXPECT_EQ(entry(boxed.annotation, "Q"), "0");
    EXPECT_EQ(entry(boxed.annotation, "BS"), "<</W 0.8 >>");
    const Output plain = serialize(item(TextShape{{100, 500}, spec("Hi", 12, false)}));
    EXPECT_EQ(entry(plain.annotation, "BS"), "<</W 0 >>");
    EXPECT_EQ(entry(plain.annotation, "DA"), "(/Helv 12 Tf 0.1 0.1 0.12 rg)");
}

TEST(SerializeText, FontSizeIsWrittenAsStoredNotClamped) {
    EXPECT_EQ(AnnotationSerializer::defaultAppearance(900, RGBA(0, 0, 0, 1)), "/Helv 900 Tf 0 0 0 rg");
}

TEST(SerializeRotate, OnlyTextAndLabelledArrowsCarryTheirRotation) {
    EXPECT_EQ(entry(serialize(item(TextShape{{100, 500}, spec("Hi")}, RGBA::defaultInk(), 1, 90)).annotation,
                    "Rotate"),
              "90");
    EXPECT_EQ(
        entry(
            serialize(item(ArrowShape{{10, 10}, {90, 90}, spec("L")}, RGBA::defaultInk(), 1, 270)).annotation,
            "Rotate"),
        "270");
    EXPECT_FALSE(serialize(item(ArrowShape{{10, 10}, {90, 90}, std::nullopt}, RGBA::defaultInk(), 1, 90))
                     .annotation.contains("Rotate"));
    EXPECT_FALSE(serialize(item(InkShape{InkKind::pen, {{{1, 1}}}}, RGBA::defaultInk(), 1, 90))
                     .annotation.contains("Rotate"));
    EXPECT_FALSE(serialize(item(NoteShape{{100, 700}, {140, 700}, spec("n")}, RGBA::defaultInk(), 1, 90))
                     .annotation.contains("Rotate"));
    EXPECT_FALSE(serialize(item(TextShape{{100, 500}, spec("Hi")})).annotation.contains("Rotate"));
    // Rotate sits between the shape's keys and AP.
    const std::vector<std::string> keys =
        serialize(item(TextShape{{1, 50}, spec("Hi")}, RGBA(), 1, 180)).annotation.keys();
    EXPECT_EQ(keys[keys.size() - 3], "Rotate");
}

TEST(SerializeArrow, WithoutLabelIsALineWithAnOpenTailAndClosedHead) {
    const Output out =
        serialize(item(ArrowShape{{10, 20}, {110, 20.5}, std::nullopt}, RGBA(0, 0, 1, 1), 1.5));
    EXPECT_EQ(entry(out.annotation, "Subtype"), "/Line");
    EXPECT_EQ(entry(out.annotation, "L"), "[10 20 110 20.5]");
    EXPECT_EQ(entry(out.annotation, "LE"), "[/None /ClosedArrow]");
    EXPECT_EQ(entry(out.annotation, "IC"), "[0 0 1]");
    EXPECT_EQ(entry(out.annotation, "BS"), "<</W 1.5 >>");
    EXPECT_FALSE(out.annotation.contains("Contents"));
}

TEST(SerializeArrow, WithLabelIsACalloutFromTheHeadToTheLabel) {
    const TextSpec label = spec("Look here", 10);
    const AnnotationItem arrow = item(ArrowShape{{100, 100}, {300, 200}, label}, RGBA(1, 0, 0, 1));
    const Output out = serialize(arrow);
    EXPECT_EQ(entry(out.annotation, "Subtype"), "/FreeText");
    EXPECT_EQ(entry(out.annotation, "Contents"), "(Look here)");
    EXPECT_EQ(entry(out.annotation, "DA"), "(/Helv 10 Tf 1 0 0 rg)");
    EXPECT_EQ(entry(out.annotation, "IT"), "/FreeTextCallout");
    EXPECT_EQ(entry(out.annotation, "CL"), "[300 200 100 100]");
    EXPECT_EQ(entry(out.annotation, "LE"), "/ClosedArrow");
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
    EXPECT_EQ(entry(out.annotation, "Subtype"), "/Text");
    EXPECT_EQ(entry(out.annotation, "Contents"), "(Check the figures)");
    EXPECT_EQ(entry(out.annotation, "Name"), "/Comment");
    EXPECT_EQ(entry(out.annotation, "Open"), "false");
    EXPECT_EQ(entry(out.annotation, "Popup"), "22 0 R");
    ASSERT_TRUE(out.popup);
    const std::vector<std::string> keys{"Type", "Subtype", "Rect", "P", "Parent", "Open"};
    EXPECT_EQ(out.popup->keys(), keys);
    EXPECT_EQ(entry(*out.popup, "Subtype"), "/Popup");
    EXPECT_EQ(entry(*out.popup, "Parent"), "20 0 R");
    EXPECT_EQ(entry(*out.popup, "Open"), "false");
    const Rect bubble = ItemGeometry::placeBubble(spec("Check the figures"), {140, 700}, 0).frame();
    const Rect popupRect = rectOf(*out.popup, "Rect");
    EXPECT_NEAR(popupRect.minX(), bubble.minX(), 1e-4);
    EXPECT_NEAR(popupRect.maxY(), bubble.maxY(), 1e-4);
}

TEST(SerializeNote, WithoutPopupReferencesNoPopupIsWritten) {
    const Output out = serialize(note());
    EXPECT_FALSE(out.popup);
    EXPECT_FALSE(out.annotation.contains("Popup"));
}

TEST(SerializeNote, CollapsedRectCoversAViewerIconAndBBoxFollowsIt) {
    const Output out = serialize(note(), false, kPopup);
    const Rect rect = rectOf(out.annotation, "Rect");
    EXPECT_TRUE(rect.contains(Rect{98, 678, 24, 24})) << written(*out.annotation.find("Rect"));
    // The icon is drawn in page space; a BBox narrower than the Rect would
    // stretch it in every other viewer.
    EXPECT_EQ(entry(out.appearance.dict, "BBox"), entry(out.annotation, "Rect"));
    EXPECT_EQ(entry(out.appearance.dict, "Matrix"), "[1 0 0 1 0 0]");
    // The bubble is not part of a collapsed note's appearance.
    EXPECT_LT(rect.maxX(), 130);
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
    const AnnotationItem i = pen();
    const Output normal = serialize(i, false);
    const Output stamped = serialize(i, true);
    EXPECT_EQ(normal.annotation, stamped.annotation);
    EXPECT_EQ(normal.appearance, stamped.appearance);
}

TEST(OwnItem, IsRestoredFromTheWrittenPayloadAlone) {
    const AnnotationItem i = pen(InkKind::signature);
    PDFDictionary written = serialize(i).annotation;
    // Other keys changed by another tool do not matter.
    written.set("NM", PDFValue::text("something-else"));
    written.set("Subtype", PDFValue::name("Square"));
    EXPECT_EQ(AnnotationSerializer::ownItem(written), ItemCodec::decode(ItemCodec::encode(i)));
    EXPECT_EQ(AnnotationSerializer::ownItem(written)->id, i.id);
}

TEST(OwnItem, AnnotationsWithoutADecodablePayloadAreForeign) {
    PDFDictionary d = serialize(pen()).annotation;
    d.set("QuilletItem", std::nullopt);
    EXPECT_FALSE(AnnotationSerializer::ownItem(d));
    d.set("QuilletItem", PDFValue::name(ItemCodec::encode(pen())));
    EXPECT_FALSE(AnnotationSerializer::ownItem(d));
    d.set("QuilletItem", PDFValue::string("QLT1:not base64"));
    EXPECT_FALSE(AnnotationSerializer::ownItem(d));
    d.set("QuilletItem", PDFValue::string("qlt1:" + ItemCodec::encode(pen()).substr(5)));
    EXPECT_FALSE(AnnotationSerializer::ownItem(d));
}
