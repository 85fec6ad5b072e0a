#include "SimMail.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <ctime>
#include <fstream>
#include <iterator>
#include <memory>
#include <mutex>
#include <sstream>

#include <fcntl.h>
#include <unistd.h>

#include <QString>
#include <QTextDocumentFragment>
// GLib names a struct member "signals", which Qt defines as a keyword.
#pragma push_macro("signals")
#undef signals
#include <gmime/gmime.h>
#pragma pop_macro("signals")

#include "Pellora/Mail/MailScript.h"
#include "Pellora/Platform/Sim/SimDesktop.h"

namespace pellora {
namespace {

using Descriptor = ScriptRunner::Descriptor;
using Outcome = ScriptRunner::Outcome;

constexpr std::string_view addressedToMail = "tell application \"Mail\"";
constexpr std::int64_t tinyImageLimit = 15000;

Outcome failure(std::string message) { return Outcome{std::nullopt, std::move(message)}; }

struct GObjectRelease {
    void operator()(gpointer object) const { g_object_unref(object); }
};
template <class T> using GPointer = std::unique_ptr<T, GObjectRelease>;

struct GFreeRelease {
    void operator()(gpointer memory) const { g_free(memory); }
};
using GText = std::unique_ptr<char, GFreeRelease>;

void initialiseGMime() {
    static std::once_flag once;
    std::call_once(once, [] { g_mime_init(); });
}

// Reverses the reader's escaping; absent when the literal would not compile.
std::optional<std::string> unescape(std::string_view literal) {
    std::string text;
    for (std::size_t index = 0; index < literal.size(); ++index) {
        const char c = literal[index];
        if (c == '"')
            return std::nullopt; // the literal would end here
        if (c == '\\') {
            if (index + 1 >= literal.size() || (literal[index + 1] != '\\' && literal[index + 1] != '"'))
                return std::nullopt;
            text += literal[++index];
            continue;
        }
        text += c;
    }
    return text;
}

// AppleScript's text for a date, in English whatever the locale:
// "Saturday, 5 December 2026 at 06:19:03".
std::string appleScriptDate(int weekday /* 1 = Monday */, int day, int month, int year, int hour, int minute,
                            int second) {
    static constexpr std::array<const char*, 7> weekdays{"Monday", "Tuesday",  "Wednesday", "Thursday",
                                                         "Friday", "Saturday", "Sunday"};
    static constexpr std::array<const char*, 12> months{"January", "February", "March",     "April",
                                                        "May",     "June",     "July",      "August",
                                                        "September", "October", "November", "December"};
    char time[16];
    std::snprintf(time, sizeof time, "%02d:%02d:%02d", hour, minute, second);
    return std::string(weekdays.at(std::size_t(weekday - 1))) + ", " + std::to_string(day) + " " +
           months.at(std::size_t(month - 1)) + " " + std::to_string(year) + " at " + time;
}

// As Mail turns "date received" into text: the clock time in this machine's time zone.
std::string dateText(GDateTime* date, std::chrono::system_clock::time_point fallback) {
    if (date) {
        GDateTime* local = g_date_time_to_local(date);
        const std::string text = appleScriptDate(g_date_time_get_day_of_week(local), g_date_time_get_day_of_month(local),
                                                 g_date_time_get_month(local), g_date_time_get_year(local),
                                                 g_date_time_get_hour(local), g_date_time_get_minute(local),
                                                 g_date_time_get_second(local));
        g_date_time_unref(local);
        return text;
    }
    // No Date header: Mail received it now.
    const std::time_t seconds = std::chrono::system_clock::to_time_t(fallback);
    std::tm local{};
    localtime_r(&seconds, &local);
    return appleScriptDate(local.tm_wday == 0 ? 7 : local.tm_wday, local.tm_mday, local.tm_mon + 1,
                           local.tm_year + 1900, local.tm_hour, local.tm_min, local.tm_sec);
}

void collectMailboxes(InternetAddressList* list, std::vector<InternetAddressMailbox*>& into) {
    if (!list)
        return;
    for (int index = 0; index < internet_address_list_length(list); ++index) {
        InternetAddress* address = internet_address_list_get_address(list, index);
        if (INTERNET_ADDRESS_IS_MAILBOX(address))
            into.push_back(INTERNET_ADDRESS_MAILBOX(address));
        else if (INTERNET_ADDRESS_IS_GROUP(address))
            collectMailboxes(internet_address_group_get_members(INTERNET_ADDRESS_GROUP(address)), into);
    }
}

std::vector<std::string> addresses(InternetAddressList* list) {
    std::vector<InternetAddressMailbox*> mailboxes;
    collectMailboxes(list, mailboxes);
    std::vector<std::string> texts;
    for (auto* mailbox : mailboxes) {
        if (const char* address = internet_address_mailbox_get_addr(mailbox))
            texts.emplace_back(address);
    }
    return texts;
}

// As Mail shows a sender: "Name <address>", or the bare address when there is no name.
std::string senderText(InternetAddressList* from) {
    std::vector<InternetAddressMailbox*> mailboxes;
    collectMailboxes(from, mailboxes);
    if (mailboxes.empty())
        return {};
    const char* name = internet_address_get_name(INTERNET_ADDRESS(mailboxes.front()));
    const char* address = internet_address_mailbox_get_addr(mailboxes.front());
    const std::string bare = address ? address : "";
    if (!name || !*name)
        return bare;
    return std::string(name) + " <" + bare + ">";
}

std::string normaliseLineEnds(std::string text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t index = 0; index < text.size(); ++index) {
        if (text[index] == '\r') {
            out += '\n';
            if (index + 1 < text.size() && text[index + 1] == '\n')
                ++index;
        } else {
            out += text[index];
        }
    }
    return out;
}

std::string mimeType(GMimeObject* object) {
    GMimeContentType* type = g_mime_object_get_content_type(object);
    if (!type)
        return "application/octet-stream";
    GText text(g_mime_content_type_get_mime_type(type));
    QString lowered = QString::fromUtf8(text ? text.get() : "application/octet-stream").toLower();
    return lowered.toStdString();
}

std::string bytesOf(GMimeStream* stream) {
    GByteArray* array = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(stream));
    return std::string(reinterpret_cast<const char*>(array->data), array->len);
}

