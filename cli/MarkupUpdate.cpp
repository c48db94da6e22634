#include "cli/MarkupUpdate.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "cli/PasswordSource.h"
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
    UpdateRequest& request = opened.request;
    request.in = arguments.operand(0);
    request.out = arguments.operand(1);
    // Asked before OUT is locked: a prompt may wait for the user.
    request.password = passwordFor(request.in, arguments);
    // The replacement resolves OUT's links and refuses a hard-linked OUT
    // before anything is read; the lock is on OUT's real file, however it
    // is named.
    request.output = std::make_shared<ReplacementFile>(request.out.string());
    request.lock =
        std::make_shared<const PathLock>(PathLock::acquire(request.output->target(), kOutputLockWait));
    request.expectedOut = FileIdentity::ofPath(request.output->target());
    opened.reader = PDFFileReader::open(request.in, request.password);
    request.reader = opened.reader;
    // When OUT is IN, it must still be exactly what was read.
    const FileIdentity read = FileIdentity::ofStatus(opened.reader->file().status());
    if (request.expectedOut && request.expectedOut->device == read.device &&
        request.expectedOut->inode == read.inode)
        request.expectedOut = read, request.replacesInput = true;
    requireUnlocked(*opened.reader);
    request.pageRefs = opened.reader->pageRefs();
    return opened;
}

nlohmann::json applyUpdate(const UpdateRequest& request) {
    // The page list is handed on so that the writer does not walk the page
    // tree a second time.
    IncrementalWriteResult result =
        IncrementalWriter::appendUpdate(*request.reader, request.output->path(),
                                        {.expectedPageCount = static_cast<int64_t>(request.pageRefs.size()),
                                         .pages = request.pages,
                                         .cachedPageRefs = request.pageRefs,
                                         .expandNotes = request.expandNotes});
    // The writer flushes what it appends, not the copy it appends to. IN
    // with nothing to add is left as it is.
    if (result.bytesAppended > 0 || !request.replacesInput) request.output->commit(request.expectedOut);
    return {{"pagesUpdated", result.pagesUpdated},
            {"annotationsWritten", result.annotationsWritten},
            {"annotationsReused", result.annotationsReused},
            {"bytesAppended", result.bytesAppended}};
}

}  // namespace quillet::cli
