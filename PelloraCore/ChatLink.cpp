#include "ChatLink.h"

#include "Text.h"
#include "Url.h"

#ifndef PELLORA_CHAT_WEB_HOST
#define PELLORA_CHAT_WEB_HOST "claude.ai"
#endif

namespace pellora::ChatLink {

std::string_view chatWebHost() { return PELLORA_CHAT_WEB_HOST; }

std::optional<std::string> appURL(std::string_view text) {
    const std::string link = Text::trimmed(text);
    const auto components = Url::parse(link);
    if (!components || components->scheme.empty())
        return std::nullopt;
    const std::string scheme = Text::lowercased(components->scheme);
    if (scheme == "claude")
        return link;
    if (scheme == "https" && components->host && Text::lowercased(*components->host) == chatWebHost())
        return "claude" + link.substr(components->scheme.size());
    return std::nullopt;
}

const std::string& incognitoURL() {
    static const std::string url = "claude://" + std::string(chatWebHost()) + "/new?incognito";
    return url;
}

} // namespace pellora::ChatLink
