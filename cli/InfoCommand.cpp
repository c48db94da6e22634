#include "cli/InfoCommand.h"

#include "cli/Output.h"
#include "cli/PasswordSource.h"
#include "core/pdf/CoreError.h"

namespace quillet::cli {
namespace {

// Without a working security handler, objects in encrypted object streams
// cannot be read, so a locked file may have no countable page tree. That is
// part of the description, not a failure: the caller learns it is locked.
nlohmann::json pageCount(PDFFileReader& reader) {
    bool locked = reader.isEncrypted() && !reader.security();
    if (!locked) return reader.pageRefs().size();
    try {
        return reader.pageRefs().size();
    } catch (const CoreError&) {
        return nullptr;
    }
}

int run(const Arguments& arguments) {
    OpenedFile opened = openWithPassword(arguments.operand(0), arguments);
    printJSON(describe(*opened.reader));
    return kExitSuccess;
}

}  // namespace

nlohmann::json describe(PDFFileReader& reader) {
    nlohmann::json info;
    info["pages"] = pageCount(reader);
    info["encrypted"] = reader.isEncrypted();
    info["unlocked"] = !reader.isEncrypted() || reader.security() != nullptr;
    std::optional<std::string> securityError = reader.securityErrorText();
    info["securityError"] = securityError ? nlohmann::json(*securityError) : nlohmann::json(nullptr);
    info["xref"] = reader.newestSectionIsStream() ? "stream" : "table";
    info["startxref"] = reader.startXref();
    info["size"] = reader.size();
    if (reader.headerOffset() != 0) info["headerOffset"] = reader.headerOffset();
    // Last, so that the repairs of the page-tree walk above are listed too.
    info["repaired"] = reader.wasRepaired();
    info["warnings"] = reader.warnings();
    return info;
}

Command infoCommand() {
    return {
        .name = "info",
        .usage = "quillet info FILE [--password-file F|--password P]",
        .summary = "describe a PDF file: pages, encryption, cross-reference layout",
        .help =
            "Prints one JSON object:\n"
            "  pages          the number of pages (null when a locked file's pages cannot be read)\n"
            "  encrypted      whether the file is encrypted\n"
            "  unlocked       whether the content is readable: true when the file is not\n"
            "                 encrypted or was decrypted, false when it stays locked\n"
            "  securityError  why an encrypted file could not be decrypted, or null\n"
            "  xref           \"table\" or \"stream\": the kind of the newest cross-reference section\n"
            "  startxref      the offset of the newest cross-reference section\n"
            "  size           the number of object slots\n"
            "  headerOffset   only when bytes come before \"%PDF-\": where the header starts\n"
            "  repaired       whether the object table was rebuilt by scanning the file, its own\n"
            "                 cross-reference data being unusable\n"
            "  warnings       the repairs made to read the file (an offset found by search, an\n"
            "                 entry skipped, a page-tree fault...), each naming an offset or object\n",
        .arguments = {.operands = {"FILE"}, .options = passwordOptionSpecs()},
        .run = run,
    };
}

}  // namespace quillet::cli
