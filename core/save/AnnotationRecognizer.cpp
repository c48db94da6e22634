#include "core/save/AnnotationRecognizer.h"

#include <unordered_map>
#include <vector>

#include "core/markup/AnnotationSerializer.h"

namespace quillet::AnnotationRecognizer {

namespace {

using AnnotationSerializer::payloadKey;

// What the first pass made of one entry of the old array.
enum class Verdict { retained, dropped, popupCandidate };

struct Examined {
    Verdict verdict = Verdict::retained;
    std::optional<PDFRef> parent;  // a pop-up candidate's /Parent
};

// The resolved value, or absent when the file cannot give it: a damaged
// annotation is kept as foreign rather than failing the save.
std::optional<PDFValue> resolveQuietly(const PDFValue& value, PDFFileReader& reader) {
    try {
        return reader.resolve(value);
    } catch (const PDFReaderError&) {
    } catch (const PDFParseError&) {
    } catch (const FlateError&) {
    }
    return std::nullopt;
}

// The payload text and its item when the dictionary carries a valid one.
std::optional<std::pair<std::string, AnnotationItem>> payloadOf(const PDFDictionary& dict) {
    std::optional<AnnotationItem> item = AnnotationSerializer::ownItem(dict);
    if (!item) return std::nullopt;
    return std::pair{*dict.find(payloadKey)->stringBytes(), std::move(*item)};
}

// The /Parent of a pop-up annotation that carries no payload string.
std::optional<PDFRef> popupParent(const PDFDictionary& dict) {
    const PDFValue* payload = dict.find(payloadKey);
    if (payload && payload->stringBytes()) return std::nullopt;
    const PDFValue* subtype = dict.find("Subtype");
    const PDFValue* parent = dict.find("Parent");
    if (!subtype || !subtype->isName("Popup") || !parent) return std::nullopt;
    return parent->refValue();
}

Examined examine(const PDFValue& entry, RecognizedAnnotations& found, PDFFileReader& reader) {
    if (const PDFDictionary* inlineDict = entry.dictValue())
        return {inlineDict->contains(payloadKey) ? Verdict::dropped : Verdict::retained, {}};
    std::optional<PDFRef> ref = entry.refValue();
    if (!ref) return {};
    std::optional<PDFValue> resolved = resolveQuietly(entry, reader);
    const PDFDictionary* dict = resolved ? resolved->dictValue() : nullptr;
    if (!dict) return {};
    if (auto payload = payloadOf(*dict)) {
        found.appRefs.insert(*ref);
        const PDFValue* popup = dict->find("Popup");
        std::optional<PDFRef> popupRef = popup ? popup->refValue() : std::nullopt;
        found.existing.try_emplace(payload->second.id, ExistingAnnotation{*ref, payload->first, popupRef});
        return {Verdict::dropped, {}};
    }
    if (std::optional<PDFRef> parent = popupParent(*dict)) return {Verdict::popupCandidate, parent};
    return {};
}

// A pop-up belongs to the application when its parent is one of the
// application's annotations, listed on this page or not.
bool isAppParent(const PDFRef& parent, const RecognizedAnnotations& found, PDFFileReader& reader) {
    if (found.appRefs.contains(parent)) return true;
    std::optional<PDFValue> value = resolveQuietly(PDFValue::ref(parent), reader);
    const PDFDictionary* dict = value ? value->dictValue() : nullptr;
    return dict && payloadOf(*dict);
}

}  // namespace

RecognizedAnnotations scan(const PDFArray& annots, PDFFileReader& reader) {
    RecognizedAnnotations found;
    std::vector<Examined> verdicts;
    verdicts.reserve(annots.size());
    // A reference listed again gets the first one's verdict: its payload is
    // decoded once.
    std::unordered_map<PDFRef, Examined, PDFRefHash> examinedRefs;
    for (const PDFValue& entry : annots) {
        std::optional<PDFRef> ref = entry.refValue();
        if (!ref) {
            verdicts.push_back(examine(entry, found, reader));
            continue;
        }
        auto known = examinedRefs.find(*ref);
        if (known == examinedRefs.end())
            known = examinedRefs.emplace(*ref, examine(entry, found, reader)).first;
        verdicts.push_back(known->second);
    }
    // Pop-ups are judged after the scan, when every parent on the page is known.
    for (size_t i = 0; i < annots.size(); ++i) {
        const Examined& examined = verdicts[i];
        if (examined.verdict == Verdict::dropped) continue;
        if (examined.verdict == Verdict::popupCandidate && isAppParent(*examined.parent, found, reader)) {
            found.popupParents[*annots[i].refValue()] = *examined.parent;
            continue;
        }
        found.retained.push_back(annots[i]);
    }
    return found;
}

}  // namespace quillet::AnnotationRecognizer
