// A link the user pasted into the route editor.
#include <string>

#include "Fuzz/FuzzTarget.h"
#include "PelloraCore/ChatLink.h"
#include "PelloraCore/Text.h"
#include "PelloraCore/Url.h"

PELLORA_FUZZ_TARGET(ChatLink) {
    using namespace pellora;
    const auto link = ChatLink::appURL(input);
    if (!link)
        return;
    // A deep link it returns is a valid URL in the claude scheme, and stays as it is.
    const auto components = Url::parse(*link);
    FUZZ_CHECK(components && Url::isAbsolute(*link));
    FUZZ_CHECK(Text::lowercased(components->scheme) == "claude");
    FUZZ_CHECK(ChatLink::appURL(*link) == link);
    // A web link keeps everything after its scheme, and only the chat host makes one.
    const std::string trimmed = Text::trimmed(input);
    const auto original = Url::parse(trimmed);
    FUZZ_CHECK(original.has_value());
    if (Text::lowercased(original->scheme) == "https") {
        FUZZ_CHECK(*link == "claude" + trimmed.substr(original->scheme.size()));
        FUZZ_CHECK(components->host && Text::lowercased(*components->host) == ChatLink::chatWebHost());
    } else {
        FUZZ_CHECK(*link == trimmed);
    }
}
