#include "Uuid.h"

#include <array>
#include <cstdint>
#include <random>

namespace pellora::Uuid {
namespace {

bool isHex(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

bool isHyphenPosition(std::size_t i) { return i == 8 || i == 13 || i == 18 || i == 23; }

} // namespace

bool isValid(std::string_view text) {
    if (text.size() != 36)
        return false;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (isHyphenPosition(i) ? text[i] != '-' : !isHex(text[i]))
            return false;
    return true;
}

std::string random() {
    // The system's secure source; one per thread, as opening it is not cheap.
    thread_local std::random_device source;
    std::array<std::uint8_t, 16> bytes;
    for (std::size_t i = 0; i < bytes.size(); i += 4) {
        const std::uint32_t value = source();
        for (std::size_t k = 0; k < 4; ++k)
            bytes[i + k] = std::uint8_t(value >> (8 * k));
    }
    bytes[6] = std::uint8_t((bytes[6] & 0x0F) | 0x40); // version 4
    bytes[8] = std::uint8_t((bytes[8] & 0x3F) | 0x80); // RFC 4122 variant
    static constexpr char hex[] = "0123456789abcdef";
    std::string text;
    text.reserve(36);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10)
            text += '-';
        text += hex[bytes[i] >> 4];
        text += hex[bytes[i] & 0x0F];
    }
    return text;
}

} // namespace pellora::Uuid
