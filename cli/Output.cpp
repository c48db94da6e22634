#include "cli/Output.h"

#include <cstdio>
#include <stdexcept>
#include <string>

namespace quillet::cli {

void printText(std::string_view text) {
    size_t written = std::fwrite(text.data(), 1, text.size(), stdout);
    if (written != text.size() || std::fflush(stdout) != 0 || std::ferror(stdout)) {
        throw std::runtime_error("cannot write to standard output");
    }
}

void printJSON(const nlohmann::json& value) {
    // Replace rather than refuse text that is not UTF-8: a damaged string in
    // a file must not make the whole listing fail.
    printText(value.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n");
}

int reportError(std::string_view text) {
    std::string line = "quillet: " + std::string(text) + "\n";
    std::fputs(line.c_str(), stderr);
    return kExitFailure;
}

void reportWarning(std::string_view text) {
    std::string line = "quillet: warning: " + std::string(text) + "\n";
    std::fputs(line.c_str(), stderr);
}

int reportUsageError(std::string_view text, std::string_view usage) {
    std::string lines = "quillet: " + std::string(text) + "\nusage: " + std::string(usage) + "\n";
    std::fputs(lines.c_str(), stderr);
    return kExitUsage;
}

}  // namespace quillet::cli
