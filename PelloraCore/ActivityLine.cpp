#include "ActivityLine.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <utility>

#include <nlohmann/json.hpp>

#include "ByteBlock.h"
#include "IsoDate.h"
#include "Uuid.h"

namespace pellora::ActivityLine {
namespace {

// Reads a line of the usual form: one object whose values are strings, except
// "destination", an object of strings and nulls; unknown keys with string or null values
// are skipped. It follows the JSON grammar exactly (strict UTF-8, escapes, surrogate pairs,
// no control characters, nothing after the object) and reads duplicate keys as the JSON
// parser does, the last one winning. Whatever it does not handle makes it give up, and the
// JSON parser decides; so a false answer means "not read here", never "not an entry".
class FastReader {
public:
    bool read(std::string_view line, ActivityEntry& entry) {
        p_ = line.data();
        end_ = line.data() + line.size();
        if (!consume('{'))
            return false;
        unsigned seen = 0;
        skipWhitespace();
        if (p_ < end_ && *p_ == '}')
            return false; // no keys at all
        do {
            skipWhitespace();
            if (!string(key_) || !consume(':'))
                return false;
            skipWhitespace();
            const Key key = keyNamed(key_);
            seen |= 1u << key;
            bool ok = false;
            switch (key) {
            case id: ok = string(entry.id); break;
            case date: ok = string(date_); break;
            case subject: ok = string(entry.subject); break;
            case sender: ok = string(entry.sender); break;
            case messageID: ok = string(entry.messageID); break;
            case rule: ok = string(entry.rule); break;
            case destination: ok = readDestination(entry.destination); break;
            case actionName: ok = string(entry.actionName); break;
            case mode: ok = string(mode_); break;
            case prompt: ok = string(entry.prompt); break;
            case unknown: ok = skipStringOrNull(); break;
            }
            if (!ok)
                return false;
        } while (consume(','));
        if (!consume('}'))
            return false;
        skipWhitespace();
        if (p_ != end_ || (seen & allKeys) != allKeys)
            return false;

        if (!Uuid::isValid(entry.id))
            return false;
        for (char& c : entry.id)
            if (c >= 'a' && c <= 'f')
                c = char(c - 'a' + 'A');
        const auto date = IsoDate::parse(date_);
        const auto mode = ActionMode::fromRawValue(mode_);
        if (!date || !mode)
            return false;
        entry.date = *date;
        entry.mode = *mode;
        return true;
    }

private:
    // The ten keys in field order, and any other.
    enum Key { id, date, subject, sender, messageID, rule, destination, actionName, mode, prompt, unknown };
    static constexpr unsigned allKeys = (1u << unknown) - 1;

    static Key keyNamed(std::string_view name) {
        static constexpr std::string_view names[unknown] = {
            "id", "date", "subject", "sender", "messageID", "rule", "destination", "actionName", "mode", "prompt"};
        for (int key = 0; key < unknown; ++key)
            if (names[key] == name)
                return Key(key);
        return unknown;
    }

    void skipWhitespace() {
        while (p_ < end_ && (*p_ == ' ' || *p_ == '\t' || *p_ == '\n' || *p_ == '\r'))
            ++p_;
    }

    bool consume(char c) {
        skipWhitespace();
        if (p_ < end_ && *p_ == c) {
            ++p_;
            return true;
        }
        return false;
    }

    bool null() {
        if (end_ - p_ >= 4 && std::string_view(p_, 4) == "null") {
            p_ += 4;
            return true;
        }
        return false;
    }

    bool skipStringOrNull() { return p_ < end_ && *p_ == '"' ? string(scratch_) : null(); }

    // Route's own reading decides what the object means, so the route rules live in one place.
    // Its result depends only on the object's text, and a log holds few distinct destinations:
    // the text of recent ones is remembered with their route.
    bool readDestination(Route& route) {
        for (std::size_t i = 0; i < recent_.size(); ++i) {
            const auto& [text, known] = recent_[(lastRecent_ + i) % recent_.size()];
            if (!text.empty() && std::size_t(end_ - p_) >= text.size() &&
                std::memcmp(p_, text.data(), text.size()) == 0) {
                route = known;
                p_ += text.size();
                lastRecent_ = (lastRecent_ + i) % recent_.size();
                return true;
            }
        }
        const char* start = p_;
        if (!parseDestination(route))
            return false;
        nextRecent_ = (nextRecent_ + 1) % recent_.size();
        recent_[nextRecent_] = {std::string(start, p_), route};
        lastRecent_ = nextRecent_;
        return true;
    }

    bool parseDestination(Route& route) {
        if (p_ == end_ || *p_ != '{')
            return false;
        ++p_;
        nlohmann::json object = nlohmann::json::object();
        skipWhitespace();
        if (p_ < end_ && *p_ == '}') {
            ++p_;
        } else {
            do {
                skipWhitespace();
                if (!string(key_) || !consume(':'))
                    return false;
                skipWhitespace();
                if (p_ < end_ && *p_ == '"') {
                    if (!string(scratch_))
                        return false;
                    object[key_] = scratch_;
                } else if (null()) {
                    object[key_] = nullptr;
                } else {
                    return false;
                }
            } while (consume(','));
            if (!consume('}'))
                return false;
        }
        try {
            route = object.get<Route>();
        } catch (const nlohmann::json::exception&) {
            return false;
        }
        return true;
    }

