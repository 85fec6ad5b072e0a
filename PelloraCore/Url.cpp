#include "Url.h"

#include <uriparser/Uri.h>

namespace pellora::Url {
namespace {

// A URI reference as validated by uriparser; freed on scope exit.
class ParsedUri {
public:
    explicit ParsedUri(std::string_view text) {
        const char* errorPos = nullptr;
        valid_ = uriParseSingleUriExA(&uri_, text.data(), text.data() + text.size(), &errorPos) == URI_SUCCESS;
    }
    ~ParsedUri() {
        if (valid_)
            uriFreeUriMembersA(&uri_);
    }
    ParsedUri(const ParsedUri&) = delete;
    ParsedUri& operator=(const ParsedUri&) = delete;

    bool valid() const { return valid_; }

private:
    UriUriA uri_{};
    bool valid_ = false;
};

} // namespace

std::optional<Components> parse(std::string_view text) {
    // uriparser decides what is a valid reference; the components are then cut out of the
    // text itself (RFC 3986, appendix B), so every part stays exactly as written.
    if (!ParsedUri(text).valid())
        return std::nullopt;

    Components components;
    std::string_view rest = text;

    const auto schemeEnd = rest.find_first_of(":/?#");
    if (schemeEnd != std::string_view::npos && schemeEnd > 0 && rest[schemeEnd] == ':') {
        components.scheme = std::string(rest.substr(0, schemeEnd));
        rest.remove_prefix(schemeEnd + 1);
    }

    if (rest.substr(0, 2) == "//") {
        rest.remove_prefix(2);
        const auto authorityEnd = rest.find_first_of("/?#");
        std::string_view authority = rest.substr(0, authorityEnd);
        rest.remove_prefix(authority.size());
        if (const auto at = authority.rfind('@'); at != std::string_view::npos) {
            components.userInfo = std::string(authority.substr(0, at));
            authority.remove_prefix(at + 1);
        }
        // An IP literal is bracketed and may hold colons of its own.
        const auto hostEnd = authority.substr(0, 1) == "[" ? authority.find(']') : std::string_view::npos;
        const auto colon = authority.find(':', hostEnd == std::string_view::npos ? 0 : hostEnd);
        components.host = std::string(authority.substr(0, colon));
        if (colon != std::string_view::npos)
            components.port = std::string(authority.substr(colon + 1));
    }

    const auto pathEnd = rest.find_first_of("?#");
    components.path = std::string(rest.substr(0, pathEnd));
    rest.remove_prefix(components.path.size());

    if (!rest.empty() && rest.front() == '?') {
        const auto queryEnd = rest.find('#');
        components.query = std::string(rest.substr(1, queryEnd == std::string_view::npos ? std::string_view::npos : queryEnd - 1));
        rest.remove_prefix(1 + components.query->size());
    }
    if (!rest.empty() && rest.front() == '#')
        components.fragment = std::string(rest.substr(1));
    return components;
}

bool isAbsolute(std::string_view text) {
    const auto components = parse(text);
    return components && !components->scheme.empty();
}

} // namespace pellora::Url
