// The byte strings a typed password is tried as. Every opener (our reader,
// and the application's Poppler and qpdf documents) tries the same ones in
// the same order, so a password that opens a file in one opens it in all.
#pragma once

#include <string_view>
#include <vector>

#include "core/pdf/PDFValue.h"

namespace quillet {

// `text` (UTF-8) as its own bytes first, which AES-256 files expect, then as
// Latin-1 when every character has a Latin-1 byte and that form differs: what
// older files made with a single-byte encoding expect. Text that is not UTF-8
// is tried only as it is.
std::vector<Bytes> passwordForms(std::string_view text);

}  // namespace quillet
