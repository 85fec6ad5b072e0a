#pragma once

#include <string_view>

namespace pellora {

// The made-up people, addresses and domains the route screens show in placeholders, messages
// and examples; all on the domains reserved for examples, so none can belong to anyone.
namespace Samples {

inline constexpr std::string_view personName = "Jane Doe";
inline constexpr std::string_view personAddress = "jane@example.com";
// The sender as Mail shows it: display name and address in angle brackets.
inline constexpr std::string_view sender = "Jane Doe <jane@example.com>";
// The company Jane works at.
inline constexpr std::string_view companyDomain = "example.com";
inline constexpr std::string_view companyName = "Example Corp";
// The user's own address.
inline constexpr std::string_view ownAddress = "me@example.org";

} // namespace Samples
} // namespace pellora
