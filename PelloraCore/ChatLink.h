#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace pellora::ChatLink {

// Host of the chat service's web links and of Claude's deep links (fixed at build time).
std::string_view chatWebHost();

// The claude:// deep link for a link copied from Claude's web address bar, or absent when
// the text is not a usable link. A claude:// link is returned as it is.
std::optional<std::string> appURL(std::string_view text);

// claude://<host>/new?incognito
const std::string& incognitoURL();

} // namespace pellora::ChatLink
