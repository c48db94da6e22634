// Test-time PDF fixtures: a builder that writes small PDF files object by
// object (so tests know every offset and can damage what they like), a
// plain multi-page document, and a runner for command-line tools such as
// qpdf that turn such files into other layouts.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/pdf/PDFValue.h"

namespace quillet::testing {

class PdfBuilder {
  public:
    // Starts a file with a %PDF header.
    explicit PdfBuilder(std::string_view version = "1.7");
    // Continues an existing file, for incremental updates.
    static PdfBuilder appendingTo(Bytes existing);

    // "num gen obj ... endobj", recorded for the next cross-reference section.
    void add(int64_t num, const PDFValue& value, int64_t gen = 0);
    // A stream object; /Length is set to the data's size.
    void addStream(int64_t num, PDFDictionary dict, std::string_view data, int64_t gen = 0);
    // "num gen obj" + body + "endobj", body written verbatim.
    void addRaw(int64_t num, std::string_view body, int64_t gen = 0);
    // An object stream holding `objects` (flate-compressed); each is recorded
    // as stored in it.
    void addObjectStream(int64_t num, const std::vector<std::pair<int64_t, PDFValue>>& objects);
    // Records an entry without writing anything (for hand-made object streams
    // and deliberately wrong offsets).
    void recordInFile(int64_t num, int64_t offset, int64_t gen = 0);
    void recordCompressed(int64_t num, int64_t stream, int64_t index);
    // Raw bytes.
    void append(std::string_view raw);

    int64_t offsetOf(int64_t num) const;
    int64_t length() const { return static_cast<int64_t>(bytes_.size()); }
    const Bytes& bytes() const { return bytes_; }

    // Writes a classic table of the objects recorded since the last section
    // (object 0 as the free-list head in the first one), "trailer", the
    // dictionary, and startxref. Returns the table's offset.
    int64_t finishWithTable(const PDFDictionary& trailer);
    // The table and trailer only, without startxref (for hybrid files and
    // damaged chains).
    int64_t appendTable(const PDFDictionary& trailer);
    // A cross-reference stream object `num` (W 1 4 2, uncompressed) listing
    // the recorded objects and itself, with `dict`'s entries added; then
    // startxref unless `withStartXref` is false. Returns its offset.
    int64_t finishWithXRefStream(int64_t num, const PDFDictionary& dict, bool withStartXref = true);
    void appendStartXref(int64_t offset);

    void writeTo(const std::filesystem::path& path) const;

  private:
    struct Entry {
        int type;  // 1 in file, 2 compressed
        int64_t a;
        int64_t b;
    };
    Bytes bytes_;
    std::map<int64_t, Entry> pending_;
    bool firstSection_ = true;
};

// A plain document: catalog 1, page tree 2, Info 3, then for page i the page
// object 4 + 2i and its flate-compressed content stream 5 + 2i, which draws
// "page i" text. The Info /Title is `title` as a PDF text string.
Bytes simpleDocument(int pages, std::string_view title = "Fixture");
// The content stream text of simpleDocument's page i.
std::string simpleDocumentContent(int page);
// `pages` empty pages of 612 x 792, except every tenth, which is 1224 wide.
Bytes mixedSizeDocument(int pages);

struct CommandResult {
    int status = -1;  // exit status, or -1 when it could not run or was killed
    std::string out;
    std::string err;
};
// Runs argv[0] (searched in PATH) without a shell, collecting its output.
CommandResult runCommand(const std::vector<std::string>& argv);
// runCommand with "qpdf" in front.
CommandResult runQpdf(const std::vector<std::string>& args);
bool qpdfAvailable();

}  // namespace quillet::testing
