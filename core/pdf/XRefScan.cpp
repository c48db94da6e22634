#include "core/pdf/XRefScan.h"

#include <cstring>

#include "core/pdf/PDFLexer.h"
#include "core/pdf/XRefSection.h"

namespace quillet::XRefScan {

namespace {

unsigned char byteAt(std::string_view bytes, int64_t pos) {
    return static_cast<unsigned char>(bytes[static_cast<size_t>(pos)]);
}

bool isDigit(unsigned char c) {
    return c >= '0' && c <= '9';
}

bool endsToken(std::string_view bytes, int64_t pos) {
    if (pos >= static_cast<int64_t>(bytes.size())) return true;
    unsigned char c = byteAt(bytes, pos);
    return PDFLexer::isWhitespace(c) || PDFLexer::isDelimiter(c);
}

bool startsToken(std::string_view bytes, int64_t pos) {
    return pos == 0 || endsToken(bytes, pos - 1);
}

// Every occurrence of `word` as a token of its own, in order.
template <typename Visit>
void forEachToken(std::string_view bytes, std::string_view word, Visit visit) {
    const char* base = bytes.data();
    size_t pos = 0;
    while (pos + word.size() <= bytes.size()) {
        const void* hit = memmem(base + pos, bytes.size() - pos, word.data(), word.size());
        if (!hit) return;
        const auto at = static_cast<int64_t>(static_cast<const char*>(hit) - base);
        pos = static_cast<size_t>(at) + word.size();
        if (startsToken(bytes, at) && endsToken(bytes, at + static_cast<int64_t>(word.size()))) visit(at);
    }
}

// Walks back from "obj" at `at` over "N G ": where N starts, or -1. Only a
// bounded stretch is looked at, so each candidate costs constant time.
int64_t headerStartBefore(std::string_view bytes, int64_t at) {
    int64_t pos = at;
    for (int field = 0; field < 2; ++field) {
        const int64_t blanksEnd = pos;
        while (pos > 0 && blanksEnd - pos < kMaxHeaderBlanks &&
               PDFLexer::isWhitespace(byteAt(bytes, pos - 1)))
            --pos;
        if (pos == blanksEnd) return -1;
        const int64_t digitsEnd = pos;
        while (pos > 0 && digitsEnd - pos < kMaxHeaderDigits && isDigit(byteAt(bytes, pos - 1))) --pos;
        if (pos == digitsEnd) return -1;
    }
    return startsToken(bytes, pos) ? pos : -1;
}

bool nameWithin(std::string_view window, std::string_view name) {
    size_t from = 0;
    while (from < window.size()) {
        size_t at = window.find(name, from);
        if (at == std::string_view::npos) return false;
        size_t end = at + name.size();
        if (end == window.size() || PDFLexer::isWhitespace(static_cast<unsigned char>(window[end])) ||
            PDFLexer::isDelimiter(static_cast<unsigned char>(window[end])))
            return true;
        from = end;
    }
    return false;
}

}  // namespace

Result scan(std::string_view bytes) {
    Result result;
    forEachToken(bytes, "obj", [&](int64_t at) {
        const int64_t start = headerStartBefore(bytes, at);
        if (start < 0) return;
        auto header = XRefSection::readObjectHeader(bytes, start);
        if (header && header->end == at + 3) result.objects.push_back({header->num, header->gen, start});
    });
    for (size_t i = 0; i < result.objects.size(); ++i) {
        FoundObject& object = result.objects[i];
        const int64_t from = object.offset;
        int64_t to = std::min<int64_t>(from + kTypeSearchSpan, static_cast<int64_t>(bytes.size()));
        if (i + 1 < result.objects.size()) to = std::min(to, result.objects[i + 1].offset);
        std::string_view window = bytes.substr(static_cast<size_t>(from), static_cast<size_t>(to - from));
        if (nameWithin(window, "/ObjStm"))
            object.hint = FoundObject::Hint::objectStream;
        else if (nameWithin(window, "/XRef"))
            object.hint = FoundObject::Hint::xrefStream;
        else if (nameWithin(window, "/Catalog"))
            object.hint = FoundObject::Hint::catalog;
    }
    forEachToken(bytes, "trailer", [&](int64_t at) { result.trailers.push_back(at + 7); });
    return result;
}

}  // namespace quillet::XRefScan
