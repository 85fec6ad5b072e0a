#include "MailScript.h"

namespace pellora::MailScript {
namespace {

// Four spaces per level; the text must reach Mail byte for byte.
constexpr std::string_view first = R"(tell application "Mail"
    set sel to selection
    if (count of sel) is 0 then return {}
    set m to item 1 of sel
    set toList to address of every to recipient of m
    set ccList to address of every cc recipient of m
    set mid to ""
    try
        set mid to message id of m
    end try
    set acctAddrs to {}
    try
        set acctAddrs to email addresses of (account of mailbox of m)
    end try
    set savedPaths to {}
    set n to 0
    repeat with a in (every mail attachment of m)
        try
            set tinyImage to false
            try
                if (MIME type of a) starts with "image/" and (file size of a) < 15000 then set tinyImage to true
            end try
            if not tinyImage then
                set n to n + 1
                set p to ")";

constexpr std::string_view second = R"(/" & n & "-" & (name of a)
                save a in (POSIX file p)
                set end of savedPaths to p
            end if
        end try
    end repeat
    return {(sender of m), (subject of m), ((date received of m) as string), toList, ccList, (content of m), savedPaths, mid, acctAddrs}
end tell)";

} // namespace

std::string_view firstPiece() { return first; }

std::string_view secondPiece() { return second; }

std::string escapePath(std::string_view path) {
    // One pass gives what doubling backslashes first and then escaping quotes gives: the
    // backslash added before a quote is never doubled.
    std::string escaped;
    for (const char c : path) {
        if (c == '\\' || c == '"')
            escaped += '\\';
        escaped += c;
    }
    return escaped;
}

std::string source(std::string_view folder) {
    std::string text(first);
    text += escapePath(folder);
    text += second;
    return text;
}

} // namespace pellora::MailScript
