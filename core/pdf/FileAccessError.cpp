#include "core/pdf/FileAccessError.h"

#include <cstring>

namespace quillet {

namespace {

std::string composeText(FileAccessError::Code code, const std::string& path, int32_t errorNumber) {
    switch (code) {
        case FileAccessError::Code::open: return "cannot open " + path + ": " + std::strerror(errorNumber);
        case FileAccessError::Code::map: return "cannot map " + path + ": " + std::strerror(errorNumber);
        case FileAccessError::Code::empty: return "file is empty: " + path;
    }
    return "cannot open " + path;
}

}  // namespace

FileAccessError::FileAccessError(Code code, std::string path, int32_t errorNumber)
    : code_(code), path_(std::move(path)), errorNumber_(errorNumber),
      text_(composeText(code_, path_, errorNumber_)) {}

}  // namespace quillet
