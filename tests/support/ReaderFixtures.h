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
