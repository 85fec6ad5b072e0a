#include "TextPool.h"

#include <cstring>
#include <functional>
#include <string>

namespace pellora {

std::uint64_t TextPool::hash(std::string_view text) {
    // Short texts (senders, rules, action names) are hashed whole: generated addresses such as
    // "ticket-1234@help.example.com" differ only in the middle and must not all collide.
    if (text.size() <= 128)
        return std::hash<std::string_view>()(text);
    constexpr std::uint64_t multiplier = 0x9E3779B97F4A7C15ull;
    const auto word = [&](std::size_t at) {
        std::uint64_t value;
        std::memcpy(&value, text.data() + at, sizeof value);
        return value;
    };
    std::uint64_t value = text.size() * multiplier;
    for (std::uint64_t part : {word(0), word(8), word(text.size() - 16), word(text.size() - 8)})
        value = (value ^ part) * multiplier;
    return value ^ (value >> 29);
}

SharedText TextPool::intern(std::string_view text) {
    if (text.empty())
        return {};
    if (const auto found = texts_.find(text); found != texts_.end())
        return found->second;
    SharedText shared{std::string(text)};
    texts_.emplace(std::string_view(shared.get()), shared);
    return shared;
}

} // namespace pellora
