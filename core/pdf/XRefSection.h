// Finding and reading the cross-reference sections of a PDF file over its
// mapped bytes: the startxref pointer, the position of a section (with a
// nearby search when the recorded offset is off), classic tables and the
// rows of cross-reference streams. Throws PDFReaderError.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "core/pdf/PDFValue.h"
#include "core/pdf/ReaderWarnings.h"
#include "core/pdf/XRefTable.h"

namespace quillet::XRefSection {

// Backward search windows for the startxref keyword, tried in turn.
inline constexpr std::array<int64_t, 3> kStartXrefWindows = {1'024, 16'384, 262'144};
// How far around a recorded section offset the xref keyword is looked for.
inline constexpr int64_t kSectionSearchSpan = 1'024;
// Digit runs of table fields, and the widths of stream fields.
inline constexpr int kMaxDigits = 18;
inline constexpr int kMaxFieldWidth = 8;
// Longest stretch an "N G obj" header may span; keeps a header check from
// scanning a hostile run of digits or blanks to the end of a huge file.
inline constexpr int64_t kObjectHeaderSpan = 1'024;

struct ObjectHeader {
    int64_t num = 0;
    int64_t gen = 0;
    int64_t end = 0;  // just after "obj"
};

// "N G obj" at pos (after optional whitespace and comments), or absent.
std::optional<ObjectHeader> readObjectHeader(std::string_view bytes, int64_t pos);

// Where "%PDF-" starts, looked for in the first kHeaderSearchSpan bytes;
// 0 when it is not found there.
inline constexpr int64_t kHeaderSearchSpan = 1'024;
int64_t findHeader(std::string_view bytes);

// Whether a section ("xref" or an "N G obj" header) starts exactly at pos.
bool sectionStartsAt(std::string_view bytes, int64_t pos);

// The offset that startxref names. Throws noStartXref.
int64_t findStartXref(std::string_view bytes);

struct Location {
    int64_t position = 0;  // where "xref" or the stream object's header starts
    bool isStream = false;
    bool searched = false;  // not at the recorded offset: found by the search around it
};

// Where the section recorded at `offset` really is. Throws badXref.
Location locate(std::string_view bytes, int64_t offset);

// Reads the classic table whose "xref" starts at `at` into `table` and
// returns its trailer dictionary. The numbers of its free entries go to
// `freed` when given (the caller stores them after the section's /XRefStm,
// whose entries complete the table), else straight into the table. Entries
// it skips or renumbers are noted in `warnings` when given. Throws badXref
// or PDFParseError.
PDFDictionary readTable(std::string_view bytes, int64_t at, XRefTable& table,
                        std::vector<int64_t>* freed = nullptr, ReaderWarnings* warnings = nullptr);

// The field widths of a cross-reference stream's /W. Throws badXref "bad /W".
std::array<int, 3> streamWidths(const PDFDictionary& dict);

// Reads the rows of a decoded cross-reference stream into `table`, for the
// subsections its /Index (or /Size) names. Throws badXref "empty row".
void readStreamRows(const PDFDictionary& dict, const std::array<int, 3>& widths, std::string_view decoded,
                    XRefTable& table);

}  // namespace quillet::XRefSection
