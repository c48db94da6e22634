#include "core/save/XRefWriter.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "core/pdf/Flate.h"
#include "core/pdf/PDFWriter.h"

namespace quillet::XRefWriter {

namespace {

// A run of consecutive object numbers.
struct Subsection {
    int64_t first = 0;
    std::vector<Entry> entries;
};

// Sorted by number; a repeated number keeps the entry recorded last.
std::vector<Subsection> group(std::vector<Entry> entries) {
    std::stable_sort(entries.begin(), entries.end(),
                     [](const Entry& a, const Entry& b) { return a.num < b.num; });
    std::vector<Subsection> groups;
    for (const Entry& entry : entries) {
        if (!groups.empty()) {
            Entry& last = groups.back().entries.back();
            if (entry.num == last.num) {
                last = entry;
                continue;
            }
            if (entry.num == last.num + 1) {
                groups.back().entries.push_back(entry);
                continue;
            }
        }
        groups.push_back({entry.num, {entry}});
    }
    return groups;
}

PDFDictionary trailerEntries(const Source& source, int64_t size) {
    PDFDictionary trailer;
    for (const char* key : {"Root", "Info", "ID", "Encrypt"}) {
        if (const PDFValue* value = source.trailer->find(key)) trailer.set(key, *value);
    }
    if (!source.listsEverything) trailer.set("Prev", PDFValue::integer(source.startXref - source.origin));
    trailer.set("Size", PDFValue::integer(size));
    return trailer;
}

void appendTable(const std::vector<Subsection>& groups, const PDFDictionary& trailer, Bytes& out) {
    out += "xref\n";
    char line[64];
    for (const Subsection& group : groups) {
        out += std::to_string(group.first) + " " + std::to_string(group.entries.size()) + "\n";
        for (const Entry& entry : group.entries) {
            const bool used = entry.type == Entry::Type::inUse;
            std::snprintf(line, sizeof line, "%010lld %05lld %c\r\n",
                          static_cast<long long>(used ? entry.offset : 0), static_cast<long long>(entry.gen),
                          used ? 'n' : 'f');
            out += line;
        }
    }
    out += "trailer\n";
    PDFWriter::writeDictionary(trailer, out);
    out += "\n";
}

void appendBigEndian(uint64_t value, int width, Bytes& out) {
    for (int shift = (width - 1) * 8; shift >= 0; shift -= 8)
        out.push_back(static_cast<char>(value >> shift));
}

// Bytes that hold `value` big-endian, at least `minimum`.
int widthOf(uint64_t value, int minimum) {
    int width = minimum;
    while (width < 8 && (value >> (8 * width)) != 0) ++width;
    return width;
}

void appendStream(const std::vector<Subsection>& groups, PDFDictionary trailer, int64_t num, int64_t offset,
                  Bytes& out) {
    const int width = offset < kWideOffsetLimit ? 4 : 8;
    // Generations fit two bytes; an index in a large object stream may not.
    int thirdWidth = 2;
    for (const Subsection& group : groups)
        for (const Entry& entry : group.entries)
            thirdWidth = std::max(thirdWidth, widthOf(static_cast<uint64_t>(entry.gen), 2));
    Bytes rows;
    PDFArray index;
    for (const Subsection& group : groups) {
        index.push_back(PDFValue::integer(group.first));
        index.push_back(PDFValue::integer(static_cast<int64_t>(group.entries.size())));
        for (const Entry& entry : group.entries) {
            rows.push_back(static_cast<char>(entry.type));
            appendBigEndian(static_cast<uint64_t>(entry.type == Entry::Type::free ? 0 : entry.offset), width,
                            rows);
            appendBigEndian(static_cast<uint64_t>(entry.gen), thirdWidth, rows);
        }
    }
    PDFDictionary dict{{"Type", PDFValue::name("XRef")}};
    for (const auto& [key, value] : trailer.entries()) dict.set(key, value);
    dict.set("W", PDFValue::array(
                      {PDFValue::integer(1), PDFValue::integer(width), PDFValue::integer(thirdWidth)}));
    dict.set("Index", PDFValue::array(std::move(index)));
    Bytes compressed = Flate::deflate(rows, kStreamCompressionLevel);
    if (!compressed.empty()) dict.set("Filter", PDFValue::name("FlateDecode"));
    PDFWriter::writeStream(num, 0, std::move(dict), compressed.empty() ? rows : compressed, out);
}

}  // namespace

void append(std::vector<Entry> entries, const Source& source, int64_t nextFreeNumber, int64_t baseOffset,
            Bytes& out) {
    const int64_t offset = baseOffset + static_cast<int64_t>(out.size()) - source.origin;
    for (Entry& entry : entries)
        if (entry.type == Entry::Type::inUse) entry.offset -= source.origin;
    const bool compressed = std::any_of(entries.begin(), entries.end(),
                                        [](const Entry& e) { return e.type == Entry::Type::compressed; });
    if (!source.newestSectionIsStream && !compressed && offset < kTableOffsetLimit) {
        appendTable(group(std::move(entries)), trailerEntries(source, nextFreeNumber), out);
    } else {
        entries.push_back({nextFreeNumber, 0, offset});
        appendStream(group(std::move(entries)), trailerEntries(source, nextFreeNumber + 1), nextFreeNumber,
                     offset, out);
    }
    out += "startxref\n" + std::to_string(offset) + "\n%%EOF\n";
}

}  // namespace quillet::XRefWriter
