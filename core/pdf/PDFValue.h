// The in-memory model of PDF objects: references, values, dictionaries,
// streams and indirect-object bodies. Plain values: copying copies; the
// containers share their storage until one copy is changed.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace quillet {

// Raw bytes. std::string is used as a byte container throughout the core.
using Bytes = std::string;

struct PDFRef {
    int64_t num = 0;
    int64_t gen = 0;

    bool operator==(const PDFRef&) const = default;
    std::string text() const;  // "12 0 R"
};

struct PDFRefHash {
    size_t operator()(const PDFRef& r) const noexcept;
};

class PDFValue;
class PDFDictionary;
using PDFArray = std::vector<PDFValue>;

// One PDF value. The kinds are listed in the order of the model.
class PDFValue {
  public:
    enum class Kind { Bool, Int, Real, String, Name, Array, Dict, Ref, Null };

    PDFValue();  // null

    static PDFValue boolean(bool b);
    static PDFValue integer(int64_t i);
    // A real keeps its characters exactly as read or as formatted.
    static PDFValue real(std::string text);
    static PDFValue string(Bytes bytes);
    static PDFValue name(std::string name);
    static PDFValue array(PDFArray items);
    static PDFValue dict(PDFDictionary d);
    static PDFValue ref(PDFRef r);
    static PDFValue ref(int64_t num, int64_t gen) { return ref(PDFRef{num, gen}); }
    static PDFValue null() { return PDFValue(); }

    // Small integral numbers become ints, everything else a formatted real;
    // non-finite input becomes int 0.
    static PDFValue number(double x);
    // A PDF text string from UTF-8: plain ASCII when it can be, else UTF-16BE
    // with a byte-order mark. Invalid UTF-8 reads as U+FFFD.
    static PDFValue text(std::string_view utf8);

    Kind kind() const;
    bool isNull() const { return kind() == Kind::Null; }

    std::optional<int64_t> intValue() const;
    std::optional<double> doubleValue() const;
    std::optional<bool> boolValue() const;
    std::optional<PDFRef> refValue() const;
    // Borrowing accessors: nullptr when the kind does not match.
    const std::string* nameValue() const;
    const std::string* realText() const;
    const Bytes* stringBytes() const;
    const PDFArray* arrayValue() const;
    const PDFDictionary* dictValue() const;

    bool isName(std::string_view n) const;

    friend bool operator==(const PDFValue& a, const PDFValue& b);

  private:
    struct Real {
        std::string text;
        bool operator==(const Real&) const = default;
    };
    struct String {
        Bytes bytes;
        bool operator==(const String&) const = default;
    };
    struct Name {
        std::string text;
        bool operator==(const Name&) const = default;
    };
    struct Null {
        bool operator==(const Null&) const = default;
    };
    using ArrayPtr = std::shared_ptr<const PDFArray>;
    using DictPtr = std::shared_ptr<const PDFDictionary>;
    using Storage = std::variant<bool, int64_t, Real, String, Name, ArrayPtr, DictPtr, PDFRef, Null>;

    explicit PDFValue(Storage s) : storage_(std::move(s)) {}
    Storage storage_;
};

// An ordered dictionary: entries keep insertion order, which is the order of
// serialization. Lookup is linear and the first matching key wins.
class PDFDictionary {
  public:
    using Entry = std::pair<std::string, PDFValue>;

    PDFDictionary() = default;
    PDFDictionary(std::initializer_list<Entry> entries);
    // Takes entries whose keys the caller has already made unique (the
    // parser does, with its own index, so large dictionaries stay linear).
    static PDFDictionary fromUniqueEntries(std::vector<Entry> entries);

    // Subscript get: the value or absent.
    std::optional<PDFValue> get(std::string_view key) const;
    // Borrowing lookup: nullptr when missing.
    const PDFValue* find(std::string_view key) const;
    bool contains(std::string_view key) const { return find(key) != nullptr; }
    // Subscript set: replaces in place, removes on absent, appends when new.
    void set(std::string_view key, std::optional<PDFValue> value);

    std::vector<std::string> keys() const;
    const std::vector<Entry>& entries() const { return entries_; }
    size_t size() const { return entries_.size(); }
    bool empty() const { return entries_.empty(); }

    bool operator==(const PDFDictionary&) const = default;

  private:
    std::vector<Entry> entries_;
};

struct PDFStream {
    PDFDictionary dict;
    Bytes data;  // as stored between the keywords: still filtered and encrypted

    bool operator==(const PDFStream&) const = default;
};

// The body of an indirect object: an ordinary value or a stream.
class PDFObject {
  public:
    PDFObject(PDFValue v) : body_(std::move(v)) {}
    PDFObject(PDFStream s) : body_(std::move(s)) {}

    bool isStream() const { return std::holds_alternative<PDFStream>(body_); }
    const PDFValue* value() const { return std::get_if<PDFValue>(&body_); }
    const PDFStream* stream() const { return std::get_if<PDFStream>(&body_); }
    // The stream's dictionary, or the value when it is a dictionary.
    const PDFDictionary* dictionary() const;

    bool operator==(const PDFObject&) const = default;

  private:
    std::variant<PDFValue, PDFStream> body_;
};

// The core's one number formatter: integers below 1e12 without a point,
// otherwise four decimals with trailing zeros dropped; "-0" becomes "0".
std::string formatReal(double x);

// Parses a C-locale decimal number that fills the whole text (no leading
// whitespace, nothing left over). Absent otherwise.
std::optional<double> parseRealText(std::string_view text);

}  // namespace quillet
