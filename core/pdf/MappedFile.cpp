#include "core/pdf/MappedFile.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <mutex>

#include "core/pdf/FileAccessError.h"

namespace quillet {

namespace {

// Closes the descriptor on every failure out of the constructor.
struct DescriptorGuard {
    int fd;
    ~DescriptorGuard() {
        if (fd >= 0) ::close(fd);
    }
};

// The mappings the bus-error handler may repair. Plain atomics only: the
// handler reads them while other threads add and remove mappings.
struct GuardSlot {
    std::atomic<uintptr_t> begin{0};
    std::atomic<uintptr_t> end{0};
    std::atomic<std::atomic<bool>*> changed{nullptr};
};
constexpr int kGuardSlots = 4096;
GuardSlot guardSlots[kGuardSlots];
std::mutex guardSlotsMutex;
uintptr_t pageSize = 4096;
struct sigaction previousBusAction {};

void onBusError(int signal, siginfo_t* info, void* context) {
    const auto address = reinterpret_cast<uintptr_t>(info->si_addr);
    for (GuardSlot& slot : guardSlots) {
        std::atomic<bool>* changed = slot.changed.load();
        if (!changed || address < slot.begin.load() || address >= slot.end.load()) continue;
        void* page = reinterpret_cast<void*>(address & ~(pageSize - 1));
        if (::mmap(page, pageSize, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) != MAP_FAILED) {
            changed->store(true);
            return;  // the read is retried and now finds zeros
        }
    }
    // Not one of ours: whoever handled it before does, or the default action
    // when the faulting access is retried.
    if ((previousBusAction.sa_flags & SA_SIGINFO) && previousBusAction.sa_sigaction) {
        previousBusAction.sa_sigaction(signal, info, context);
    } else if (previousBusAction.sa_handler != SIG_DFL && previousBusAction.sa_handler != SIG_IGN &&
               !(previousBusAction.sa_flags & SA_SIGINFO)) {
        previousBusAction.sa_handler(signal);
    } else {
        ::signal(SIGBUS, SIG_DFL);
    }
}

void installBusHandler() {
    static std::once_flag once;
    std::call_once(once, [] {
        pageSize = static_cast<uintptr_t>(::sysconf(_SC_PAGESIZE));
        struct sigaction action {};
        action.sa_sigaction = onBusError;
        action.sa_flags = SA_SIGINFO | SA_NODEFER;
        sigemptyset(&action.sa_mask);
        ::sigaction(SIGBUS, &action, &previousBusAction);
    });
}

int guard(const char* base, size_t size, std::atomic<bool>* changed) {
    installBusHandler();
    std::lock_guard lock(guardSlotsMutex);
    for (int i = 0; i < kGuardSlots; ++i) {
        GuardSlot& slot = guardSlots[i];
        if (slot.changed.load()) continue;
        slot.begin.store(reinterpret_cast<uintptr_t>(base));
        slot.end.store(reinterpret_cast<uintptr_t>(base) + size);
        slot.changed.store(changed);
        return i;
    }
    return -1;  // more mappings than slots: this one goes unguarded
}

void unguard(int index) {
    if (index < 0) return;
    std::lock_guard lock(guardSlotsMutex);
    guardSlots[index].changed.store(nullptr);
    guardSlots[index].begin.store(0);
    guardSlots[index].end.store(0);
}

}  // namespace

MappedFile::MappedFile(const std::filesystem::path& path) : path_(path) {
    // Non-blocking so that a FIFO at the path fails at mapping instead of
    // waiting for a writer; it has no effect on regular files.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) throw FileAccessError::open(path.string(), errno);
    DescriptorGuard descriptor{fd};

    struct stat& status = status_;
    if (::fstat(fd, &status) != 0) throw FileAccessError::open(path.string(), errno);
    // Mapping a folder would fail with a confusing "No such device".
    if (S_ISDIR(status.st_mode)) throw FileAccessError::open(path.string(), EISDIR);
    if (status.st_size < 1) throw FileAccessError::empty(path.string());
    if constexpr (sizeof(status.st_size) > sizeof(size_t)) {
        // A file larger than the address space cannot be mapped whole.
        if (static_cast<uintmax_t>(status.st_size) > SIZE_MAX)
            throw FileAccessError::map(path.string(), ENOMEM);
    }

    const auto size = static_cast<size_t>(status.st_size);
    void* base = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    if (base == MAP_FAILED) throw FileAccessError::map(path.string(), errno);
    // Objects are read at scattered offsets; read-ahead would only waste I/O.
    ::madvise(base, size, MADV_RANDOM);

    base_ = static_cast<const char*>(base);
    size_ = size;
    fd_ = fd;
    descriptor.fd = -1;
    guardSlot_ = guard(base_, size_, &changed_);
}

MappedFile::~MappedFile() {
    unguard(guardSlot_);
    ::munmap(const_cast<char*>(base_), size_);
    ::close(fd_);
}

}  // namespace quillet

namespace quillet {

void MappedFile::checkIntact() const {
    if (changed()) throw FileAccessError::changed(path_.string());
}

}  // namespace quillet
