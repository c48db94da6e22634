// Decoding a stream's data through its /Filter chain. Only FlateDecode
// (with predictors) is supported; other filters are refused by name.
#pragma once

#include <functional>
#include <string_view>

#include "core/pdf/PDFValue.h"

namespace quillet {

// Follows indirect references (the reader passes its own resolve); must
// return the value unchanged when it is not a reference.
using PDFResolve = std::function<PDFValue(const PDFValue&)>;

// `data` is the stream's raw bytes, already decrypted. Throws
// PDFReaderError::unsupportedFilter (e.g. "unsupported filter DCTDecode")
// or FlateError. Inflation is capped at Flate::kStreamDataLimit.
Bytes decodeStream(const PDFDictionary& dict, std::string_view data, const PDFResolve& resolve);

}  // namespace quillet
