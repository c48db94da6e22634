// A 128-bit universally unique identifier: the identity of a markup item.
#pragma once

#include <array>
#include <compare>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace quillet {

class UUID {
  public:
    using ByteArray = std::array<uint8_t, 16>;

    UUID() = default;  // the nil UUID, all zero
    explicit UUID(const ByteArray& bytes) : bytes_(bytes) {}

    // A version 4 (random) UUID from the kernel's random source.
    static UUID random();
    // The 36-character form 8-4-4-4-12 of hexadecimal digits in either
    // case; anything else (braces, missing or extra hyphens) is absent.
    static std::optional<UUID> parse(std::string_view text);

    // Canonical text: upper-case hexadecimal digits, 8-4-4-4-12.
    std::string text() const;
    const ByteArray& bytes() const { return bytes_; }

    auto operator<=>(const UUID&) const = default;

  private:
    ByteArray bytes_{};
};

}  // namespace quillet

template <>
struct std::hash<quillet::UUID> {
    size_t operator()(const quillet::UUID& id) const noexcept;
};
