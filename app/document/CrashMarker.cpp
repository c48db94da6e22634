#include "app/document/CrashMarker.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <climits>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include "app/document/DocumentKey.h"
#include "app/platform/AppPaths.h"

namespace quillet {

namespace {

// A marker holds a process id in decimal; anything much longer is not one.
constexpr std::streamsize kMarkerReadLimit = 64;

std::optional<long long> parsePid(std::string text) {
    if (!text.empty() && text.front() == '+') {
        text.erase(0, 1);
        if (!text.empty() && text.front() == '-') {
            return std::nullopt;
        }
    }
    int32_t value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

bool processIsGone(long long pid) {
    if (pid <= 0 || pid > INT_MAX) {
        // 0 and negative ids name process groups; signalling them probes nothing.
        return pid > INT_MAX;
    }
    return ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

CrashMarker::CrashMarker(const std::string& documentPath) {
    const QString folder = AppPaths::applicationDataFolder();
    if (!folder.isEmpty()) {
        path_ = AppPaths::applicationDataPath(QStringLiteral("Recovery")).toStdString() + "/" +
                DocumentKey::of(documentPath) + fileSuffix;
    }
}

CrashMarker::CrashMarker(const std::string& documentPath, const std::string& recoveryFolder)
    : path_(recoveryFolder + "/" + DocumentKey::of(documentPath) + fileSuffix) {}

void CrashMarker::write() const {
    if (!path_) {
        return;
    }
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(*path_).parent_path(), ignored);
    std::ofstream file(*path_, std::ios::binary | std::ios::trunc);
    file << ::getpid();
}

bool CrashMarker::isStale() const {
    if (!path_) {
        return false;
    }
    std::ifstream file(*path_, std::ios::binary);
    if (!file) {
        return false;
    }
    std::string text(static_cast<size_t>(kMarkerReadLimit), '\0');
    file.read(text.data(), kMarkerReadLimit);
    text.resize(static_cast<size_t>(file.gcount()));
    const std::optional<long long> pid = parsePid(text);
    if (!pid || *pid == ::getpid()) {
        return false;
    }
    return processIsGone(*pid);
}

void CrashMarker::remove() const {
    if (path_) {
        std::error_code ignored;
        std::filesystem::remove(*path_, ignored);
    }
}

}  // namespace quillet
