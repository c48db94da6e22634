#include "app/platform/PlatformLog.h"

#include <syslog.h>

#include <cstdio>
#include <string>

namespace quillet {

void logLine(std::string_view message) {
    const std::string line = "VerdaPDF: " + std::string(message);
    syslog(LOG_NOTICE, "%s", line.c_str());
    std::fprintf(stderr, "%s\n", line.c_str());
}

}  // namespace quillet
