// Signed PDF files for the tests that an update keeps a signature valid: a
// self-signed certificate in a private NSS database, poppler's pdfsig to sign
// and to verify, qpdf to give the file a form pdfsig signs.
#pragma once

#include <filesystem>
#include <string>

#include "support/TempDir.h"

namespace quillet::testing {

class PdfSigner {
  public:
    // qpdf, pdfsig and certutil are all installed.
    static bool available();

    // Makes the database and the certificate in `dir`; ready() tells whether that worked.
    explicit PdfSigner(const TempDir& dir);
    bool ready() const { return ready_; }

    // Writes `plain`, rewritten by qpdf and signed, to `signedFile`.
    bool sign(const std::filesystem::path& plain, const std::filesystem::path& signedFile) const;
    // pdfsig finds every signature of `file` valid.
    bool verifies(const std::filesystem::path& file) const;

  private:
    const TempDir& dir_;
    std::string database_;
    bool ready_ = false;
};

}  // namespace quillet::testing
