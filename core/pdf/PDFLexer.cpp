#include "core/pdf/PDFLexer.h"

#include <charconv>
#include <unordered_map>
#include <utility>

#include "core/pdf/UTF8.h"

namespace quillet {

namespace {

// Dictionaries up to this size look keys up by scanning.
constexpr size_t kLinearKeyLimit = 16;

int hexDigitValue(int c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Tokens are handed out as text, so bytes that are not UTF-8 become U+FFFD.
std::string toUTF8Text(std::string_view run) {
    std::string out;
    out.reserve(run.size());
    for (size_t i = 0; i < run.size();) {
        size_t len = UTF8::sequenceLength(run, i);
        if (len == 0) {
            out += "\xEF\xBF\xBD";
            ++i;
        } else {
            out.append(run.substr(i, len));
            i += len;
        }
    }
    return out;
}

// An optionally signed run of decimal digits within 64 bits.
std::optional<int64_t> parseDecimal(std::string_view text) {
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty()) return std::nullopt;
    for (char c : text)
        if (c < '0' || c > '9') return std::nullopt;
    // Parse the magnitude unsigned so that the most negative value fits.
    uint64_t magnitude = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), magnitude);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    constexpr uint64_t kMaxPositive = static_cast<uint64_t>(INT64_MAX);
    if (!negative) {
        if (magnitude > kMaxPositive) return std::nullopt;
        return static_cast<int64_t>(magnitude);
    }
    if (magnitude > kMaxPositive + 1) return std::nullopt;
    if (magnitude == kMaxPositive + 1) return INT64_MIN;
    return -static_cast<int64_t>(magnitude);
}

// A malformed number read the way other readers take it, with its text:
// signs before the first one count as typing slips ("--5" is -5, the last
// sign wins), a '-' among the digits is ignored ("6-12" is 612), and the
// number ends at a second '.' or at the first byte that belongs to no number
// ("612.0.0" is 612.0, "612abc" is 612); the rest of the token is dropped.
// Absent without a digit.
std::optional<std::pair<PDFValue, std::string>> repairedNumber(std::string_view run) {
    size_t i = 0;
    std::string text;
    while (i < run.size() && (run[i] == '+' || run[i] == '-')) text = run[i++] == '-' ? "-" : "";
    bool dot = false, digit = false;
    for (; i < run.size(); ++i) {
        const char c = run[i];
        if (c >= '0' && c <= '9') {
            digit = true;
            text += c;
        } else if (c == '.' && !dot) {
            dot = true;
            text += c;
        } else if (c != '-') {
            break;
        }
    }
    if (!digit) return std::nullopt;
    if (!dot) {
        if (std::optional<int64_t> value = parseDecimal(text))
            return {{PDFValue::integer(*value), std::to_string(*value)}};
    }
    std::optional<double> value = parseRealText(text);
    if (!value) return std::nullopt;
    std::string shown = formatReal(*value);
    return {{PDFValue::real(shown), shown}};
}

}  // namespace

int PDFLexer::peek(int64_t ahead) const {
    if (atEnd() || ahead < 0 || ahead >= static_cast<int64_t>(bytes.size()) - pos) return -1;
    return static_cast<unsigned char>(bytes[static_cast<size_t>(pos + ahead)]);
}

void PDFLexer::skipWhitespace() {
    while (!atEnd()) {
        auto c = static_cast<unsigned char>(bytes[static_cast<size_t>(pos)]);
        if (isWhitespace(c)) {
            ++pos;
        } else if (c == '%') {
            // The comment ends before the line end, which the next round skips.
            while (!atEnd() && peek() != '\n' && peek() != '\r') ++pos;
        } else {
            return;
        }
    }
}

std::string_view PDFLexer::takeRegularRun() {
    if (atEnd()) return {};
    int64_t start = pos;
    while (!atEnd() && isRegular(static_cast<unsigned char>(bytes[static_cast<size_t>(pos)]))) ++pos;
    return bytes.substr(static_cast<size_t>(start), static_cast<size_t>(pos - start));
}

std::optional<std::string> PDFLexer::readToken() {
    skipWhitespace();
    std::string_view run = takeRegularRun();
    if (run.empty()) return std::nullopt;
    return toUTF8Text(run);
}

