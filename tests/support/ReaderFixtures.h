// Shorthands for the reader's tests: files written to a folder and opened,
// and the one-page skeleton most hand-made files start from.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "core/pdf/PDFFileReader.h"
#include "support/ErrorText.h"
#include "support/PdfFixtures.h"
#include "support/TempDir.h"

namespace quillet::testing {

inline PDFValue ref(int64_t num) {
    return PDFValue::ref(num, 0);
}
inline PDFValue num(int64_t n) {
    return PDFValue::integer(n);
}
inline PDFDictionary rootTrailer(int64_t size) {
    return {{"Size", num(size)}, {"Root", ref(1)}};
}

inline std::shared_ptr<PDFFileReader> openBytes(const TempDir& dir, const Bytes& bytes,
                                                std::string_view name = "doc.pdf") {
    writeFile(dir.file(name), bytes);
    return PDFFileReader::open(dir.file(name));
}

// Catalog 1, page tree 2, its one page 3.
inline void addSkeleton(PdfBuilder& b) {
    b.add(1, PDFValue::dict({{"Type", PDFValue::name("Catalog")}, {"Pages", ref(2)}}));
    b.add(2,
          PDFValue::dict(
              {{"Type", PDFValue::name("Pages")}, {"Kids", PDFValue::array({ref(3)})}, {"Count", num(1)}}));
    b.add(3, PDFValue::dict({{"Type", PDFValue::name("Page")}, {"Parent", ref(2)}}));
}

// Ends `b` with a cross-reference stream, object 4 at the current end, whose
// dictionary is Type, Size 5, Root and then `extra`; then startxref.
inline void finishWithHandMadeXRefStream(PdfBuilder& b, const PDFDictionary& extra, std::string_view rows) {
    const int64_t at = b.length();
    PDFDictionary dict{{"Type", PDFValue::name("XRef")}, {"Size", num(5)}, {"Root", ref(1)}};
    for (const auto& [key, value] : extra.entries()) dict.set(key, value);
    b.addStream(4, dict, rows);
    b.appendStartXref(at);
}

// A test whose file `b` starts with the skeleton.
class SkeletonFileTest : public ::testing::Test {
  protected:
    SkeletonFileTest() { addSkeleton(b); }
    std::shared_ptr<PDFFileReader> open() { return openBytes(dir, b.bytes()); }
    std::string openError() {
        return errorOf([&] { open(); });
    }

    TempDir dir;
    PdfBuilder b;
};

}  // namespace quillet::testing
