#include "core/markup/UUID.h"

#include <sys/random.h>

#include <cerrno>
#include <random>

namespace quillet {

namespace {

constexpr size_t kTextLength = 36;

bool isHyphenPosition(size_t i) {
    return i == 8 || i == 13 || i == 18 || i == 23;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// getrandom blocks only until the kernel's pool is first seeded; it can be
// interrupted by a signal or be missing on a very old kernel, and an item
// must still get an identity then.
void fillRandom(UUID::ByteArray& bytes) {
    size_t filled = 0;
    while (filled < bytes.size()) {
        ssize_t n = getrandom(bytes.data() + filled, bytes.size() - filled, 0);
        if (n > 0) {
            filled += static_cast<size_t>(n);
        } else if (n < 0 && errno != EINTR) {
            break;
        }
    }
    if (filled == bytes.size()) return;
    std::random_device device;
    for (uint8_t& b : bytes) b = static_cast<uint8_t>(device());
}

}  // namespace

UUID UUID::random() {
    ByteArray bytes;
    fillRandom(bytes);
    bytes[6] = static_cast<uint8_t>((bytes[6] & 0x0F) | 0x40);  // version 4
    bytes[8] = static_cast<uint8_t>((bytes[8] & 0x3F) | 0x80);  // RFC 4122 variant
    return UUID(bytes);
}

std::optional<UUID> UUID::parse(std::string_view text) {
    if (text.size() != kTextLength) return std::nullopt;
    ByteArray bytes{};
    size_t nibble = 0;
    for (size_t i = 0; i < kTextLength; ++i) {
        if (isHyphenPosition(i)) {
            if (text[i] != '-') return std::nullopt;
            continue;
        }
        int v = hexValue(text[i]);
        if (v < 0) return std::nullopt;
        bytes[nibble / 2] = static_cast<uint8_t>(bytes[nibble / 2] << 4 | v);
        ++nibble;
    }
    return UUID(bytes);
}

std::string UUID::text() const {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(kTextLength);
    for (size_t i = 0; i < bytes_.size(); ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) out += '-';
        out += kDigits[bytes_[i] >> 4];
        out += kDigits[bytes_[i] & 0x0F];
    }
    return out;
}

}  // namespace quillet

size_t std::hash<quillet::UUID>::operator()(const quillet::UUID& id) const noexcept {
    size_t h = 0;
    for (uint8_t b : id.bytes()) h = h * 131 + b;
    return h;
}
