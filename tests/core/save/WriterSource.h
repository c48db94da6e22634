// Small hand-made sources where every object number and offset is known.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <vector>

#include "core/markup/AnnotationSerializer.h"
#include "core/markup/ItemCodec.h"
#include "core/pdf/Flate.h"
#include "support/PdfFixtures.h"

namespace quillet::testing {

class WriterSource {
  public:
    // Catalog 1, page tree 2, Info 3; page i is object 4 + 2i with its
    // content stream 5 + 2i. Objects a test adds are numbered from 20.
    explicit WriterSource(int pages = 1) : pages_(pages) {}

    static PDFRef page(int i) { return {4 + 2 * i, 0}; }

    PDFRef addObject(const PDFValue& value) {
        PDFRef ref{next_++, 0};
        objects_[ref.num] = value;
        return ref;
    }
    PDFRef addForeign(std::string_view subtype = "Square") {
        return addObject(
            PDFValue::dict({{"Type", PDFValue::name("Annot")},
                            {"Subtype", PDFValue::name(std::string(subtype))},
                            {"Rect", PDFValue::array({PDFValue::integer(10), PDFValue::integer(10),
                                                      PDFValue::integer(50), PDFValue::integer(50)})}}));
    }
    // The application's annotation of an item, numbered like a save does it:
    // annotation n, appearance n + 1, a note's pop-up n + 2.
    PDFRef addItem(const AnnotationItem& item, int pageIndex, std::optional<PDFRef> popupParent = {}) {
        PDFRef annotation{next_, 0};
        PDFRef appearance{next_ + 1, 0};
        PDFRef popup{next_ + 2, 0};
        next_ += item.isNote() ? 3 : 2;
        std::optional<AnnotationSerializer::PopupReferences> popups;
        if (item.isNote()) popups = AnnotationSerializer::PopupReferences{popup, annotation};
        auto output = AnnotationSerializer::serialize(item, page(pageIndex), appearance, popups, {}, false);
        objects_[annotation.num] = PDFValue::dict(output.annotation);
        streams_[appearance.num] = output.appearance;
        if (output.popup) {
            if (popupParent) output.popup->set("Parent", PDFValue::ref(*popupParent));
            objects_[popup.num] = PDFValue::dict(*output.popup);
        }
        return annotation;
    }
    void setAnnots(int pageIndex, PDFValue annots) { annots_[pageIndex] = std::move(annots); }

    Bytes build() {
        PdfBuilder b;
        PDFArray kids;
        for (int i = 0; i < pages_; ++i) kids.push_back(PDFValue::ref(page(i)));
        b.add(1, PDFValue::dict({{"Type", PDFValue::name("Catalog")}, {"Pages", PDFValue::ref(2, 0)}}));
        b.add(2, PDFValue::dict(
                     {{"Type", PDFValue::name("Pages")},
                      {"Kids", PDFValue::array(kids)},
                      {"Count", PDFValue::integer(pages_)},
                      {"MediaBox", PDFValue::array({PDFValue::integer(0), PDFValue::integer(0),
                                                    PDFValue::integer(612), PDFValue::integer(792)})}}));
        b.add(3, PDFValue::dict({{"Producer", PDFValue::string("fixture")}}));
        for (int i = 0; i < pages_; ++i) {
            PDFDictionary dict{{"Type", PDFValue::name("Page")},
                               {"Parent", PDFValue::ref(2, 0)},
                               {"Contents", PDFValue::ref(page(i).num + 1, 0)}};
            if (annots_.contains(i)) dict.set("Annots", annots_[i]);
            b.add(page(i).num, PDFValue::dict(dict));
            b.addStream(page(i).num + 1, {}, "0 0 1 rg 0 0 20 20 re f\n");
        }
        for (const auto& [num, value] : objects_) b.add(num, value);
        for (const auto& [num, stream] : streams_) b.addStream(num, stream.dict, stream.data);
        PDFDictionary trailer{{"Size", PDFValue::integer(next_)},
                              {"Root", PDFValue::ref(1, 0)},
                              {"Info", PDFValue::ref(3, 0)},
                              {"ID", PDFValue::array({PDFValue::string("0123456789abcdef"),
                                                      PDFValue::string("0123456789abcdef")})}};
        startXref_ = b.finishWithTable(trailer);
        return b.bytes();
    }
    int64_t startXref() const { return startXref_; }

  private:
    int pages_;
    int64_t next_ = 20;
    int64_t startXref_ = 0;
    std::map<int64_t, PDFValue> objects_;
    std::map<int64_t, PDFStream> streams_;
    std::map<int, PDFValue> annots_;
};

inline PDFValue refs(std::initializer_list<PDFRef> list) {
    PDFArray array;
    for (const PDFRef& r : list) array.push_back(PDFValue::ref(r));
    return PDFValue::array(array);
}

}  // namespace quillet::testing
