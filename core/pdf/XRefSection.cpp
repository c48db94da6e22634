#include "core/pdf/XRefSection.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "core/pdf/PDFLexer.h"
#include "core/pdf/PDFReaderError.h"

namespace quillet::XRefSection {

namespace {

int64_t sizeOf(std::string_view bytes) {
    return static_cast<int64_t>(bytes.size());
}

unsigned char byteAt(std::string_view bytes, int64_t pos) {
    return static_cast<unsigned char>(bytes[static_cast<size_t>(pos)]);
}

bool isDigit(unsigned char c) {
    return c >= '0' && c <= '9';
}

// Whether a keyword found at `at` starts a token of its own.
bool startsToken(std::string_view bytes, int64_t at) {
    if (at == 0) return true;
    unsigned char before = byteAt(bytes, at - 1);
    return PDFLexer::isWhitespace(before) || PDFLexer::isDelimiter(before);
}

int64_t skipWhitespaceAndComments(std::string_view bytes, int64_t pos) {
    PDFLexer lexer(bytes, pos);
    lexer.skipWhitespace();
    return lexer.pos;
}

// Table fields are plain digit runs read straight from the mapping: this is
// the hot loop of opening a file with a million-entry table.
class DigitScanner {
  public:
    DigitScanner(std::string_view bytes, int64_t pos) : bytes_(bytes), pos(pos) {}

    void skipBlanks() {
        while (pos < sizeOf(bytes_) && PDFLexer::isWhitespace(byteAt(bytes_, pos))) ++pos;
    }
    // A run of 1 to kMaxDigits digits; absent when empty or longer.
    std::optional<int64_t> digits() {
        int64_t start = pos;
        int64_t value = 0;
        while (pos < sizeOf(bytes_) && isDigit(byteAt(bytes_, pos))) {
            if (pos - start == kMaxDigits) return std::nullopt;
            value = value * 10 + (byteAt(bytes_, pos) - '0');
            ++pos;
        }
        if (pos == start) return std::nullopt;
        return value;
    }

