// Reads arbitrary bytes as a sequence of PDF values. Every outcome other than
// a value or a PDFParseError is a fault.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/pdf/PDFLexer.h"
#include "core/pdf/PDFWriter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    quillet::PDFLexer lexer(bytes);
    while (!lexer.atEnd()) {
        int64_t start = lexer.pos;
        try {
            quillet::PDFValue v = lexer.parseValue();
            // Whatever was read must also be writable.
            quillet::Bytes out;
            quillet::PDFWriter::write(v, out);
        } catch (const quillet::PDFParseError&) {
            // Retry one byte on, so the values inside a damaged one get read too.
            lexer.pos = start + 1;
        }
        if (lexer.pos <= start) __builtin_trap();  // a value always consumes bytes
    }
    // The other entry points, from an offset chosen by the first byte.
    if (size > 0) {
        lexer.pos = data[0] % (size + 1);
        (void)lexer.readInt();
        (void)lexer.readToken();
        (void)lexer.matches("obj", lexer.pos);
    }
    return 0;
}
