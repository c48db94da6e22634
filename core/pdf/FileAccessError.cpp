#include "core/pdf/FileAccessError.h"

#include <cstring>

namespace quillet {

namespace {

std::string composeText(FileAccessError::Code code, const std::string& path, int32_t errorNumber) {
    switch (code) {
        case FileAccessError::Code::open:
            return "cannot open " + path + ": " + std::strerror(errorNumber);
        case FileAccessError::Code::map:
            return "cannot map " + path + ": " + std::strerror(errorNumber);
        case FileAccessError::Code::empty:
            return "file is empty: " + path;
        case FileAccessError::Code::write:
            return "cannot write " + path + ": " + std::strerror(errorNumber);
        case FileAccessError::Code::create:
            return "cannot create a file in " + path + ": " + std::strerror(errorNumber);
        case FileAccessError::Code::replace:
            return "cannot replace " + path + ": " + std::strerror(errorNumber);
        case FileAccessError::Code::changed:
            return path + " changed while it was read";
        case FileAccessError::Code::busy:
            return "another program is writing " + path + "; try again when it has finished";
        case FileAccessError::Code::linked:
            return "cannot replace " + path + ": it has " + std::to_string(errorNumber) +
                   " names (hard links), and the others would keep the old version; write to another file";
    }
    return "cannot open " + path;
}

}  // namespace

FileAccessError::FileAccessError(Code code, std::string path, int32_t errorNumber)
    : CoreError(Category::file, composeText(code, path, errorNumber)),
      code_(code),
      path_(std::move(path)),
      errorNumber_(errorNumber) {}

}  // namespace quillet
