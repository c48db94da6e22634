// Where the password of an encrypted file comes from. The first of these
// that is there wins:
//   1. --password P            (kept for old scripts; others see it in `ps`)
//   2. --password-file FILE    its first line; "-" reads standard input
//   3. QUILLET_PASSWORD        the environment variable
//   4. a prompt without echo on the terminal, only when standard input is
//      one and the file cannot be opened without a password
// --password and --password-file together are a usage error.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/Arguments.h"
#include "core/pdf/PDFFileReader.h"

namespace quillet::cli {

inline constexpr std::string_view kPasswordVariable = "QUILLET_PASSWORD";

// --password and --password-file.
std::vector<OptionSpec> passwordOptionSpecs();

// What --help says about the password, the list above in users' words.
std::string_view passwordHelp();

// The text up to the first line end ("\n" or "\r\n"), the whole text when
// it has none.
std::string firstLine(std::string_view text);

// Throws UsageError for both options at once, or for --password-file "-"
// while another option reads standard input too. Reads nothing, so that a
// wrong call is reported as one before any input is consumed.
void checkPasswordOptions(const Arguments& arguments);

// The password the options or the environment give, absent when none does.
// Throws as checkPasswordOptions, and std::runtime_error when the password
// file cannot be read.
std::optional<std::string> givenPassword(const Arguments& arguments);

// "Password for FILE: " on standard error, the answer read from standard
// input with echo off; absent unless standard input is a terminal or when
// nothing could be read.
std::optional<std::string> askOnTerminal(const std::string& question);

// The given password; else, when standard input is a terminal and `path`
// cannot be opened without a password, the one typed at the prompt (asked
// once); else absent. A wrong password is not an error here: the reader
// opened with it says the file is locked, and the caller decides what that
// means.
std::optional<std::string> passwordFor(const std::filesystem::path& path, const Arguments& arguments);

struct OpenedFile {
    std::shared_ptr<PDFFileReader> reader;
    std::optional<std::string> password;  // the one it was opened with, for writing it back encrypted
};

// `path` opened with passwordFor's password.
OpenedFile openWithPassword(const std::filesystem::path& path, const Arguments& arguments);

}  // namespace quillet::cli