struct Attachment {
    std::string name;
    std::string type;
    std::string content; // decoded
};

struct Parsed {
    GPointer<GMimeMessage> message;
    std::string body;
    std::vector<Attachment> attachments;
};

bool isAttachmentDisposition(GMimeObject* object) {
    GMimeContentDisposition* disposition = g_mime_object_get_content_disposition(object);
    return disposition && g_mime_content_disposition_is_attachment(disposition);
}

void collectLeaves(GMimeObject* object, std::vector<GMimeObject*>& leaves) {
    if (GMIME_IS_MULTIPART(object)) {
        auto* multipart = GMIME_MULTIPART(object);
        for (int index = 0; index < g_mime_multipart_get_count(multipart); ++index)
            collectLeaves(g_mime_multipart_get_part(multipart, index), leaves);
    } else if (object) {
        leaves.push_back(object);
    }
}

// The bytes of a part after its transfer encoding is undone.
std::string decodedBytes(GMimePart* part) {
    GPointer<GMimeStream> content(g_mime_stream_mem_new());
    if (GMimeDataWrapper* wrapper = g_mime_part_get_content(part))
        g_mime_data_wrapper_write_to_stream(wrapper, content.get());
    return bytesOf(content.get());
}

bool isUtf8(const std::string& bytes) { return g_utf8_validate(bytes.data(), gssize(bytes.size()), nullptr); }

