#include "core/markup/CompactJSON.h"

#include <charconv>
#include <cmath>
#include <cstdint>

#include "core/pdf/UTF8.h"

namespace quillet::CompactJSON {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

void writeString(std::string& out, std::string_view s) {
    static constexpr char kHex[] = "0123456789abcdef";
    out += '"';
    for (char c : repairedUTF8(s)) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\b':
                out += "\\b";
                break;
            case '\f':
                out += "\\f";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (static_cast<uint8_t>(c) < 0x20) {
                    out += "\\u00";
                    out += kHex[c >> 4];
                    out += kHex[c & 0x0F];
                } else {
                    out += c;
                }
        }
    }
    out += '"';
}

template <typename T>
void writeChars(std::string& out, T value) {
    char buffer[32];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr);
}

void writeDouble(std::string& out, double v) {
    if (!std::isfinite(v)) {
        out += "null";
        return;
    }
    v += 0.0;  // -0 is written as 0
    if (v == std::trunc(v)) {
        // Fixed notation of an integral double has no fraction and no
        // exponent; 1e300 needs 301 digits.
        char buffer[320];
        auto result = std::to_chars(buffer, buffer + sizeof buffer, v, std::chars_format::fixed);
        out.append(buffer, result.ptr);
        return;
    }
    writeChars(out, v);  // shortest round-trip form
}

void writeValue(std::string& out, const nlohmann::json& value);

void writeContainer(std::string& out, const nlohmann::json& value) {
    bool isObject = value.is_object();
    out += isObject ? '{' : '[';
    bool first = true;
    for (auto it = value.begin(); it != value.end(); ++it) {
        if (!first) out += ',';
        first = false;
        if (isObject) {
            writeString(out, it.key());
            out += ':';
        }
        writeValue(out, *it);
    }
    out += isObject ? '}' : ']';
}

void writeValue(std::string& out, const nlohmann::json& value) {
    using Type = nlohmann::json::value_t;
    switch (value.type()) {
        case Type::object:
        case Type::array:
            writeContainer(out, value);
            break;
        case Type::string:
            writeString(out, value.get_ref<const std::string&>());
            break;
        case Type::boolean:
            out += value.get<bool>() ? "true" : "false";
            break;
        case Type::number_integer:
            writeChars(out, value.get<int64_t>());
            break;
        case Type::number_unsigned:
            writeChars(out, value.get<uint64_t>());
            break;
        case Type::number_float:
            writeDouble(out, value.get<double>());
            break;
        default:
            out += "null";
            break;  // null, binary, discarded
    }
}

// Depth and value count, counted over the raw text (outside strings) so that
// hostile input is refused before the parser allocates anything.
bool withinBounds(std::string_view text) {
    size_t depth = 0, values = 1;
    bool inString = false, escaped = false;
    for (char c : text) {
        if (inString) {
            if (escaped)
                escaped = false;
            else if (c == '\\')
                escaped = true;
            else if (c == '"')
                inString = false;
            continue;
        }
        switch (c) {
            case '"':
                inString = true;
                break;
            case '[':
            case '{':
                if (++depth > kMaxDepth) return false;
                ++values;
                break;
            case ']':
            case '}':
                if (depth > 0) --depth;
                break;
            case ',':
                if (++values > kMaxValues) return false;
                break;
            default:
                break;
        }
    }
    return values <= kMaxValues;
}

}  // namespace

std::string repairedUTF8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        size_t n = UTF8::sequenceLength(text, i);
        if (n == 0) {
            out += kReplacement;
            ++i;
            // The continuation bytes of a broken sequence share its one
            // replacement character.
            while (i < text.size() && (static_cast<uint8_t>(text[i]) & 0xC0) == 0x80) ++i;
            continue;
        }
        out.append(text.substr(i, n));
        i += n;
    }
    return out;
}

std::string write(const nlohmann::json& value) {
    std::string out;
    writeValue(out, value);
    return out;
}

std::optional<nlohmann::json> parse(std::string_view text) {
    if (!withinBounds(text)) return std::nullopt;
    try {
        nlohmann::json value = nlohmann::json::parse(text, nullptr, /*allow_exceptions=*/false);
        if (value.is_discarded()) return std::nullopt;
        return value;
    } catch (const nlohmann::json::exception&) {
        return std::nullopt;  // exhausted memory is not a parse failure: it passes on
    }
}

}  // namespace quillet::CompactJSON
