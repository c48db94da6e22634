// Writes the synthetic PDF files of the reader benchmark.
//   make_bench_pdf images OUT PAGES IMAGE_BYTES
//       PAGES pages, each drawing its own uncompressed image of about
//       IMAGE_BYTES pseudo-random (incompressible) bytes: a large file whose
//       size is all stream data.
//   make_bench_pdf objects OUT OBJECTS PAGES
//       OBJECTS objects in all: a page tree of PAGES pages sharing one
//       content stream, the rest small dictionaries reachable from nothing,
//       indexed by one classic cross-reference table.
//   make_bench_pdf text OUT PAGES
//       PAGES pages of running text in Helvetica, 50 lines each, every line
//       naming its page and line and holding "fox" once: a document to
//       search (50 matches a page).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

class Writer {
  public:
    explicit Writer(const char* path) : file_(std::fopen(path, "wb")) {
        if (!file_) {
            std::perror(path);
            std::exit(1);
        }
        put("%PDF-1.7\n%\xe2\xe3\xcf\xd3\n");
    }
    void put(const std::string& s) {
        if (std::fwrite(s.data(), 1, s.size(), file_) != s.size()) fail();
        offset_ += s.size();
    }
    void begin(int64_t num) {
        if (offsets_.size() <= static_cast<size_t>(num)) offsets_.resize(num + 1, 0);
        offsets_[num] = offset_;
        put(std::to_string(num) + " 0 obj\n");
    }
    void object(int64_t num, const std::string& body) {
        begin(num);
        put(body + "\nendobj\n");
    }
    void stream(int64_t num, const std::string& dict, const std::string& data) {
        begin(num);
        put("<<" + dict + " /Length " + std::to_string(data.size()) + ">>\nstream\n");
        put(data);
        put("\nendstream\nendobj\n");
    }
    void finish() {
        uint64_t xref = offset_;
        std::string table = "xref\n0 " + std::to_string(offsets_.size()) + "\n0000000000 65535 f\r\n";
        put(table);
        char entry[32];
        for (size_t i = 1; i < offsets_.size(); ++i) {
            std::snprintf(entry, sizeof entry, "%010llu 00000 %c\r\n",
                          static_cast<unsigned long long>(offsets_[i]), offsets_[i] ? 'n' : 'f');
            put(entry);
        }
        put("trailer\n<</Size " + std::to_string(offsets_.size()) + " /Root 1 0 R>>\nstartxref\n" +
            std::to_string(xref) + "\n%%EOF\n");
        if (std::fclose(file_) != 0) fail();
    }

  private:
    [[noreturn]] void fail() {
        std::perror("write");
        std::exit(1);
    }
    std::FILE* file_;
    uint64_t offset_ = 0;
    std::vector<uint64_t> offsets_;
};

std::string kids(int64_t first, int64_t count, int64_t step) {
    std::string s = "[";
    for (int64_t i = 0; i < count; ++i) s += std::to_string(first + i * step) + " 0 R ";
    return s + "]";
}

std::string pageTree(int64_t first, int64_t count, int64_t step) {
    return "<</Type /Pages /Kids " + kids(first, count, step) + " /Count " + std::to_string(count) + ">>";
}

void images(const char* out, int64_t pages, int64_t imageBytes) {
    Writer w(out);
    int64_t side = 1;
    while ((side + 1) * (side + 1) * 3 <= imageBytes) ++side;
    w.object(1, "<</Type /Catalog /Pages 2 0 R>>");
    w.object(2, pageTree(3, pages, 3));
    uint64_t state = 0x9E3779B97F4A7C15ull;
    std::string pixels(static_cast<size_t>(side * side * 3), '\0');
    for (int64_t p = 0; p < pages; ++p) {
        int64_t page = 3 + 3 * p;
        w.object(page, "<</Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents " +
                           std::to_string(page + 1) + " 0 R /Resources <</XObject <</Im0 " +
                           std::to_string(page + 2) + " 0 R>>>>>>");
        w.stream(page + 1, "", "q 500 0 0 500 56 146 cm /Im0 Do Q");
        for (char& c : pixels) {  // xorshift64: incompressible, and fast
            state ^= state << 13;
            state ^= state >> 7;
            state ^= state << 17;
            c = static_cast<char>(state >> 56);
        }
        w.stream(page + 2,
                 "/Type /XObject /Subtype /Image /Width " + std::to_string(side) + " /Height " +
                     std::to_string(side) + " /ColorSpace /DeviceRGB /BitsPerComponent 8",
                 pixels);
    }
    w.finish();
}

void objects(const char* out, int64_t count, int64_t pages) {
    Writer w(out);
    w.object(1, "<</Type /Catalog /Pages 2 0 R>>");
    w.object(2, pageTree(4, pages, 1));
    w.stream(3, "", "BT /F1 12 Tf 72 720 Td (page) Tj ET");
    for (int64_t p = 0; p < pages; ++p) {
        w.object(4 + p, "<</Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 3 0 R>>");
    }
    // Objects 1 .. count-1 exist; slot 0 is the free-list head.
    for (int64_t n = 4 + pages; n < count; ++n) w.object(n, "<</N " + std::to_string(n) + ">>");
    w.finish();
}

void text(const char* out, int64_t pages) {
    Writer w(out);
    w.object(1, "<</Type /Catalog /Pages 2 0 R>>");
    w.object(2, pageTree(4, pages, 2));
    w.object(3, "<</Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding>>");
    for (int64_t p = 0; p < pages; ++p) {
        const int64_t page = 4 + 2 * p;
        w.object(page, "<</Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents " +
                           std::to_string(page + 1) + " 0 R /Resources <</Font <</F1 3 0 R>>>>>>");
        std::string content = "BT /F1 10 Tf 14 TL 56 740 Td\n";
        for (int line = 1; line <= 50; ++line) {
            content += "(Page " + std::to_string(p + 1) + ", line " + std::to_string(line) +
                       ": the quick brown fox jumps over the lazy dog near the riverbank.) '\n";
        }
        w.stream(page + 1, "", content + "ET");
    }
    w.finish();
}

}  // namespace

int main(int argc, char** argv) {
    std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "images" && argc == 5) {
        images(argv[2], std::atoll(argv[3]), std::atoll(argv[4]));
    } else if (mode == "objects" && argc == 5) {
        objects(argv[2], std::atoll(argv[3]), std::atoll(argv[4]));
    } else if (mode == "text" && argc == 4) {
        text(argv[2], std::atoll(argv[3]));
    } else {
        std::fprintf(stderr,
                     "usage: make_bench_pdf images OUT PAGES IMAGE_BYTES | objects OUT OBJECTS PAGES | "
                     "text OUT PAGES\n");
        return 2;
    }
    return 0;
}