std::optional<int64_t> PDFLexer::readInt() {
    int64_t saved = pos;
    skipWhitespace();
    std::optional<int64_t> value = parseDecimal(takeRegularRun());
    if (!value) pos = saved;
    return value;
}

bool PDFLexer::matches(std::string_view seq, int64_t offset) const {
    if (offset < 0 || offset > static_cast<int64_t>(bytes.size())) return false;
    if (seq.size() > bytes.size() - static_cast<size_t>(offset)) return false;
    return bytes.compare(static_cast<size_t>(offset), seq.size(), seq) == 0;
}

PDFValue PDFLexer::parseValue(int depth) {
    if (depth > kMaxDepth) throw PDFParseError::tooDeep();
    skipWhitespace();
    int c = peek();
    if (c < 0) throw PDFParseError::unexpectedEnd();
    switch (c) {
        case '(':
            ++pos;
            return PDFValue::string(readLiteralString());
        case '[':
            ++pos;
            return readArray(depth);
        case '<':
            ++pos;
            if (peek() == '<') {
                ++pos;
                return readDictionary(depth);
            }
            return PDFValue::string(readHexString());
        case '/':
            ++pos;
            return PDFValue::name(readName());
        case '+':
        case '-':
        case '.':
            return readNumber();
        default:
            if (c >= '0' && c <= '9') return readNumber();
            return readKeyword();
    }
}

PDFValue PDFLexer::readKeyword() {
    int64_t start = pos;
    std::optional<std::string> token = readToken();
    if (!token) throw PDFParseError::unexpected("byte " + std::to_string(peek()), start);
    if (*token == "true") return PDFValue::boolean(true);
    if (*token == "false") return PDFValue::boolean(false);
    if (*token == "null") return PDFValue::null();
    throw PDFParseError::unexpected("keyword '" + *token + "'", start);
}

PDFValue PDFLexer::readArray(int depth) {
    PDFArray items;
    for (;;) {
        skipWhitespace();
        int c = peek();
        if (c < 0) throw PDFParseError::unexpectedEnd();
        if (c == ']') {
            ++pos;
            return PDFValue::array(std::move(items));
        }
        items.push_back(parseValue(depth + 1));
    }
}

PDFValue PDFLexer::readDictionary(int depth) {
    // Small dictionaries, nearly all of them, find repeated keys by a linear
    // scan; past kLinearKeyLimit entries a key index takes over, so that a
    // hostile dictionary with a hundred thousand keys stays linear.
    std::vector<PDFDictionary::Entry> entries;
    std::unordered_map<std::string, size_t> index;
    auto put = [&](std::string key, PDFValue value) {
        if (entries.size() < kLinearKeyLimit) {
            for (auto& entry : entries) {
                if (entry.first == key) {
                    entry.second = std::move(value);
                    return;
                }
            }
            entries.emplace_back(std::move(key), std::move(value));
            return;
        }
        if (index.empty())
            for (size_t i = 0; i < entries.size(); ++i) index.emplace(entries[i].first, i);
        auto [it, inserted] = index.try_emplace(key, entries.size());
        if (inserted)
            entries.emplace_back(std::move(key), std::move(value));
        else
            entries[it->second].second = std::move(value);
    };
    skipWhitespace();
    for (;;) {
        int c = peek();
        if (c < 0) throw PDFParseError::unexpectedEnd();
        if (c == '/') {
            ++pos;
            std::string key = readName();
            skipWhitespace();
            // A key right before the end has no value; keep it as null. A
            // repeated key keeps its first position and takes the last value.
            if (matches(">>", pos))
                put(std::move(key), PDFValue::null());
            else
                put(std::move(key), parseValue(depth + 1));
        } else if (c == '>') {
            if (peek(1) != '>') throw PDFParseError::unexpected("'>'", pos);
            pos += 2;
            return PDFValue::dict(PDFDictionary::fromUniqueEntries(std::move(entries)));
        } else {
            // A stray value between entries is read and dropped.
            int64_t before = pos;
            parseValue(depth + 1);
            if (pos == before) ++pos;
        }
        skipWhitespace();
    }
}