    // Skips bytes that stand for themselves in a JSON string: printable ASCII other than the
    // quote and the backslash.
    void skipPlainAscii() {
        using namespace ByteBlock;
        const Block quote = splat('"'), backslash = splat('\\'), control = splat(0x20), high = splat(0x80);
        while (end_ - p_ >= std::ptrdiff_t(ByteBlock::size)) {
            const Block block = load(p_);
            if (any((block == quote) | (block == backslash) | (block < control) | (block >= high)))
                break;
            p_ += ByteBlock::size;
        }
        while (p_ < end_) {
            const auto c = std::uint8_t(*p_);
            if (c == '"' || c == '\\' || c < 0x20 || c >= 0x80)
                break;
            ++p_;
        }
    }

    // The length of the well-formed UTF-8 sequence at p_ (RFC 3629: no overlong forms, no
    // surrogates, nothing above U+10FFFF), or 0.
    std::size_t utf8Length() const {
        const auto at = [&](std::ptrdiff_t i) { return i < end_ - p_ ? std::uint8_t(p_[i]) : 0; };
        const auto in = [](std::uint8_t c, std::uint8_t low, std::uint8_t high) { return c >= low && c <= high; };
        const std::uint8_t c = at(0);
        if (in(c, 0xC2, 0xDF))
            return in(at(1), 0x80, 0xBF) ? 2 : 0;
        if (in(c, 0xE0, 0xEF)) {
            const std::uint8_t low = c == 0xE0 ? 0xA0 : 0x80, high = c == 0xED ? 0x9F : 0xBF;
            return in(at(1), low, high) && in(at(2), 0x80, 0xBF) ? 3 : 0;
        }
        if (in(c, 0xF0, 0xF4)) {
            const std::uint8_t low = c == 0xF0 ? 0x90 : 0x80, high = c == 0xF4 ? 0x8F : 0xBF;
            return in(at(1), low, high) && in(at(2), 0x80, 0xBF) && in(at(3), 0x80, 0xBF) ? 4 : 0;
        }
        return 0;
    }

    int hex4() {
        if (end_ - p_ < 4)
            return -1;
        int value = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = *p_++;
            value <<= 4;
            if (c >= '0' && c <= '9')
                value |= c - '0';
            else if (c >= 'a' && c <= 'f')
                value |= c - 'a' + 10;
            else if (c >= 'A' && c <= 'F')
                value |= c - 'A' + 10;
            else
                return -1;
        }
        return value;
    }

    static void appendUtf8(std::string& out, std::uint32_t c) {
        if (c < 0x80) {
            out += char(c);
        } else if (c < 0x800) {
            out += char(0xC0 | (c >> 6));
            out += char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += char(0xE0 | (c >> 12));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        } else {
            out += char(0xF0 | (c >> 18));
            out += char(0x80 | ((c >> 12) & 0x3F));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        }
    }

    // After the backslash.
    bool escape(std::string& out) {
        if (p_ == end_)
            return false;
        switch (*p_++) {
        case '"': out += '"'; return true;
        case '\\': out += '\\'; return true;
        case '/': out += '/'; return true;
        case 'b': out += '\b'; return true;
        case 'f': out += '\f'; return true;
        case 'n': out += '\n'; return true;
        case 'r': out += '\r'; return true;
        case 't': out += '\t'; return true;
        case 'u': break;
        default: return false;
        }
        int c = hex4();
        if (c < 0 || (c >= 0xDC00 && c <= 0xDFFF))
            return false;
        if (c >= 0xD800 && c <= 0xDBFF) {
            if (end_ - p_ < 2 || p_[0] != '\\' || p_[1] != 'u')
                return false;
            p_ += 2;
            const int low = hex4();
            if (low < 0xDC00 || low > 0xDFFF)
                return false;
            c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
        }
        appendUtf8(out, std::uint32_t(c));
        return true;
    }

    bool string(std::string& out) {
        if (p_ == end_ || *p_ != '"')
            return false;
        ++p_;
        out.clear();
        for (;;) {
            const char* run = p_;
            for (;;) {
                skipPlainAscii();
                if (p_ == end_ || std::uint8_t(*p_) < 0x80)
                    break;
                const std::size_t length = utf8Length();
                if (length == 0)
                    return false;
                p_ += length;
            }
            out.append(run, std::size_t(p_ - run));
            if (p_ == end_)
                return false;
            if (*p_ == '"') {
                ++p_;
                return true;
            }
            if (*p_ != '\\')
                return false; // a control character
            ++p_;
            if (!escape(out))
                return false;
        }
    }

    const char* p_ = nullptr;
    const char* end_ = nullptr;
    std::string key_, scratch_, date_, mode_;
    std::array<std::pair<std::string, Route>, 16> recent_;
    std::size_t lastRecent_ = 0, nextRecent_ = 0;
};

} // namespace

std::string encode(const ActivityEntry& entry) {
    return nlohmann::ordered_json(entry).dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

bool decode(std::string_view line, ActivityEntry& entry) {
    // One reader per thread keeps its buffers and the destinations it has seen.
    thread_local FastReader reader;
    if (reader.read(line, entry))
        return true;
    try {
        nlohmann::json::parse(line).get_to(entry);
        return true;
    } catch (const nlohmann::json::exception&) {
        return false;
    }
}

std::optional<ActivityEntry> decode(std::string_view line) {
    ActivityEntry entry;
    if (!decode(line, entry))
        return std::nullopt;
    return entry;
}

} // namespace pellora::ActivityLine
