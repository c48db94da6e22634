#include "core/pdf/PDFWriter.h"

#include <charconv>

#include "core/pdf/PDFLexer.h"

namespace quillet::PDFWriter {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

void appendInt(int64_t v, Bytes& out) {
    char buf[24];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, end);
}

void appendHexByte(unsigned char c, Bytes& out) {
    out.push_back(kHexDigits[c >> 4]);
    out.push_back(kHexDigits[c & 0xF]);
}

// A name escapes '#' as well as the lexer's delimiters.
bool isNameDelimiter(unsigned char c) {
    return c == '#' || PDFLexer::isDelimiter(c);
}

void writeHeader(int64_t num, int64_t gen, Bytes& out) {
    appendInt(num, out);
    out.push_back(' ');
    appendInt(gen, out);
    out += " obj\n";
}

}  // namespace

void write(const PDFValue& value, Bytes& out) {
    switch (value.kind()) {
        case PDFValue::Kind::Bool:
            out += *value.boolValue() ? "true" : "false";
            break;
        case PDFValue::Kind::Int:
            appendInt(*value.intValue(), out);
            break;
        case PDFValue::Kind::Real:
            out += *value.realText();
            break;
        case PDFValue::Kind::String:
            writeString(*value.stringBytes(), out);
            break;
        case PDFValue::Kind::Name:
            writeName(*value.nameValue(), out);
            break;
        case PDFValue::Kind::Array: {
            out.push_back('[');
            bool first = true;
            for (const auto& item : *value.arrayValue()) {
                if (!first) out.push_back(' ');
                first = false;
                write(item, out);
            }
            out.push_back(']');
            break;
        }
        case PDFValue::Kind::Dict:
            writeDictionary(*value.dictValue(), out);
            break;
        case PDFValue::Kind::Ref: {
            PDFRef r = *value.refValue();
            appendInt(r.num, out);
            out.push_back(' ');
            appendInt(r.gen, out);
            out += " R";
            break;
        }
        case PDFValue::Kind::Null:
            out += "null";
            break;
    }
}

void writeDictionary(const PDFDictionary& dict, Bytes& out) {
    out += "<<";
    for (const auto& [key, value] : dict.entries()) {
        writeName(key, out);
        out.push_back(' ');
        write(value, out);
        out.push_back(' ');
    }
    out += ">>";
}

void writeName(std::string_view name, Bytes& out) {
    out.push_back('/');
    for (char ch : name) {
        auto c = static_cast<unsigned char>(ch);
        if (c >= 33 && c <= 126 && !isNameDelimiter(c)) {
            out.push_back(ch);
        } else {
            out.push_back('#');
            appendHexByte(c, out);
        }
    }
}

void writeString(std::string_view bytes, Bytes& out) {
    bool literal = true;
    for (char ch : bytes) {
        auto c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c > 0x7E) {
            literal = false;
            break;
        }
    }
    if (literal) {
        out.push_back('(');
        for (char ch : bytes) {
            if (ch == '(' || ch == ')' || ch == '\\') out.push_back('\\');
            out.push_back(ch);
        }
        out.push_back(')');
        return;
    }
    out.push_back('<');
    for (char ch : bytes) appendHexByte(static_cast<unsigned char>(ch), out);
    out.push_back('>');
}

void writeObject(int64_t num, int64_t gen, const PDFValue& value, Bytes& out) {
    writeHeader(num, gen, out);
    write(value, out);
    out += "\nendobj\n";
}

void writeStream(int64_t num, int64_t gen, PDFDictionary dict, std::string_view data, Bytes& out) {
    dict.set("Length", PDFValue::integer(static_cast<int64_t>(data.size())));
    writeHeader(num, gen, out);
    writeDictionary(dict, out);
    out += "\nstream\n";
    out.append(data);
    out += "\nendstream\nendobj\n";
}

}  // namespace quillet::PDFWriter
