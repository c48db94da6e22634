#include "core/markup/AnnotationSerializer.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>

#include "core/markup/ItemAppearanceBuilder.h"
#include "core/markup/ItemCodec.h"
#include "core/markup/ItemGeometry.h"

namespace quillet::AnnotationSerializer {

namespace {

// /F: print the annotation with the page.
constexpr int64_t kPrintFlag = 4;
// The border of a boxed text, as the appearance draws it.
constexpr double kBoxedBorderWidth = 0.8;

// Colour components are written to 3 decimals, halves away from zero.
double round3(double v) {
    return std::round(v * 1000) / 1000;
}

PDFValue rectValue(const Rect& r) {
    return PDFValue::array({PDFValue::number(r.minX()), PDFValue::number(r.minY()),
                            PDFValue::number(r.maxX()), PDFValue::number(r.maxY())});
}

PDFValue colorValue(const RGBA& c) {
    return PDFValue::array(
        {PDFValue::number(round3(c.r)), PDFValue::number(round3(c.g)), PDFValue::number(round3(c.b))});
}

PDFValue pointsValue(std::initializer_list<Point> points) {
    PDFArray out;
    for (Point p : points) {
        out.push_back(PDFValue::number(p.x));
        out.push_back(PDFValue::number(p.y));
    }
    return PDFValue::array(std::move(out));
}

// Each quad as other readers expect it: upper-left, upper-right, lower-left,
// lower-right.
PDFValue quadPoints(const std::vector<Quad>& quads) {
    PDFArray out;
    out.reserve(quads.size() * 8);
    for (const Quad& q : quads) {
        for (Point p : {q.upperLeft, q.upperRight, q.lowerLeft, q.lowerRight}) {
            out.push_back(PDFValue::number(p.x));
            out.push_back(PDFValue::number(p.y));
        }
    }
    return PDFValue::array(std::move(out));
}

PDFValue borderStyle(double width, bool solid = false) {
    PDFDictionary bs{{"W", PDFValue::number(width)}};
    if (solid) bs.set("S", PDFValue::name("S"));
    return PDFValue::dict(std::move(bs));
}

PDFValue inkList(const std::vector<Stroke>& strokes) {
    PDFArray list;
    list.reserve(strokes.size());
    for (const Stroke& stroke : strokes) {
        PDFArray coordinates;
        coordinates.reserve(stroke.size() * 2);
        for (Point p : stroke) {
            coordinates.push_back(PDFValue::number(p.x));
            coordinates.push_back(PDFValue::number(p.y));
        }
        list.push_back(PDFValue::array(std::move(coordinates)));
    }
    return PDFValue::array(std::move(list));
}

std::string_view subtype(const AnnotationItem& item, bool stampMode) {
    if (stampMode) return "Stamp";
    switch (item.shape.shapeCase()) {
        case Shape::Case::ink:
            return "Ink";
        case Shape::Case::text:
            return "FreeText";
        case Shape::Case::arrow:
            return item.shape.arrow()->label ? "FreeText" : "Line";
        case Shape::Case::note:
            return "Text";
        case Shape::Case::markup:
            return pdfSubtype(item.shape.markup()->kind);
    }
    return "Ink";
}

// The free-text keys shared by text boxes and labelled arrows.
void addFreeText(PDFDictionary& d, const TextSpec& spec, const RGBA& color) {
    d.set("Contents", PDFValue::text(spec.text));
    d.set("DA", PDFValue::string(defaultAppearance(spec.fontSize, color)));
    d.set("Q", PDFValue::integer(0));
}

void addArrowKeys(PDFDictionary& d, const AnnotationItem& item, const ArrowShape& arrow, const Rect& rect) {
    if (!arrow.label) {
        d.set("L", pointsValue({arrow.from, arrow.to}));
        d.set("LE", PDFValue::array({PDFValue::name("None"), PDFValue::name("ClosedArrow")}));
        d.set("IC", colorValue(item.color));
        d.set("BS", borderStyle(item.lineWidth));
        return;
    }
    addFreeText(d, *arrow.label, item.color);
    d.set("IT", PDFValue::name("FreeTextCallout"));
    // The callout runs from the head back to the tail, where the label sits.
    d.set("CL", pointsValue({arrow.to, arrow.from}));
    d.set("LE", PDFValue::name("ClosedArrow"));
    const Rect label = ItemGeometry::placeLabel(*arrow.label, arrow.from, arrow.to, item.rotation).frame();
    auto margin = [](double m) { return PDFValue::number(std::max(m, 0.0)); };
    d.set("RD", PDFValue::array({margin(label.minX() - rect.minX()), margin(label.minY() - rect.minY()),
                                 margin(rect.maxX() - label.maxX()), margin(rect.maxY() - label.maxY())}));
    d.set("BS", borderStyle(item.lineWidth));
}

void addShapeKeys(PDFDictionary& d, const AnnotationItem& item, const Rect& rect, bool stampMode,
                  const std::optional<PopupReferences>& popup) {
    if (const InkShape* ink = item.shape.ink()) {
        d.set("BS", borderStyle(item.lineWidth, true));
        d.set("InkList", inkList(ink->strokes));
        if (ink->kind == InkKind::signature) d.set("Subj", PDFValue::text("Signature"));
    } else if (const TextShape* text = item.shape.text()) {
        addFreeText(d, text->spec, item.color);
        d.set("BS", borderStyle(text->spec.boxed ? kBoxedBorderWidth : 0));
    } else if (const ArrowShape* arrow = item.shape.arrow()) {
        addArrowKeys(d, item, *arrow, rect);
    } else if (const NoteShape* note = item.shape.note()) {
        d.set("Contents", PDFValue::text(note->spec.text));
        if (stampMode) return;
        d.set("Name", PDFValue::name("Comment"));
        d.set("Open", PDFValue::boolean(false));
        if (popup) d.set("Popup", PDFValue::ref(popup->popup));
    } else if (const TextMarkupShape* markup = item.shape.markup()) {
        d.set("QuadPoints", quadPoints(markup->quads));
        // What a viewer shows when the markup is opened: the user's comment,
        // else the text it marks.
        d.set("Contents", PDFValue::text(markup->comment.empty() ? markup->text : markup->comment));
        d.set("CA", PDFValue::number(std::clamp(round3(item.color.a), 0.0, 1.0)));
    }
}

bool writesRotate(const AnnotationItem& item) {
    if (item.rotation == 0) return false;
    const ArrowShape* arrow = item.shape.arrow();
    return item.shape.text() != nullptr || (arrow != nullptr && arrow->label.has_value());
}

PDFDictionary popupDictionary(const NoteShape& note, int64_t rotation, std::optional<PDFRef> page,
                              PDFRef parent) {
    PDFDictionary d{{"Type", PDFValue::name("Annot")}, {"Subtype", PDFValue::name("Popup")}};
    d.set("Rect", rectValue(ItemGeometry::placeBubble(note.spec, note.bubble, rotation).frame()));
    if (page) d.set("P", PDFValue::ref(*page));
    d.set("Parent", PDFValue::ref(parent));
    d.set("Open", PDFValue::boolean(false));
    return d;
}

}  // namespace

Rect annotationRect(const AnnotationItem& item, const Rect& bounds, bool stampMode) {
    Rect rect = bounds;
    // Markup over text covers its quads whole, whatever its lines paint.
    if (const TextMarkupShape* markup = item.shape.markup(); markup && !boundsOf(markup->quads).isNull())
        rect = rect.united(boundsOf(markup->quads).integral());
    // Some viewers drop an annotation whose Rect has no area.
    if (rect.isNull())
        rect = Rect{0, 0, 1, 1};
    else if (rect.isEmpty())
        rect = Rect{rect.minX(), rect.minY(), 1, 1};
    const NoteShape* note = item.shape.note();
    if (note && !stampMode) {
        const Rect icon = ItemGeometry::noteIconFrame(note->anchor, item.rotation);
        const double half = noteIconRectSide / 2;
        rect = rect.united(Rect{icon.midX() - half, icon.midY() - half, noteIconRectSide, noteIconRectSide});
    }
    return rect;
}

Output serialize(const AnnotationItem& item, std::optional<PDFRef> page, PDFRef appearance,
                 std::optional<PopupReferences> popupReferences, std::optional<std::string_view> payload,
                 bool notesAsStamps) {
    const bool stampMode = notesAsStamps && item.isNote();
    const ItemAppearance drawn = ItemAppearanceBuilder::build(item, stampMode);
    const Rect rect = annotationRect(item, drawn.bounds, stampMode);
    // Viewers map the appearance's BBox onto Rect: where Rect is wider than
    // what is drawn, a BBox of the drawn bounds alone would be stretched
    // over it. A BBox equal to Rect keeps the drawing where it belongs.
    std::optional<Rect> bbox;
    if (rect != drawn.bounds) bbox = rect;
    ItemAppearanceBuilder::FormXObject form = ItemAppearanceBuilder::formXObject(drawn, bbox);

    PDFDictionary d{{"Type", PDFValue::name("Annot")},
                    {"Subtype", PDFValue::name(std::string(subtype(item, stampMode)))}};
    d.set("Rect", rectValue(rect));
    if (page) d.set("P", PDFValue::ref(*page));
    d.set("F", PDFValue::integer(kPrintFlag));
    std::string nm = item.id.text();
    std::transform(nm.begin(), nm.end(), nm.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    d.set("NM", PDFValue::text(nm));
    d.set("M", PDFValue::text(pdfDate(item.modified)));
    d.set("C", colorValue(item.color));
    addShapeKeys(d, item, rect, stampMode, popupReferences);
    if (writesRotate(item)) d.set("Rotate", PDFValue::integer(item.rotation));
    d.set("AP", PDFValue::dict(PDFDictionary{{"N", PDFValue::ref(appearance)}}));
    d.set(payloadKey, PDFValue::string(payload ? std::string(*payload) : ItemCodec::encode(item)));

    Output out{std::move(d), PDFStream{std::move(form.dict), std::move(form.data)}, std::nullopt};
    const NoteShape* note = item.shape.note();
    if (note && !stampMode && popupReferences)
        out.popup = popupDictionary(*note, item.rotation, page, popupReferences->annotation);
    return out;
}

std::optional<AnnotationItem> ownItem(const PDFDictionary& annotation, size_t* inflatedBytes) {
    if (inflatedBytes) *inflatedBytes = 0;
    const PDFValue* value = annotation.find(payloadKey);
    const Bytes* payload = value ? value->stringBytes() : nullptr;
    if (!payload || !ItemCodec::isPayload(*payload)) return std::nullopt;
    return ItemCodec::decode(*payload, inflatedBytes);
}

std::string pdfDate(std::chrono::sys_seconds time) {
    using namespace std::chrono;
    const sys_seconds first = sys_days{year{0} / January / 1};
    const sys_seconds last = sys_days{year{9999} / December / 31} + hours{23} + minutes{59} + seconds{59};
    time = std::clamp(time, first, last);
    const sys_days day = floor<days>(time);
    const year_month_day ymd{day};
    const hh_mm_ss<seconds> hms{time - day};
    char text[32];
    std::snprintf(text, sizeof text, "D:%04d%02u%02u%02lld%02lld%02lldZ", static_cast<int>(ymd.year()),
                  static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()),
                  static_cast<long long>(hms.hours().count()), static_cast<long long>(hms.minutes().count()),
                  static_cast<long long>(hms.seconds().count()));
    return text;
}

std::string defaultAppearance(double fontSize, const RGBA& color) {
    return "/Helv " + formatReal(fontSize) + " Tf " + formatReal(round3(color.r)) + " " +
           formatReal(round3(color.g)) + " " + formatReal(round3(color.b)) + " rg";
}

}  // namespace quillet::AnnotationSerializer
