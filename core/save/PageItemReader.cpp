#include "core/save/PageItemReader.h"

#include <set>
#include <string>
#include <unordered_set>

#include "core/markup/AnnotationSerializer.h"
#include "core/pdf/CoreError.h"

namespace quillet {

void PageItemReader::startPage() {
    pageInflated_ = 0;
    capped_ = false;
}

bool PageItemReader::spent() {
    if (pageInflated_ < payloadLimit_) return false;
    capped_ = true;
    return true;
}

std::optional<AnnotationItem> PageItemReader::item(const PDFRef& ref, const PDFDictionary& annotation) {
    if (auto known = decoded_.find(ref); known != decoded_.end()) return known->second;
    if (spent()) return std::nullopt;
    size_t inflated = 0;
    std::optional<AnnotationItem> found = AnnotationSerializer::ownItem(annotation, &inflated);
    pageInflated_ += inflated;
    return decoded_.emplace(ref, std::move(found)).first->second;
}

void PageItemReader::warnUnreadable(const PDFRef& ref, const CoreError& error) {
    reader_.warn(
        {ReaderWarning::Kind::item,
         "annotation object " + std::to_string(ref.num) + " unreadable (" + error.text() + "), left alone",
         ref.num});
}

std::optional<AnnotationItem> PageItemReader::item(const PDFValue& entry) {
    // Saving drops inline dictionaries that carry a payload and writes the
    // page's items afresh, as objects of their own.
    const std::optional<PDFRef> ref = entry.refValue();
    if (!ref) return std::nullopt;
    if (auto known = decoded_.find(*ref); known != decoded_.end()) return known->second;
    if (spent()) return std::nullopt;
    try {
        const PDFValue annotation = reader_.resolve(entry);
        if (const PDFDictionary* dict = annotation.dictValue()) return item(*ref, *dict);
    } catch (const CoreError& e) {
        warnUnreadable(*ref, e);  // foreign, not fatal
    }
    decoded_.emplace(*ref, std::nullopt);
    return std::nullopt;
}

std::vector<AnnotationItem> PageItemReader::pageItems(const PDFRef& page) {
    startPage();
    std::optional<PDFObject> object = reader_.object(page.num);
    const PDFDictionary* dict = object ? object->dictionary() : nullptr;
    const PDFValue* annots = dict ? dict->find("Annots") : nullptr;
    if (!annots) return {};
    const PDFValue array = reader_.resolve(*annots);
    if (!array.arrayValue()) return {};

    std::vector<AnnotationItem> items;
    std::set<UUID> seen;
    std::unordered_set<PDFRef, PDFRefHash> listed;
    for (const PDFValue& entry : *array.arrayValue()) {
        const std::optional<PDFRef> ref = entry.refValue();
        if (!ref || !listed.insert(*ref).second) continue;
        std::optional<AnnotationItem> found = item(entry);
        if (capped_) break;
        if (found && seen.insert(found->id).second) items.push_back(std::move(*found));
    }
    return items;
}

}  // namespace quillet
