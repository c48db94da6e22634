#include "app/platform/SelfTestHook.h"

#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "app/platform/PlatformLog.h"

namespace quillet::SelfTestHook {

namespace {

constexpr std::chrono::milliseconds kPollInterval{10};

bool names(const char* variable, std::string_view point) {
    const char* value = std::getenv(variable);
    return value != nullptr && point == value;
}

void pauseAt(std::string_view point) {
    const char* file = std::getenv(pauseFileVariable);
    if (file == nullptr || *file == '\0') {
        return;
    }
    const std::string path = file;
    {
        std::ofstream out(path + ".tmp", std::ios::binary | std::ios::trunc);
        out << point << "\n";
    }
    std::error_code error;
    std::filesystem::rename(path + ".tmp", path, error);
    logLine("self-test paused at " + std::string(point));
    const auto deadline = std::chrono::steady_clock::now() + pauseLimit;
    while (std::filesystem::exists(path, error) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(kPollInterval);
    }
}

}  // namespace

void reach(std::string_view point) {
    if (names(killVariable, point)) {
        ::raise(SIGKILL);
    }
    if (names(pauseVariable, point)) {
        pauseAt(point);
    }
}

}  // namespace quillet::SelfTestHook