    std::string_view bytes_;
    int64_t pos;
};

std::string at(int64_t offset) {
    return std::to_string(offset);
}

}  // namespace

std::optional<ObjectHeader> readObjectHeader(std::string_view bytes, int64_t pos) {
    if (pos < 0 || pos >= sizeOf(bytes)) return std::nullopt;
    std::string_view view =
        bytes.substr(0, static_cast<size_t>(std::min(sizeOf(bytes), pos + kObjectHeaderSpan)));
    PDFLexer lexer(view, pos);
    std::optional<int64_t> num = lexer.readInt();
    if (!num) return std::nullopt;
    std::optional<int64_t> gen = lexer.readInt();
    if (!gen) return std::nullopt;
    std::optional<std::string> keyword = lexer.readToken();
    if (!keyword || *keyword != "obj") return std::nullopt;
    return ObjectHeader{*num, *gen, lexer.pos};
}

int64_t findHeader(std::string_view bytes) {
    const size_t at = bytes.substr(0, static_cast<size_t>(kHeaderSearchSpan)).find("%PDF-");
    return at == std::string_view::npos ? 0 : static_cast<int64_t>(at);
}

bool sectionStartsAt(std::string_view bytes, int64_t pos) {
    if (pos < 0 || pos >= sizeOf(bytes)) return false;
    if (bytes.compare(static_cast<size_t>(pos), 4, "xref") == 0) return true;
    auto header = readObjectHeader(bytes, pos);
    return header && header->num >= 0 && header->gen >= 0;
}

int64_t findStartXref(std::string_view bytes) {
    constexpr std::string_view kKeyword = "startxref";
    const int64_t size = sizeOf(bytes);
    const auto keywordLength = static_cast<int64_t>(kKeyword.size());
    if (size < keywordLength) throw PDFReaderError::noStartXref();
    for (int64_t window : kStartXrefWindows) {
        int64_t low = std::max<int64_t>(0, size - window);
        for (int64_t pos = size - keywordLength; pos >= low; --pos) {
            if (byteAt(bytes, pos) != 's' ||
                bytes.compare(static_cast<size_t>(pos), kKeyword.size(), kKeyword) != 0)
                continue;
            PDFLexer lexer(bytes, pos + keywordLength);
            std::optional<int64_t> value = lexer.readInt();
            if (value && *value >= 0 && *value < size) return *value;
        }
        if (low == 0) break;
    }
    throw PDFReaderError::noStartXref();
}

Location locate(std::string_view bytes, int64_t offset) {
    const int64_t size = sizeOf(bytes);
    if (offset < 0 || offset >= size)
        throw PDFReaderError::badXref("offset " + at(offset) + " outside the file");
    int64_t pos = skipWhitespaceAndComments(bytes, offset);
    PDFLexer lexer(bytes, pos);
    if (lexer.matches("xref", pos)) return {pos, false};
    if (auto header = readObjectHeader(bytes, pos); header && header->num >= 0 && header->gen >= 0)
        return {pos, true};

    // The recorded offset is off: take the nearest "xref" keyword around it.
    int64_t low = std::max(offset, kSectionSearchSpan) - kSectionSearchSpan;
    int64_t high = std::min(offset + kSectionSearchSpan, size - 4);
    int64_t best = -1;
    for (int64_t candidate = low; candidate < high; ++candidate) {
        if (byteAt(bytes, candidate) != 'x' || !lexer.matches("xref", candidate) ||
            !startsToken(bytes, candidate))
            continue;
        if (best < 0 || std::abs(candidate - offset) < std::abs(best - offset)) best = candidate;
    }
    if (best < 0) throw PDFReaderError::badXref("no section at " + at(offset));
    return {best, false, true};
}

PDFDictionary readTable(std::string_view bytes, int64_t start, XRefTable& table, std::vector<int64_t>* freed,
                        ReaderWarnings* warnings) {
    auto note = [&](std::string text) {
        if (warnings) warnings->add(std::move(text));
    };
    const int64_t size = sizeOf(bytes);
    DigitScanner scan(bytes, start + 4);
    for (;;) {
        scan.pos = skipWhitespaceAndComments(bytes, scan.pos);
        PDFLexer lexer(bytes, scan.pos);
        if (lexer.matches("trailer", scan.pos)) {
            lexer.pos = scan.pos + 7;
            PDFValue trailer = lexer.parseValue(0);
            if (const PDFDictionary* dict = trailer.dictValue()) return *dict;
            throw PDFReaderError::badXref("trailer is not a dictionary");
        }

        scan.skipBlanks();
        std::optional<int64_t> first = scan.digits();
        if (first) scan.skipBlanks();
        std::optional<int64_t> count = first ? scan.digits() : std::nullopt;
        if (!count || *first >= XRefTable::kMaxObjects || *count >= XRefTable::kMaxObjects)
            throw PDFReaderError::badXref("subsection header at " + at(scan.pos));
        int64_t firstNum = *first;
        // An entry takes at least four bytes ("1 0n"), which bounds what a
        // hostile count can make us reserve.
        table.reserve(firstNum + std::min(*count, (size - scan.pos) / 4));

        for (int64_t i = 0; i < *count; ++i) {
            scan.skipBlanks();
            std::optional<int64_t> offset = scan.digits();
            if (offset) scan.skipBlanks();
            std::optional<int64_t> gen = offset ? scan.digits() : std::nullopt;
            if (!gen) throw PDFReaderError::badXref("entry at " + at(scan.pos));
            scan.skipBlanks();
            if (scan.pos < size && byteAt(bytes, scan.pos) == '%')
                scan.pos = skipWhitespaceAndComments(bytes, scan.pos);
            if (scan.pos >= size) throw PDFReaderError::badXref("truncated");
            unsigned char type = byteAt(bytes, scan.pos++);

            // Some writers number the first subsection from 1 although its
            // first entry is object 0's free-list head.
            if (i == 0 && firstNum == 1 && type == 'f' && *offset == 0 && *gen == XRefTable::kMaxGeneration) {
                note("cross-reference table at " + at(start) + " numbered from 1, read from 0");
                if (*count == 1) break;
                firstNum = 0;
                continue;
            }
            if (type == 'n' && *offset > 0)
                table.store(firstNum + i,
                            XRefEntry::inFile(*offset, std::min(*gen, XRefTable::kMaxGeneration)));
            else if (type == 'f' && freed)
                freed->push_back(firstNum + i);
            else if (type == 'f')
                table.store(firstNum + i, XRefEntry::deleted());
            else
                note("entry for object " + std::to_string(firstNum + i) + " at " + at(scan.pos - 1) +
                     " skipped");
        }
    }
}

std::array<int, 3> streamWidths(const PDFDictionary& dict) {
    const PDFValue* w = dict.find("W");
    const PDFArray* items = w ? w->arrayValue() : nullptr;
    if (!items) throw PDFReaderError::badXref("bad /W");
    std::vector<int64_t> widths;
    for (const PDFValue& item : *items)
        if (auto width = item.intValue()) widths.push_back(*width);
    if (widths.size() < 3) throw PDFReaderError::badXref("bad /W");
    for (int64_t width : widths)
        if (width < 0 || width > kMaxFieldWidth) throw PDFReaderError::badXref("bad /W");
    return {static_cast<int>(widths[0]), static_cast<int>(widths[1]), static_cast<int>(widths[2])};
}

namespace {

std::vector<int64_t> streamSubsections(const PDFDictionary& dict) {
    std::vector<int64_t> pairs;
    const PDFValue* index = dict.find("Index");
    if (const PDFArray* items = index ? index->arrayValue() : nullptr) {
        for (const PDFValue& item : *items)
            if (auto n = item.intValue()) pairs.push_back(*n);
    } else if (const PDFValue* size = dict.find("Size"); size && size->intValue()) {
        pairs = {0, *size->intValue()};
    }
    if (pairs.size() % 2 != 0) pairs.pop_back();
    return pairs;
}

uint64_t readField(const unsigned char* row, int width, uint64_t absent) {
    if (width == 0) return absent;
    uint64_t value = 0;
    for (int k = 0; k < width; ++k) value = (value << 8) | row[k];
    return value;
}

void storeRow(XRefTable& table, int64_t num, uint64_t type, uint64_t second, uint64_t third) {
    constexpr auto kLimit = static_cast<uint64_t>(XRefTable::kLocationLimit);
    if (second >= kLimit) return;
    if (type == 1 && second > 0) {
        auto gen = static_cast<int64_t>(std::min<uint64_t>(third, XRefTable::kMaxGeneration));
        table.store(num, XRefEntry::inFile(static_cast<int64_t>(second), gen));
    } else if (type == 2 && third < static_cast<uint64_t>(XRefTable::kIndexLimit)) {
        table.store(num,
                    XRefEntry::inObjectStream(static_cast<int64_t>(second), static_cast<int64_t>(third)));
    } else if (type == 0) {
        table.store(num, XRefEntry::deleted());
    }
}

}  // namespace

void readStreamRows(const PDFDictionary& dict, const std::array<int, 3>& widths, std::string_view decoded,
                    XRefTable& table) {
    const int64_t rowSize = int64_t{widths[0]} + widths[1] + widths[2];
    if (rowSize < 1) throw PDFReaderError::badXref("empty row");
    const int64_t rowCount = sizeOf(decoded) / rowSize;
    const auto* data = reinterpret_cast<const unsigned char*>(decoded.data());
    std::vector<int64_t> pairs = streamSubsections(dict);
    int64_t row = 0;
    for (size_t p = 0; p < pairs.size(); p += 2) {
        int64_t first = pairs[p];
        int64_t count = pairs[p + 1];
        if (first >= XRefTable::kMaxObjects || count > XRefTable::kMaxObjects || count <= 0) continue;
        if (first >= 0) table.reserve(first + std::min(count, rowCount - row));
        for (int64_t i = 0; i < count && row < rowCount; ++i, ++row) {
            const unsigned char* fields = data + row * rowSize;
            uint64_t type = readField(fields, widths[0], 1);
            uint64_t second = readField(fields + widths[0], widths[1], 0);
            uint64_t third = readField(fields + widths[0] + widths[1], widths[2], 0);
            storeRow(table, first + i, type, second, third);
        }
    }
}

}  // namespace quillet::XRefSection