// Windows-1252 to UTF-8; the five unassigned bytes keep their Latin-1 meaning.
std::string fromWindows1252(const std::string& bytes) {
    static constexpr std::array<char16_t, 32> high{
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    QString text;
    text.reserve(qsizetype(bytes.size()));
    for (const unsigned char byte : bytes)
        text += QChar(byte >= 0x80 && byte < 0xA0 ? high[byte - 0x80] : char16_t(byte));
    return text.toStdString();
}

// A text part's content as UTF-8, whatever it declares: its charset when that converts
// cleanly, otherwise UTF-8 when the bytes are UTF-8, otherwise Windows-1252.
std::string textOf(GMimePart* part) {
    const std::string bytes = decodedBytes(part);
    if (const char* charset = g_mime_object_get_content_type_parameter(GMIME_OBJECT(part), "charset")) {
        gsize written = 0;
        GError* error = nullptr;
        GText converted(g_convert(bytes.data(), gssize(bytes.size()), "UTF-8", charset, nullptr, &written, &error));
        if (error)
            g_error_free(error);
        else if (converted && isUtf8(std::string(converted.get(), written)))
            return std::string(converted.get(), written);
    }
    return isUtf8(bytes) ? bytes : fromWindows1252(bytes);
}

// An inline text part: part of what Mail shows as the message's content.
bool isInlineText(GMimeObject* object) {
    return GMIME_IS_TEXT_PART(object) && !isAttachmentDisposition(object) && !g_mime_part_get_filename(GMIME_PART(object));
}

std::string renderedText(GMimeObject* object) {
    std::string text = textOf(GMIME_PART(object));
    if (g_mime_content_type_is_type(g_mime_object_get_content_type(object), "text", "html"))
        text = QTextDocumentFragment::fromHtml(QString::fromStdString(text)).toPlainText().toStdString();
    return text;
}

// Mail's "content": every inline text part in order (a list footer after the message
// included); of alternative renderings only one, the plain text where there is one.
void collectContent(GMimeObject* object, std::string& content) {
    if (GMIME_IS_MULTIPART(object)) {
        auto* multipart = GMIME_MULTIPART(object);
        const int count = g_mime_multipart_get_count(multipart);
        if (g_mime_content_type_is_type(g_mime_object_get_content_type(object), "multipart", "alternative")) {
            GMimeObject* chosen = nullptr;
            for (int index = 0; index < count && !chosen; ++index) {
                GMimeObject* part = g_mime_multipart_get_part(multipart, index);
                if (isInlineText(part) && g_mime_content_type_is_type(g_mime_object_get_content_type(part), "text", "plain"))
                    chosen = part;
            }
            for (int index = 0; index < count && !chosen; ++index) {
                GMimeObject* part = g_mime_multipart_get_part(multipart, index);
                if (isInlineText(part) || GMIME_IS_MULTIPART(part))
                    chosen = part;
            }
            // The renderings not chosen are not attachments either (see parse).
            if (chosen)
                collectContent(chosen, content);
            return;
        }
        for (int index = 0; index < count; ++index)
            collectContent(g_mime_multipart_get_part(multipart, index), content);
    } else if (object && isInlineText(object)) {
        if (!content.empty() && content.back() != '\n' && content.back() != '\r')
            content += '\n';
        content += renderedText(object);
    }
}

std::optional<Parsed> parse(const std::filesystem::path& file) {
    std::ifstream input(file, std::ios::binary | std::ios::ate);
    if (!input)
        return std::nullopt;
    // In one read: a message with attachments runs to megabytes.
    std::string raw(std::size_t(std::max<std::streamoff>(input.tellg(), 0)), '\0');
    input.seekg(0);
    if (!input.read(raw.data(), std::streamsize(raw.size())))
        return std::nullopt;

    initialiseGMime();
    GPointer<GMimeStream> stream(g_mime_stream_mem_new_with_buffer(raw.data(), raw.size()));
    GPointer<GMimeParser> parser(g_mime_parser_new_with_stream(stream.get()));
    Parsed parsed;
    parsed.message.reset(g_mime_parser_construct_message(parser.get(), nullptr));
    if (!parsed.message)
        return std::nullopt;

    GMimeObject* root = g_mime_message_get_mime_part(parsed.message.get());
    std::string content;
    collectContent(root, content);
    parsed.body = normaliseLineEnds(std::move(content));

    std::vector<GMimeObject*> leaves;
    collectLeaves(root, leaves);

    for (GMimeObject* leaf : leaves) {
        Attachment attachment;
        attachment.type = mimeType(leaf);
        if (GMIME_IS_PART(leaf)) {
            auto* part = GMIME_PART(leaf);
            if (isInlineText(leaf))
                continue; // the content, or a rendering of it not chosen: never an attachment
            const char* filename = g_mime_part_get_filename(part);
            attachment.name = filename ? filename : "";
            attachment.content = decodedBytes(part);
        } else if (GMIME_IS_MESSAGE_PART(leaf)) {
            GPointer<GMimeStream> content(g_mime_stream_mem_new());
            GMimeMessage* inner = g_mime_message_part_get_message(GMIME_MESSAGE_PART(leaf));
            if (inner)
                g_mime_object_write_to_stream(GMIME_OBJECT(inner), nullptr, content.get());
            attachment.content = bytesOf(content.get());
            GMimeContentDisposition* disposition = g_mime_object_get_content_disposition(leaf);
            const char* filename = disposition ? g_mime_content_disposition_get_parameter(disposition, "filename") : nullptr;
            attachment.name = filename ? filename : "";
        } else {
            continue;
        }
        parsed.attachments.push_back(std::move(attachment));
    }
    return parsed;
}

// A name that stays inside the folder: no separators, never "." or "..", never empty.
std::string safeFileName(std::string name) {
    for (char& c : name) {
        if (c == '/')
            c = '_';
    }
    if (name.empty() || name == "." || name == "..")
        return "attachment";
    return name;
}

bool writeFile(const std::filesystem::path& path, const std::string& content) {
    const int descriptor = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (descriptor < 0)
        return false;
    std::size_t written = 0;
    while (written < content.size()) {
        const ssize_t chunk = ::write(descriptor, content.data() + written, content.size() - written);
        if (chunk <= 0) {
            ::close(descriptor);
            return false;
        }
        written += std::size_t(chunk);
    }
    return ::close(descriptor) == 0;
}

Descriptor texts(const std::vector<std::string>& values) {
    std::vector<Descriptor> items;
    for (const auto& value : values)
        items.push_back(Descriptor::text(value));
    return Descriptor::list(std::move(items));
}

} // namespace