std::string PDFLexer::readName() {
    std::string_view run = takeRegularRun();
    std::string name;
    name.reserve(run.size());
    for (size_t i = 0; i < run.size(); ++i) {
        if (run[i] == '#' && run.size() - i > 2) {
            int hi = hexDigitValue(static_cast<unsigned char>(run[i + 1]));
            int lo = hexDigitValue(static_cast<unsigned char>(run[i + 2]));
            if (hi >= 0 && lo >= 0) {
                name.push_back(static_cast<char>(hi * 16 + lo));
                i += 2;
                continue;
            }
        }
        name.push_back(run[i]);
    }
    return name;
}

Bytes PDFLexer::readLiteralString() {
    Bytes out;
    int64_t nesting = 1;
    while (!atEnd()) {
        char c = bytes[static_cast<size_t>(pos++)];
        if (c == '(') {
            ++nesting;
        } else if (c == ')') {
            if (--nesting == 0) return out;
        } else if (c == '\r') {
            if (peek() == '\n') ++pos;
            c = '\n';
        } else if (c == '\\') {
            readEscape(out);
            continue;
        }
        out.push_back(c);
    }
    throw PDFParseError::unexpectedEnd();
}

void PDFLexer::readEscape(Bytes& out) {
    int c = peek();
    if (c < 0) throw PDFParseError::unexpectedEnd();
    ++pos;
    switch (c) {
        case 'n':
            out.push_back('\n');
            return;
        case 'r':
            out.push_back('\r');
            return;
        case 't':
            out.push_back('\t');
            return;
        case 'b':
            out.push_back('\b');
            return;
        case 'f':
            out.push_back('\f');
            return;
        case '\n':
            return;
        case '\r':
            if (peek() == '\n') ++pos;
            return;
        default:
            break;
    }
    if (c < '0' || c > '7') {
        out.push_back(static_cast<char>(c));
        return;
    }
    int value = c - '0';
    // Up to three octal digits in all; the value wraps to a byte.
    for (int digits = 1; digits < 3 && peek() >= '0' && peek() <= '7'; ++digits) {
        value = value * 8 + (peek() - '0');
        ++pos;
    }
    out.push_back(static_cast<char>(value & 0xFF));
}

Bytes PDFLexer::readHexString() {
    Bytes out;
    int high = -1;
    while (!atEnd()) {
        int c = static_cast<unsigned char>(bytes[static_cast<size_t>(pos++)]);
        if (c == '>') {
            if (high >= 0) out.push_back(static_cast<char>(high << 4));
            return out;
        }
        int digit = hexDigitValue(c);
        if (digit < 0) continue;  // whitespace and garbage are skipped
        if (high < 0) {
            high = digit;
        } else {
            out.push_back(static_cast<char>((high << 4) | digit));
            high = -1;
        }
    }
    throw PDFParseError::unexpectedEnd();
}

PDFValue PDFLexer::readNumber() {
    int64_t start = pos;
    skipWhitespace();
    std::string_view run = takeRegularRun();
    if (run.empty()) throw PDFParseError::unexpected("number", start);
    // Integers, by far the most common numbers, are read straight off the
    // view; only other tokens are copied out as text.
    if (std::optional<int64_t> first = parseDecimal(run)) return readIntOrRef(*first);
    std::string token = toUTF8Text(run);
    if (parseRealText(token)) return PDFValue::real(std::move(token));
    constexpr size_t kShown = 32;
    const std::string shown = "number '" + token.substr(0, kShown) + (token.size() > kShown ? "...'" : "'");
    if (auto repaired = repairedNumber(token)) {
        if (warnings) warnings->add(shown + " at " + std::to_string(start) + " read as " + repaired->second);
        return std::move(repaired->first);
    }
    // Reading it as 0 would hand callers a value the file never held.
    throw PDFParseError::unexpected(shown, start);
}

// After a non-negative integer, "G R" with G a non-negative integer and R a
// whole token makes a reference; anything else leaves the integer alone.
PDFValue PDFLexer::readIntOrRef(int64_t first) {
    if (first < 0) return PDFValue::integer(first);
    int64_t afterFirst = pos;
    std::optional<int64_t> second = readInt();
    if (second && *second >= 0) {
        skipWhitespace();
        if (peek() == 'R' && (peek(1) < 0 || !isRegular(static_cast<unsigned char>(peek(1))))) {
            ++pos;
            return PDFValue::ref(first, *second);
        }
    }
    pos = afterFirst;
    return PDFValue::integer(first);
}

}  // namespace quillet
