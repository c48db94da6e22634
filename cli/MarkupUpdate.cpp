#include "cli/MarkupUpdate.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "cli/AtomicOutput.h"
#include "core/markup/CompactJSON.h"

namespace quillet::cli {
namespace {

std::string inputName(const std::string& fileOrDash) {
    return fileOrDash == "-" ? "standard input" : fileOrDash;
}

std::string readStream(std::FILE* stream, const std::string& name) {
    std::string text;
    char chunk[65536];
    for (;;) {
        size_t n = std::fread(chunk, 1, sizeof chunk, stream);
        if (n > kMaxInputBytes - text.size()) {
            throw std::runtime_error(name + " is larger than " + std::to_string(kMaxInputBytes) + " bytes");
        }
        text.append(chunk, n);
        if (n < sizeof chunk) break;
    }
    if (std::ferror(stream)) throw std::runtime_error("cannot read " + name + ": " + std::strerror(errno));
    return text;
}

}  // namespace

std::string readInputText(const std::string& fileOrDash) {
    const std::string name = inputName(fileOrDash);
    if (fileOrDash == "-") return readStream(stdin, name);
    std::FILE* file = std::fopen(fileOrDash.c_str(), "rb");
    if (!file) throw std::runtime_error("cannot open " + name + ": " + std::strerror(errno));
    try {
        std::string text = readStream(file, name);
        std::fclose(file);
        return text;
    } catch (...) {
        std::fclose(file);
        throw;
    }
}

nlohmann::json readInputJSON(const std::string& fileOrDash) {
    std::optional<nlohmann::json> value = CompactJSON::parse(readInputText(fileOrDash));
    if (!value) throw std::runtime_error(inputName(fileOrDash) + " is not valid JSON");
    return std::move(*value);
}

void requireUnlocked(const PDFFileReader& reader) {
    if (reader.isEncrypted() && !reader.security()) {
        throw std::runtime_error(reader.securityErrorText().value_or("document is encrypted"));
    }
}

OpenedUpdate openUpdate(const Arguments& arguments) {
    OpenedUpdate opened;
    opened.request.in = arguments.operand(0);
    opened.request.out = arguments.operand(1);
    opened.request.password = arguments.value("password");
    opened.reader = PDFFileReader::open(opened.request.in, opened.request.password);
    requireUnlocked(*opened.reader);
    opened.request.pageRefs = opened.reader->pageRefs();
    return opened;
}

nlohmann::json applyUpdate(const UpdateRequest& request) {
    AtomicOutput output(request.in, request.out);
    // The page list is handed on so that the writer does not walk the page
    // tree a second time.
    IncrementalWriteResult result = IncrementalWriter::appendUpdate(
        request.in, output.destination(), static_cast<int64_t>(request.pageRefs.size()), request.pages,
        request.pageRefs, request.password, request.expandNotes);
    // The writer flushes what it appends, not the copy it appends to.
    output.commit();
    return {{"pagesUpdated", result.pagesUpdated},
            {"annotationsWritten", result.annotationsWritten},
            {"annotationsReused", result.annotationsReused},
            {"bytesAppended", result.bytesAppended}};
}

}  // namespace quillet::cli
