// Serializes the value model into PDF syntax, appending to a caller's buffer.
#pragma once

#include <cstdint>
#include <string_view>

#include "core/pdf/PDFValue.h"

namespace quillet::PDFWriter {

void write(const PDFValue& value, Bytes& out);
void writeDictionary(const PDFDictionary& dict, Bytes& out);
void writeName(std::string_view name, Bytes& out);
void writeString(std::string_view bytes, Bytes& out);
void writeObject(int64_t num, int64_t gen, const PDFValue& value, Bytes& out);
// Sets /Length to data's size (in place when present), then writes the object.
void writeStream(int64_t num, int64_t gen, PDFDictionary dict, std::string_view data, Bytes& out);

}  // namespace quillet::PDFWriter
