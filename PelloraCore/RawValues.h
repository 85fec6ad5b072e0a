#pragma once

#include <optional>
#include <string_view>

namespace pellora {

// The case of a raw-value enumeration (one with rawValue() and allCases()) named by `raw`.
template <class Enum> std::optional<Enum> caseWithRawValue(std::string_view raw) {
    for (Enum value : Enum::allCases())
        if (value.rawValue() == raw)
            return value;
    return std::nullopt;
}

} // namespace pellora
