#include "core/pdf/PDFValue.h"

#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "core/pdf/UTF8.h"

namespace quillet {

namespace {

bool isPDFWhitespace(char c) {
    return c == 0 || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r' || c == ' ';
}

// Decodes one UTF-8 sequence at s[i], advancing i; malformed input yields
// U+FFFD and consumes one byte.
char32_t nextCodePoint(std::string_view s, size_t& i) {
    if (std::optional<char32_t> codePoint = UTF8::decode(s, i)) return *codePoint;
    ++i;
    return 0xFFFD;
}

void appendUTF16BE(char32_t cp, Bytes& out) {
    auto unit = [&](uint16_t u) {
        out.push_back(static_cast<char>(u >> 8));
        out.push_back(static_cast<char>(u & 0xFF));
    };
    if (cp >= 0x10000) {
        cp -= 0x10000;
        unit(static_cast<uint16_t>(0xD800 + (cp >> 10)));
        unit(static_cast<uint16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
        unit(static_cast<uint16_t>(cp));
    }
}

}  // namespace

std::string PDFRef::text() const {
    return std::to_string(num) + " " + std::to_string(gen) + " R";
}

size_t PDFRefHash::operator()(const PDFRef& r) const noexcept {
    size_t h = std::hash<int64_t>()(r.num);
    return h ^ (std::hash<int64_t>()(r.gen) + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2));
}

std::optional<double> parseRealText(std::string_view text) {
    if (text.empty() || isPDFWhitespace(text.front())) return std::nullopt;
    double value = 0;
    // from_chars is locale-independent; it rejects a leading '+', which strtod
    // in the C locale accepts, so skip one here.
    std::string_view body = text;
    if (body.front() == '+') {
        body.remove_prefix(1);
        if (body.empty() || body.front() == '-' || body.front() == '+') return std::nullopt;
    }
    auto [end, ec] = std::from_chars(body.data(), body.data() + body.size(), value);
    if (ec == std::errc::result_out_of_range) {
        // strtod saturates to ±HUGE_VAL or underflows toward zero; keep that.
        std::string copy(body);
        char* stop = nullptr;
        value = std::strtod(copy.c_str(), &stop);
        if (stop != copy.c_str() + copy.size()) return std::nullopt;
        return value;
    }
    if (ec != std::errc() || end != body.data() + body.size()) return std::nullopt;
    return value;
}

std::string formatReal(double x) {
    if (!std::isfinite(x)) return "0";
    if (std::trunc(x) == x && std::fabs(x) < 1e12) return std::to_string(static_cast<int64_t>(x));
    char buf[400];
    std::snprintf(buf, sizeof buf, "%.4f", x);
    std::string s(buf);
    while (!s.empty() && s.back() == '0') s.pop_back();
    if (!s.empty() && s.back() == '.') s.pop_back();
    if (s == "-0") return "0";
    return s;
}

PDFValue::PDFValue() : storage_(Null{}) {}

PDFValue PDFValue::boolean(bool b) {
    return PDFValue(Storage(b));
}
PDFValue PDFValue::integer(int64_t i) {
    return PDFValue(Storage(i));
}
PDFValue PDFValue::real(std::string text) {
    return PDFValue(Storage(Real{std::move(text)}));
}
PDFValue PDFValue::string(Bytes bytes) {
    return PDFValue(Storage(String{std::move(bytes)}));
}
PDFValue PDFValue::name(std::string name) {
    return PDFValue(Storage(Name{std::move(name)}));
}
PDFValue PDFValue::array(PDFArray items) {
    return PDFValue(Storage(std::make_shared<const PDFArray>(std::move(items))));
}
PDFValue PDFValue::dict(PDFDictionary d) {
    return PDFValue(Storage(std::make_shared<const PDFDictionary>(std::move(d))));
}
PDFValue PDFValue::ref(PDFRef r) {
    return PDFValue(Storage(r));
}

PDFValue PDFValue::number(double x) {
    if (!std::isfinite(x)) return integer(0);
    if (std::trunc(x) == x && std::fabs(x) < 1e9) return integer(static_cast<int64_t>(x));
    return real(formatReal(x));
}

PDFValue PDFValue::text(std::string_view utf8) {
    bool plain = true;
    for (char ch : utf8) {
        auto c = static_cast<unsigned char>(ch);
        if (!((c >= 0x20 && c <= 0x7E) || c == '\t' || c == '\n' || c == '\r')) {
            plain = false;
            break;
        }
    }
    if (plain) return string(Bytes(utf8));
    Bytes out = "\xFE\xFF";
    for (size_t i = 0; i < utf8.size();) appendUTF16BE(nextCodePoint(utf8, i), out);
    return string(std::move(out));
}

PDFValue::Kind PDFValue::kind() const {
    return static_cast<Kind>(storage_.index());
}

std::optional<int64_t> PDFValue::intValue() const {
    if (auto* i = std::get_if<int64_t>(&storage_)) return *i;
    if (auto* r = std::get_if<Real>(&storage_)) {
        auto d = parseRealText(r->text);
        if (!d || !std::isfinite(*d) || std::fabs(*d) >= 9e18) return std::nullopt;
        return static_cast<int64_t>(std::trunc(*d));
    }
    return std::nullopt;
}

std::optional<double> PDFValue::doubleValue() const {
    if (auto* i = std::get_if<int64_t>(&storage_)) return static_cast<double>(*i);
    if (auto* r = std::get_if<Real>(&storage_)) return parseRealText(r->text);
    return std::nullopt;
}

std::optional<bool> PDFValue::boolValue() const {
    if (auto* b = std::get_if<bool>(&storage_)) return *b;
    return std::nullopt;
}

std::optional<PDFRef> PDFValue::refValue() const {
    if (auto* r = std::get_if<PDFRef>(&storage_)) return *r;
    return std::nullopt;
}

const std::string* PDFValue::nameValue() const {
    auto* n = std::get_if<Name>(&storage_);
    return n ? &n->text : nullptr;
}

const std::string* PDFValue::realText() const {
    auto* r = std::get_if<Real>(&storage_);
    return r ? &r->text : nullptr;
}

const Bytes* PDFValue::stringBytes() const {
    auto* s = std::get_if<String>(&storage_);
    return s ? &s->bytes : nullptr;
}

const PDFArray* PDFValue::arrayValue() const {
    auto* a = std::get_if<ArrayPtr>(&storage_);
    return a ? a->get() : nullptr;
}

const PDFDictionary* PDFValue::dictValue() const {
    auto* d = std::get_if<DictPtr>(&storage_);
    return d ? d->get() : nullptr;
}

bool PDFValue::isName(std::string_view n) const {
    auto* name = nameValue();
    return name && *name == n;
}

bool operator==(const PDFValue& a, const PDFValue& b) {
    if (a.storage_.index() != b.storage_.index()) return false;
    if (auto* x = a.arrayValue()) return x == b.arrayValue() || *x == *b.arrayValue();
    if (auto* x = a.dictValue()) return x == b.dictValue() || *x == *b.dictValue();
    return a.storage_ == b.storage_;
}

PDFDictionary::PDFDictionary(std::initializer_list<Entry> entries) {
    for (const auto& [k, v] : entries) set(k, v);
}

PDFDictionary PDFDictionary::fromUniqueEntries(std::vector<Entry> entries) {
    PDFDictionary d;
    d.entries_ = std::move(entries);
    return d;
}

std::optional<PDFValue> PDFDictionary::get(std::string_view key) const {
    if (auto* v = find(key)) return *v;
    return std::nullopt;
}

const PDFValue* PDFDictionary::find(std::string_view key) const {
    for (const auto& [k, v] : entries_)
        if (k == key) return &v;
    return nullptr;
}

void PDFDictionary::set(std::string_view key, std::optional<PDFValue> value) {
    for (auto it = entries_.begin(); it != entries_.end(); ++it) {
        if (it->first != key) continue;
        if (value)
            it->second = std::move(*value);
        else
            entries_.erase(it);
        return;
    }
    if (value) entries_.emplace_back(std::string(key), std::move(*value));
}

std::vector<std::string> PDFDictionary::keys() const {
    std::vector<std::string> out;
    out.reserve(entries_.size());
    for (const auto& e : entries_) out.push_back(e.first);
    return out;
}

const PDFDictionary* PDFObject::dictionary() const {
    if (auto* s = stream()) return &s->dict;
    return value()->dictValue();
}

}  // namespace quillet
