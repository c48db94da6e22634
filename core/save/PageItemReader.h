// The application's items on a file's pages, as listing and editing read
// them: an annotation is the application's when a page's /Annots references
// it and its "QuilletItem" payload decodes. Each annotation is decoded once
// per reader however often pages reference it, and decoding stops for a page
// once its payloads have inflated to a bound: a file of a few hundred
// kilobytes must not keep a reader busy for minutes.
#pragma once

#include <cstddef>
#include <optional>
#include <unordered_map>
#include <vector>

#include "core/markup/AnnotationItem.h"
#include "core/pdf/CoreError.h"
#include "core/pdf/PDFFileReader.h"
#include "core/pdf/PDFValue.h"

namespace quillet {

class PageItemReader {
  public:
    // Payload bytes inflated for one page at most. Real pages stay far
    // below: an item of the most points inflates to about 2 MB.
    static constexpr size_t kMaxPayloadBytesPerPage = size_t{256} << 20;

    explicit PageItemReader(PDFFileReader& reader, size_t payloadLimit = kMaxPayloadBytesPerPage)
        : reader_(reader), payloadLimit_(payloadLimit) {}

    // Begins a page: its budget is whole again and capped() false.
    void startPage();
    // The item of annotation `ref`, whose dictionary the caller resolved:
    // decoded at its first use, the same answer after. Absent for foreign or
    // damaged annotations, and for one not decoded yet once this page's
    // budget is spent (capped() then turns true).
    std::optional<AnnotationItem> item(const PDFRef& ref, const PDFDictionary& annotation);
    // The same for an /Annots entry, resolved here. Inline dictionaries are
    // never the application's, and unreadable annotations are foreign.
    std::optional<AnnotationItem> item(const PDFValue& entry);
    // Notes with the reader's warnings that annotation `ref` could not be
    // read and is left alone.
    void warnUnreadable(const PDFRef& ref, const CoreError& error);
    // Whether an annotation of this page was left undecoded.
    bool capped() const { return capped_; }
    size_t payloadLimit() const { return payloadLimit_; }

    // One page's items in /Annots order; of two carrying the same item id
    // the first wins, and a reference listed twice counts once. Begins the
    // page itself; when capped(), the items found before the bound.
    // Throws the reader's errors (CoreError) for a page it cannot read.
    std::vector<AnnotationItem> pageItems(const PDFRef& page);

  private:
    bool spent();

    PDFFileReader& reader_;
    size_t payloadLimit_;
    size_t pageInflated_ = 0;
    bool capped_ = false;
    std::unordered_map<PDFRef, std::optional<AnnotationItem>, PDFRefHash> decoded_;
};

}  // namespace quillet
