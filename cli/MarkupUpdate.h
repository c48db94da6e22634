// What the subcommands that write markup share: reading a JSON input from a
// file or standard input, opening IN so that its payloads can be read, and
// running one incremental update from IN to OUT that is durable when it is
// reported, also when OUT is IN itself.
#pragma once

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "cli/Arguments.h"
#include "core/pdf/PDFFileReader.h"
#include "core/save/FileIdentity.h"
#include "core/save/IncrementalWriter.h"
#include "core/save/PathLock.h"
#include "core/save/ReplacementFile.h"

namespace quillet::cli {

// The most a markup or item input may hold; a larger one is refused before
// it is parsed.
inline constexpr size_t kMaxInputBytes = 256 * 1024 * 1024;

// The whole text of FILE, or of standard input for "-". Throws
// std::runtime_error naming the input when it cannot be read or is larger
// than kMaxInputBytes.
std::string readInputText(const std::string& fileOrDash);

// The JSON value of such an input (bounded nesting and size). Throws
// std::runtime_error "FILE is not valid JSON" otherwise.
nlohmann::json readInputJSON(const std::string& fileOrDash);

// Throws when IN is encrypted and could not be unlocked: its payloads would
// read as ciphertext, and markup read from it as absent.
void requireUnlocked(const PDFFileReader& reader);

// How long a write waits for another program writing the same OUT.
inline constexpr std::chrono::seconds kOutputLockWait{60};

struct UpdateRequest {
    std::filesystem::path in;
    std::filesystem::path out;
    std::optional<std::string> password;
    bool expandNotes = false;
    std::vector<PDFRef> pageRefs;  // IN's pages, as read already
    PageItemMap pages;
    // IN, opened once: read through it and cloned from it.
    std::shared_ptr<PDFFileReader> reader;
    // Held from before IN is read until OUT is replaced.
    std::shared_ptr<const PathLock> lock;
    // Where the new OUT is written, and what OUT must still be when it is
    // replaced (absent: OUT did not exist).
    std::shared_ptr<ReplacementFile> output;
    std::optional<FileIdentity> expectedOut;
    bool replacesInput = false;
};

// IN opened for `SUBCOMMAND IN OUT`, with the password found as
// PasswordSource.h describes: OUT's lock is taken first (another quillet or the application writing it is
// waited for), a hard-linked OUT refused, then IN opened; the request names IN, OUT and the password and
// holds IN's pages; the reader stays open so that the subcommand can read IN's items. Throws when IN is
// locked.
struct OpenedUpdate {
    UpdateRequest request;
    std::shared_ptr<PDFFileReader> reader;
};
OpenedUpdate openUpdate(const Arguments& arguments);

// Writes OUT (through a temporary file beside OUT's real file, renamed over
// it when complete, after checking that OUT is still the file it was when the
// update began), flushes it and its folder, and returns the writer's result as
// {"pagesUpdated", "annotationsWritten", "annotationsReused",
// "bytesAppended"}. Throws the writer's errors and std::system_error.
nlohmann::json applyUpdate(const UpdateRequest& request);

}  // namespace quillet::cli
