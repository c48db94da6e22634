#include "cli/InfoCommand.h"

#include "cli/Output.h"

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
    } catch (const std::exception&) {
        return nullptr;
    }
}

int run(const Arguments& arguments) {
    PDFFileReader reader(arguments.operand(0), arguments.value("password"));
    printJSON(describe(reader));
    return kExitSuccess;
}

}  // namespace

nlohmann::json describe(PDFFileReader& reader) {
    nlohmann::json info;
    info["pages"] = pageCount(reader);
    info["encrypted"] = reader.isEncrypted();
    info["unlocked"] = reader.security() != nullptr;
    std::optional<std::string> securityError = reader.securityErrorText();
    info["securityError"] = securityError ? nlohmann::json(*securityError) : nlohmann::json(nullptr);
    info["xref"] = reader.newestSectionIsStream() ? "stream" : "table";
    info["startxref"] = reader.startXref();
    info["size"] = reader.size();
    return info;
}

Command infoCommand() {
    return {
        .name = "info",
        .usage = "quillet info FILE [--password P]",
        .summary = "describe a PDF file: pages, encryption, cross-reference layout",
        .help =
            "Prints one JSON object:\n"
            "  pages          the number of pages (null when a locked file's pages cannot be read)\n"
            "  encrypted      whether the file is encrypted\n"
            "  unlocked       whether it could be decrypted (always false when not encrypted)\n"
            "  securityError  why an encrypted file could not be decrypted, or null\n"
            "  xref           \"table\" or \"stream\": the kind of the newest cross-reference section\n"
            "  startxref      the offset of the newest cross-reference section\n"
            "  size           the number of object slots\n"
            "\n"
            "Options:\n"
            "  --password P   the user or owner password of an encrypted file\n",
        .arguments = {.operands = {"FILE"}, .options = {{"password", true}}},
        .run = run,
    };
}

}  // namespace quillet::cli
