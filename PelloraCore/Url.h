#pragma once

#include <optional>
#include <string>
#include <string_view>

// RFC 3986 parsing (uriparser) for the places that must tell a link from other text.
namespace pellora::Url {

struct Components {
    std::string scheme;                   // as written, not lower-cased
    std::optional<std::string> userInfo;
    std::optional<std::string> host;      // absent when the link has no authority
    std::optional<std::string> port;
    std::string path;
    std::optional<std::string> query;
    std::optional<std::string> fragment;
    bool operator==(const Components&) const = default;
};

// The components of a URI reference, or absent when the text is not one. A relative
// reference parses with an empty scheme.
std::optional<Components> parse(std::string_view text);

// A valid URI with a scheme.
bool isAbsolute(std::string_view text);

} // namespace pellora::Url
