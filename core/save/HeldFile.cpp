#include "core/save/HeldFile.h"

#include <fcntl.h>
#include <unistd.h>

namespace quillet {

std::shared_ptr<const HeldFile> HeldFile::open(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return nullptr;
    return std::make_shared<const HeldFile>(fd);
}

HeldFile::~HeldFile() {
    ::close(fd_);
}

}  // namespace quillet
