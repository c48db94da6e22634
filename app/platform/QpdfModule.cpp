#include "app/platform/QpdfModule.h"

#include <dlfcn.h>

#include <filesystem>
#include <mutex>

#include "app/platform/PDFEngineError.h"
#include "app/platform/PlatformLog.h"

namespace quillet::QpdfModule {

std::string path() {
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    return (program.parent_path() / folderBesideBinaries / fileName).lexically_normal().string();
}

QpdfEngine& engine() {
    static std::mutex mutex;
    static QpdfEngine* loaded = nullptr;
    std::lock_guard lock(mutex);
    if (loaded != nullptr) {
        return *loaded;
    }
    const std::string where = path();
    // Never closed: the engine and what it made live until the process ends.
    void* handle = dlopen(where.c_str(), RTLD_NOW | RTLD_LOCAL);
    const char* reason = handle == nullptr ? dlerror() : nullptr;
    auto* entry =
        handle != nullptr ? reinterpret_cast<QpdfEngineEntry>(dlsym(handle, qpdfEngineSymbol)) : nullptr;
    if (entry == nullptr) {
        const std::string detail =
            "cannot load " + where + ": " +
            (reason != nullptr ? reason : std::string("no ") + qpdfEngineSymbol + " in it");
        logLine(detail);
        throw PDFEngineError(PDFEngineError::Code::writeFailed, detail);
    }
    loaded = entry();
    return *loaded;
}

}  // namespace quillet::QpdfModule