std::optional<ScriptRunner::Outcome> SimMail::runScript(const std::string& source) {
    if (!source.starts_with(addressedToMail))
        return std::nullopt; // not for Mail
    ++scriptsRun_;
    if (refusesAutomation_)
        return failure("Not authorized to send Apple events to Mail.");

    const std::string_view first = MailScript::firstPiece();
    const std::string_view second = MailScript::secondPiece();
    if (source.size() < first.size() + second.size() || !source.starts_with(first) || !source.ends_with(second))
        return failure("Mail got an error: AppleEvent handler failed.");
    const auto folder = unescape(std::string_view(source).substr(first.size(), source.size() - first.size() - second.size()));
    if (!folder)
        return failure("Expected end of line, etc. but found unknown token.");

    Outcome outcome = readSelection(*folder);
    if (outcome.result && itemLimit_ && outcome.result->numberOfItems() > *itemLimit_)
        outcome.result->items.resize(std::size_t(std::max(0, *itemLimit_)));
    return outcome;
}

std::optional<SimMail::Listing> SimMail::listing(const std::filesystem::path& message) {
    const auto parsed = parse(message);
    if (!parsed)
        return std::nullopt;
    GMimeMessage* parsedMessage = parsed->message.get();
    Listing listing;
    listing.sender = senderText(g_mime_message_get_from(parsedMessage));
    const char* subject = g_mime_message_get_subject(parsedMessage);
    listing.subject = subject ? subject : "";
    if (GDateTime* date = g_mime_message_get_date(parsedMessage))
        listing.date = std::chrono::sys_seconds(std::chrono::seconds(g_date_time_to_unix(date)));
    listing.content = parsed->body;
    for (const auto& attachment : parsed->attachments)
        listing.attachmentNames.push_back(attachment.name);
    return listing;
}

ScriptRunner::Outcome SimMail::readSelection(const std::filesystem::path& folder) {
    if (selection_.empty())
        return Outcome{Descriptor::list({}), std::nullopt};
    const auto parsed = parse(selection_.front());
    if (!parsed)
        return failure("Mail got an error: Can’t get item 1 of selection.");
    GMimeMessage* message = parsed->message.get();

    std::vector<std::string> savedPaths;
    int counter = 0;
    for (std::size_t index = 0; index < parsed->attachments.size(); ++index) {
        const Attachment& attachment = parsed->attachments[index];
        const bool tinyImage = attachment.type.starts_with("image/") &&
                               std::int64_t(attachment.content.size()) < tinyImageLimit;
        if (tinyImage)
            continue;
        ++counter;
        const std::string path = folder.string() + "/" + std::to_string(counter) + "-" + safeFileName(attachment.name);
        const bool failing = (failingPosition_ && *failingPosition_ == int(index) + 1) ||
                             (failingName_ && *failingName_ == attachment.name);
        if (failing || !writeFile(path, attachment.content))
            continue; // Mail's try block: skipped silently, the number stays used
        savedPaths.push_back(path);
    }

    const char* subject = g_mime_message_get_subject(message);
    const char* messageID = g_mime_message_get_message_id(message);
    const auto now = desktop() ? desktop()->clock().wallNow() : std::chrono::system_clock::now();
    std::vector<Descriptor> items{
        Descriptor::text(senderText(g_mime_message_get_from(message))),
        Descriptor::text(subject ? subject : ""),
        Descriptor::text(dateText(g_mime_message_get_date(message), now)),
        texts(addresses(g_mime_message_get_addresses(message, GMIME_ADDRESS_TYPE_TO))),
        texts(addresses(g_mime_message_get_addresses(message, GMIME_ADDRESS_TYPE_CC))),
        Descriptor::text(parsed->body),
        texts(savedPaths),
        Descriptor::text(messageID ? messageID : ""),
        texts(accountAddresses_),
    };
    return Outcome{Descriptor::list(std::move(items)), std::nullopt};
}

} // namespace pellora
