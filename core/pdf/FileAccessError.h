// Failures of opening, mapping, cloning and appending to files. The text
// embeds the path and the system's message for the error number.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

namespace quillet {

class FileAccessError : public std::exception {
public:
    enum class Code { open, map, empty };

    FileAccessError(Code code, std::string path, int32_t errorNumber = 0);

    static FileAccessError open(std::string path, int32_t errorNumber) {
        return {Code::open, std::move(path), errorNumber};
    }
    static FileAccessError map(std::string path, int32_t errorNumber) {
        return {Code::map, std::move(path), errorNumber};
    }
    static FileAccessError empty(std::string path) { return {Code::empty, std::move(path)}; }

    Code code() const { return code_; }
    const std::string& path() const { return path_; }
    // The errno value; 0 for empty.
    int32_t errorNumber() const { return errorNumber_; }

    // "cannot open " + path + ": " + strerror, "cannot map " + path + ": " + strerror,
    // "file is empty: " + path
    std::string text() const { return text_; }
    const char* what() const noexcept override { return text_.c_str(); }

private:
    Code code_;
    std::string path_;
    int32_t errorNumber_;
    std::string text_;
};

}  // namespace quillet
