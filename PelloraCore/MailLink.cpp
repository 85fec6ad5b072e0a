#include "MailLink.h"

#include "Text.h"
#include "Url.h"

namespace pellora::MailLink {
namespace {

bool isUnreserved(char32_t c) {
    return Text::isLetter(c) || Text::isMark(c) || Text::isDigit(c) || c == U'-' || c == U'.' ||
           c == U'_' || c == U'~';
}

constexpr char hex[] = "0123456789ABCDEF";

void appendPercentEncoded(std::string& result, unsigned char byte) {
    result += '%';
    result += hex[byte >> 4];
    result += hex[byte & 0x0F];
}

std::string percentEncoded(std::string_view text) {
    std::string result;
    for (char32_t c : Text::codePoints(text)) {
        const std::string bytes = Text::utf8(c);
        if (isUnreserved(c)) {
            result += bytes;
            continue;
        }
        for (unsigned char byte : bytes)
            appendPercentEncoded(result, byte);
    }
    return result;
}

// Letters outside ASCII stay in the link as Mail expects them (an IRI); a URI parser only
// accepts them percent-encoded, so check that form.
bool isValidLink(std::string_view link) {
    std::string ascii;
    for (unsigned char byte : link) {
        if (byte < 0x80)
            ascii += char(byte);
        else
            appendPercentEncoded(ascii, byte);
    }
    return Url::isAbsolute(ascii);
}

} // namespace

std::optional<std::string> url(std::string_view messageID) {
    const std::string trimmed = Text::trimmed(messageID);
    std::string_view id = trimmed;
    while (!id.empty() && (id.front() == '<' || id.front() == '>'))
        id.remove_prefix(1);
    while (!id.empty() && (id.back() == '<' || id.back() == '>'))
        id.remove_suffix(1);
    // "< >" is as empty as "<>": white space alone never names a message.
    if (Text::trimmed(id).empty())
        return std::nullopt;
    std::string link = "message://%3C" + percentEncoded(id) + "%3E";
    if (!isValidLink(link))
        return std::nullopt;
    return link;
}

} // namespace pellora::MailLink
