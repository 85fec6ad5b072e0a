// A message id as Mail gave it, turned into the link that reopens the message.
#include <string>

#include "Fuzz/FuzzTarget.h"
#include "PelloraCore/MailLink.h"
#include "PelloraCore/Text.h"
#include "PelloraCore/Url.h"

namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1; // lower-case digits are not what it writes
}

} // namespace

PELLORA_FUZZ_TARGET(MailLink) {
    using namespace pellora;
    const std::string trimmed = Text::trimmed(input);
    std::string_view bare = trimmed;
    while (!bare.empty() && (bare.front() == '<' || bare.front() == '>'))
        bare.remove_prefix(1);
    while (!bare.empty() && (bare.back() == '<' || bare.back() == '>'))
        bare.remove_suffix(1);

    // Absent exactly when nothing but brackets and white space was given.
    const auto link = MailLink::url(input);
    FUZZ_CHECK(link.has_value() == !Text::trimmed(bare).empty());
    if (!link)
        return;
    // message://%3C<id>%3E, the id percent-encoded with upper-case digits, decoding back to
    // the id (ill-formed bytes read as U+FFFD, as everywhere).
    const std::string_view text = *link;
    FUZZ_CHECK(text.starts_with("message://%3C") && text.ends_with("%3E"));
    const std::string_view middle = text.substr(13, text.size() - 16);
    std::string decoded;
    for (std::size_t i = 0; i < middle.size(); ++i) {
        if (middle[i] != '%') {
            FUZZ_CHECK(std::string_view("<>@+= \"#?/").find(middle[i]) == std::string_view::npos);
            decoded += middle[i];
            continue;
        }
        FUZZ_CHECK(i + 2 < middle.size());
        const int high = hexDigit(middle[i + 1]), low = hexDigit(middle[i + 2]);
        FUZZ_CHECK(high >= 0 && low >= 0);
        decoded += char(high * 16 + low);
        i += 2;
    }
    FUZZ_CHECK(decoded == Text::utf8(Text::codePoints(bare)));
}
