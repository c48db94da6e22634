// Failures of opening, mapping, cloning, appending to and replacing files.
// The text embeds the path and, where there is one, the system's message for
// the error number.
#pragma once

#include <cstdint>
#include <string>

#include "core/pdf/CoreError.h"

namespace quillet {

class FileAccessError : public CoreError {
  public:
    enum class Code { open, map, empty, write, create, replace, changed, busy, linked };

    FileAccessError(Code code, std::string path, int32_t errorNumber = 0);

    static FileAccessError open(std::string path, int32_t errorNumber) {
        return {Code::open, std::move(path), errorNumber};
    }
    static FileAccessError map(std::string path, int32_t errorNumber) {
        return {Code::map, std::move(path), errorNumber};
    }
    static FileAccessError empty(std::string path) { return {Code::empty, std::move(path)}; }
    static FileAccessError write(std::string path, int32_t errorNumber) {
        return {Code::write, std::move(path), errorNumber};
    }
    // path: the folder the file was to be created in.
    static FileAccessError create(std::string path, int32_t errorNumber) {
        return {Code::create, std::move(path), errorNumber};
    }
    static FileAccessError replace(std::string path, int32_t errorNumber) {
        return {Code::replace, std::move(path), errorNumber};
    }
    static FileAccessError changed(std::string path) { return {Code::changed, std::move(path)}; }
    static FileAccessError busy(std::string path) { return {Code::busy, std::move(path)}; }
    // errorNumber: the file's number of links.
    static FileAccessError linked(std::string path, int32_t links) {
        return {Code::linked, std::move(path), links};
    }

    Code code() const { return code_; }
    const std::string& path() const { return path_; }
    // The errno value; 0 for empty, changed and busy; the link count for linked.
    int32_t errorNumber() const { return errorNumber_; }

  private:
    Code code_;
    std::string path_;
    int32_t errorNumber_;
};

}  // namespace quillet
