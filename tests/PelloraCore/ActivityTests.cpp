#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include <sys/stat.h>

#include <nlohmann/json.hpp>

#include "PelloraCore/ActivityEntry.h"
#include "PelloraCore/ActivityFile.h"
#include "PelloraCore/ActivityLine.h"
#include "PelloraCore/ActivitySearch.h"
#include "PelloraCore/Uuid.h"
#include "TestHome.h"

using namespace pellora;
using namespace std::chrono;

namespace {

const sys_seconds morning = sys_days{2026y / December / 5} + 6h + 19min + 3s;

ActivityEntry entry(sys_seconds date = morning, std::string subject = "Quarterly Report") {
    ActivityEntry entry;
    entry.id = "6F9619FF-8B86-D011-B42D-00C04FC964FF";
    entry.date = date;
    entry.subject = std::move(subject);
    entry.sender = "Ann Example <ann@example.com>";
    entry.messageID = "<abc@mail.example.com>";
    entry.rule = "example.com";
    entry.destination.domain = "example.com";
    entry.destination.matchOn = MatchField::from;
    entry.destination.kind = DestinationKind::chat;
    entry.destination.name = "Board";
    entry.actionName = "Draft a Reply";
    entry.mode = ActionMode::prompt;
    entry.prompt = "Draft a reply.";
    return entry;
}

const char* const sampleLine =
    R"({"id":"6F9619FF-8B86-D011-B42D-00C04FC964FF","date":"2026-12-05T06:19:03Z","subject":"Quarterly Report",)"
    R"("sender":"Ann Example <ann@example.com>","messageID":"<abc@mail.example.com>","rule":"example.com",)"
    R"("destination":{"domain":"example.com","kind":"chat","matchOn":"from","name":"Board"},)"
    R"("actionName":"Draft a Reply","mode":"prompt","prompt":"Draft a reply."})";

std::filesystem::path logFile() { return pellora::testing::testHome() / "Support" / "Pellora" / "activity.jsonl"; }

void write(const std::filesystem::path& file, const std::string& text) {
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << text;
}

std::string read(const std::filesystem::path& file) {
    std::ostringstream text;
    text << std::ifstream(file, std::ios::binary).rdbuf();
    return text.str();
}

std::vector<std::string> subjects(const std::vector<ActivityEntry>& entries) {
    std::vector<std::string> result;
    for (const auto& e : entries)
        result.push_back(e.subject);
    return result;
}

// Replaces the first occurrence of `from` in the sample line.
std::string sampleWith(std::string_view from, std::string_view to) {
    std::string line = sampleLine;
    const auto at = line.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return line.replace(at, from.size(), to);
}

} // namespace

TEST(ActivityLine, EncodesOneCompactLineWithKeysInFieldOrder) {
    EXPECT_EQ(ActivityLine::encode(entry()), sampleLine);
    EXPECT_EQ(ActivityLine::decode(sampleLine), entry());
}

TEST(ActivityLine, RoundTripsAwkwardText) {
    auto e = entry(morning, "Re: \"Quotes\" \\ slashes / tabs\t\nand line feeds, caf\u00e9 \U0001F600");
    e.prompt = "";
    e.mode = ActionMode::pasteOnly;
    e.rule = "";
    e.destination = Route{};
    e.destination.instructions = std::string("control \x01 character", 19);
    const auto line = ActivityLine::encode(e);
    EXPECT_EQ(line.find('\n'), std::string::npos);
    EXPECT_EQ(ActivityLine::decode(line), e);
}

TEST(ActivityLine, ReadsEveryWayJsonCanSpellAnEntry) {
    struct Case {
        std::string line;
        std::string subject;
    };
    const Case cases[] = {
        {sampleWith(R"("subject":"Quarterly Report")", R"("subject":"\u00dcber \"R\u00e9sum\u00e9\" \ud83d\ude00\/\b\f\r\t")"),
         "\u00dcber \"R\u00e9sum\u00e9\" \U0001F600/\b\f\r\t"},
        {sampleWith(R"({"id")", " \t{ \"id\" ") + " \r", "Quarterly Report"},
        {sampleWith(R"("rule":)", R"("extra":"x","more":null,"number":1.5,"nested":{"a":[1,2]},"rule":)"), "Quarterly Report"},
        {"\xEF\xBB\xBF" + std::string(sampleLine), "Quarterly Report"}, // a byte-order mark
    };
    for (const auto& c : cases) {
        const auto decoded = ActivityLine::decode(c.line);
        ASSERT_TRUE(decoded) << c.line;
        EXPECT_EQ(decoded->subject, c.subject);
        EXPECT_EQ(decoded->destination.name, "Board");
        // Lines outside the usual form go through the JSON parser: both ways agree.
        EXPECT_EQ(*decoded, nlohmann::json::parse(c.line).get<ActivityEntry>());
    }

    // Keys in another order, and a duplicate key: the last one wins, as in any JSON reader.
    const auto reordered = std::string(R"({"prompt":"Draft a reply.","mode":"prompt","subject":"First",)") +
                           R"("actionName":"Draft a Reply","destination":{"kind":"chat","name":"Board","matchOn":"from",)" +
                           R"("domain":"example.com"},"rule":"example.com","messageID":"<abc@mail.example.com>",)" +
                           R"("sender":"Ann Example <ann@example.com>","date":"2026-12-05T06:19:03Z",)" +
                           R"("id":"6f9619ff-8b86-d011-b42d-00c04fc964ff","subject":"Quarterly Report"})";
    EXPECT_EQ(ActivityLine::decode(reordered), entry()); // also: a lower-case id reads upper-case
}

TEST(ActivityLine, RejectsLinesThatAreNotCompleteEntries) {
    const std::string lines[] = {
        sampleWith(R"("prompt":"Draft a reply.")", R"("other":"Draft a reply.")"), // a key missing
        sampleWith(R"("prompt":"Draft a reply.")", R"("prompt":null)"),
        sampleWith(R"("subject":"Quarterly Report")", R"("subject":42)"),
        sampleWith(R"("mode":"prompt")", R"("mode":"Prompt")"),
        sampleWith(R"("kind":"chat")", R"("kind":"room")"),
        sampleWith(R"("destination":{)", R"("destination":"x","ignored":{)"),
        sampleWith("6F9619FF-8B86-D011-B42D-00C04FC964FF", "6F9619FF8B86D011B42D00C04FC964FF"),
        sampleWith("2026-12-05T06:19:03Z", "2026-12-05T06:19:03.5Z"),
        sampleWith("2026-12-05T06:19:03Z", "1796192343"),
        sampleWith("Quarterly", "\\ud83d Quarterly"),    // a lone surrogate
        sampleWith("Quarterly", "\\udc00 Quarterly"),
        sampleWith("Quarterly", "\x01 Quarterly"),       // a raw control character
        sampleWith("Quarterly", "\xC3\x28 Quarterly"),   // not UTF-8
        sampleWith("Quarterly", "\xED\xA0\x80 Quarterly"), // an encoded surrogate
        sampleWith("Quarterly", "\\x Quarterly"),
        std::string(sampleLine) + "x",
        std::string(sampleLine).substr(0, 200),
        sampleWith(R"("prompt":"Draft a reply."})", R"("prompt":"Draft a reply.",})"),
        "{}",
        "[]",
        "null",
    };
    for (const auto& line : lines)
        EXPECT_EQ(ActivityLine::decode(line), std::nullopt) << line;
}

TEST(ActivityLine, DestinationsAreReadByTheRouteRules) {
    // Remembered destinations must not blur into each other.
    const std::string project = R"({"domain":"acme.org","kind":"project","matchOn":"to","name":"Acme"})";
    const std::string older = R"({"address":"bob@acme.org","chatTitle":"Bob","url":null})";
    const std::string longer = R"({"domain":"example.com","kind":"chat","matchOn":"from","name":"Boardroom"})";
    for (int round = 0; round < 2; ++round) {
        const auto d = ActivityLine::decode(sampleWith(R"({"domain":"example.com","kind":"chat","matchOn":"from","name":"Board"})", longer));
        ASSERT_TRUE(d);
        EXPECT_EQ(d->destination.name, "Boardroom");
        const auto a = ActivityLine::decode(sampleWith(R"({"domain":"example.com","kind":"chat","matchOn":"from","name":"Board"})", project));
        const auto b = ActivityLine::decode(sampleWith(R"({"domain":"example.com","kind":"chat","matchOn":"from","name":"Board"})", older));
        const auto c = ActivityLine::decode(sampleLine);
        ASSERT_TRUE(a && b && c);
        EXPECT_EQ(a->destination, (Route{"acme.org", MatchField::to, DestinationKind::project, "Acme", {}, {}}));
        EXPECT_EQ(b->destination, (Route{"bob@acme.org", MatchField::to, DestinationKind::chat, "Bob", {}, {}}));
        EXPECT_EQ(c->destination, entry().destination);
    }
}

TEST(ActivityEntry, RequiresAllTenKeysWhenReadFromJson) {
    auto json = nlohmann::json::parse(sampleLine);
    EXPECT_EQ(json.get<ActivityEntry>(), entry());
    for (const auto& key : {"id", "date", "subject", "sender", "messageID", "rule", "destination", "actionName",
                            "mode", "prompt"}) {
        auto missing = json;
        missing.erase(key);
        EXPECT_THROW(missing.get<ActivityEntry>(), nlohmann::json::exception) << key;
    }
}

TEST(ActivityEntry, NewIdsAreUpperCaseUuids) {
    const auto id = ActivityEntry::newID();
    EXPECT_TRUE(Uuid::isValid(id));
    EXPECT_EQ(id.find_first_of("abcdef"), std::string::npos);
    EXPECT_EQ(id[14], '4');
    EXPECT_NE(id, ActivityEntry::newID());
    EXPECT_FALSE(Uuid::isValid("{6F9619FF-8B86-D011-B42D-00C04FC964FF}"));
    EXPECT_FALSE(Uuid::isValid("6F9619FF-8B86-D011-B42D-00C04FC964FG"));
    EXPECT_FALSE(Uuid::isValid(" 6F9619FF-8B86-D011-B42D-00C04FC964F"));
}

TEST(ActivityEntry, RouteTexts) {
    auto e = entry();
    EXPECT_EQ(e.routeText(), "From example.com → Board");
    e.destination = Route{"bob@acme.org", MatchField::to, DestinationKind::project, "Acme", {}, {}};
    e.rule = "bob@acme.org";
    EXPECT_EQ(e.routeText(), "To bob@acme.org → New chat in project: Acme");
    e.rule = "";
    e.destination = Route{};
    EXPECT_EQ(e.routeText(), "No route · New chat each time");
}

TEST(ActivityEntry, OnlyExistingChatsAndProjectsCanBeOpened) {
    struct Case {
        Route destination;
        bool canOpen;
    };
    const Case cases[] = {
        {Route{"a.com", MatchField::to, DestinationKind::chat, "Board", {}, {}}, true},
        {Route{"a.com", MatchField::to, DestinationKind::chat, {}, "https://claude.ai/chat/1", {}}, true},
        {Route{"a.com", MatchField::to, DestinationKind::project, "Acme", {}, {}}, true},
        {Route{"a.com", MatchField::to, DestinationKind::chat, " ", {}, {}}, false}, // falls back to a new chat
        {Route{"a.com", MatchField::to, DestinationKind::newChat, {}, {}, {}}, false},
        {Route{"a.com", MatchField::to, DestinationKind::incognito, {}, {}, {}}, false},
    };
    for (const auto& c : cases) {
        auto e = entry();
        e.destination = c.destination;
        EXPECT_EQ(e.canOpenChat(), c.canOpen) << e.routeText();
    }
    EXPECT_EQ(entry().mailURL(), "message://%3Cabc%40mail.example.com%3E");
    auto noMessage = entry();
    noMessage.messageID = "";
    EXPECT_EQ(noMessage.mailURL(), std::nullopt);
}

TEST(ActivityEntry, SearchFindsEveryWordAnywhereInAnyOrder) {
    const auto e = entry(morning, "Quarterly Report for the BOARD");
    struct Case {
        const char* query;
        bool matches;
    };
    const Case cases[] = {
        {"report example.com", true},        // subject, with other capitals, and the route text
        {"EXAMPLE.COM report", true},        // the other way round
        {"  \t\u3000 ", true},               // no words at all
        {" \t ", true},
        {"ort boar", true},                  // inside longer words
        {"from → board", true},              // the route text's own pieces
        {"2026-12-05t06:19", true},          // the date as it is stored
        {"draft reply", true},               // action name and prompt
        {"ann@example.com", true},           // sender
        {"report kangaroo", false},          // every word must be found
        {"mail.example.com", false},         // the message ID is not searched
        {"6f9619ff", false},                 // nor the id
        {"reportfor", false},                // words do not reach across spaces
        {"no route", false},                 // this entry has a rule
    };
    for (const auto& c : cases) {
        EXPECT_EQ(e.matches(c.query), c.matches) << c.query;
        EXPECT_EQ(ActivitySearch(c.query).matches(e), c.matches) << c.query;
    }
    auto unrouted = entry();
    unrouted.rule = "";
    unrouted.destination = Route{};
    EXPECT_TRUE(unrouted.matches("NO ROUTE · each"));
    EXPECT_FALSE(unrouted.matches("from"));
}

TEST(ActivityEntry, SearchLowerCasesFullUnicode) {
    auto e = entry(morning, "\u0130stanbul trip \u00dcBER ALLES");
    e.sender = "Temperature 5 \u212A"; // KELVIN SIGN lower-cases to an ASCII k
    e.prompt = "\u039F\u0394\u039F\u03A3 \u0391";  // ΟΔΟΣ Α: the sigma is final
    const std::pair<const char*, bool> cases[] = {
        {"istanbul", false},            // İ lower-cases to i and a combining dot
        {"i\u0307stanbul", true},
        {"stanbul", true},
        {"über", true},
        {"\u00dcBER", true},
        {"5 k", true},
        {"Ὀ", false},
        {"\u03BF\u03B4\u03BF\u03C2", true}, // οδος with final ς
        {"\u03BF\u03B4\u03BF\u03C3", false},
        {"\u039F\u0394\u039F\u03A3", true}, // the query is lower-cased the same way
    };
    for (const auto& [query, expected] : cases)
        EXPECT_EQ(e.matches(query), expected) << query;

    // A long word whose match needs the Kelvin sign deep inside a text.
    e.prompt = std::string(25, 'a') + "\u212A" + std::string(32, 'b');
    EXPECT_TRUE(e.matches(std::string(20, 'a') + "k" + std::string(19, 'b')));
    EXPECT_FALSE(e.matches(std::string(20, 'a') + "x" + std::string(19, 'b')));
    e.actionName = "ab\u212Acd"; // short texts are searched another way
    EXPECT_TRUE(e.matches("BKC"));
}

TEST(ActivityEntry, RepeatedSearchesStayIndependent) {
    auto a = entry(morning, "Alpha");
    auto b = entry(morning, "Beta");
    b.rule = "other.org";
    b.destination.name = "Other";
    for (int round = 0; round < 2; ++round) {
        EXPECT_TRUE(a.matches("alpha board"));
        EXPECT_FALSE(b.matches("alpha board"));
        EXPECT_FALSE(a.matches("beta"));
        EXPECT_TRUE(b.matches("beta other"));
        EXPECT_FALSE(b.matches("board"));
        EXPECT_TRUE(a.matches("board"));
    }
    // What a search learns about one route text must not leak to another.
    ActivitySearch search(" Other\t");
    EXPECT_EQ(search.words(), (std::vector<std::string_view>{"other"}));
    EXPECT_FALSE(search.matches(a));
    auto sameRule = b;
    sameRule.rule = a.rule;
    EXPECT_TRUE(search.matches(sameRule));
    auto sameDestination = a;
    sameDestination.rule = "other.org";
    EXPECT_TRUE(search.matches(sameDestination));
    EXPECT_FALSE(search.matches(a));
}

TEST(ActivityFile, SkipsDamagedLinesAndKeepsFileOrder) {
    const auto first = ActivityLine::encode(entry(morning, "First"));
    const auto third = ActivityLine::encode(entry(morning, "Third"));
    write(logFile(), "\n" + first + "\n\n" + R"({"id":"6F9619FF-8B86-D011-B42D-00C04FC964FF","date":)" + "\n" +
                         "\n" + third);
    EXPECT_EQ(subjects(ActivityFile::load(logFile())), (std::vector<std::string>{"First", "Third"}));
    EXPECT_EQ(subjects(ActivityFile::loadNewestFirst(logFile())), (std::vector<std::string>{"First", "Third"}));

    EXPECT_TRUE(ActivityFile::load(pellora::testing::testHome() / "missing.jsonl").empty());
    EXPECT_TRUE(ActivityFile::loadNewestFirst(pellora::testing::testHome() / "missing.jsonl").empty());
    write(logFile(), "");
    EXPECT_TRUE(ActivityFile::load(logFile()).empty());
    EXPECT_TRUE(ActivityFile::loadNewestFirst(logFile()).empty());
}

TEST(ActivityFile, NewestFirstIsAStableSortByDate) {
    const auto at = [](int hour, int minute = 0) { return sys_days{2026y / December / 5} + hours{hour} + minutes{minute}; };
    std::string text;
    for (const auto& [hour, subject] : std::vector<std::pair<int, std::string>>{
             {9, "nine"}, {11, "eleven"}, {10, "ten"}, {10, "ten again"}, {11, "eleven again"}, {10, "ten last"}})
        text += ActivityLine::encode(entry(at(hour), subject)) + "\n";
    write(logFile(), text);
    EXPECT_EQ(subjects(ActivityFile::loadNewestFirst(logFile())),
              (std::vector<std::string>{"eleven", "eleven again", "ten", "ten again", "ten last", "nine"}));
}

TEST(ActivityFile, LongLogsAcrossReadChunks) {
    // Lines of many lengths, one longer than the read buffer, dates out of order in places.
    std::vector<ActivityEntry> written;
    std::string text;
    for (int i = 0; i < 3000; ++i) {
        auto e = entry(morning + minutes{(i * 37) % 1000}, "Subject " + std::to_string(i));
        e.prompt = std::string(std::size_t(i % 700), 'p');
        if (i == 1500)
            e.prompt = std::string(600 * 1024, 'x');
        text += ActivityLine::encode(e) + (i % 100 == 0 ? "\n\n" : "\n");
        written.push_back(std::move(e));
    }
    text.pop_back(); // no final line feed
    write(logFile(), text);

    EXPECT_EQ(ActivityFile::load(logFile()), written);
    auto expected = written;
    std::stable_sort(expected.begin(), expected.end(), [](const auto& a, const auto& b) { return a.date > b.date; });
    EXPECT_EQ(ActivityFile::loadNewestFirst(logFile()), expected);
}

TEST(ActivityFile, AppendCreatesAPrivateFileAndOnlyEverAppends) {
    ActivityFile::append(entry(morning, "One"), logFile());
    struct stat status {};
    ASSERT_EQ(::stat(logFile().c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600u);
    ActivityFile::append(entry(morning, "Two"), logFile());
    EXPECT_EQ(read(logFile()), ActivityLine::encode(entry(morning, "One")) + "\n" +
                                   ActivityLine::encode(entry(morning, "Two")) + "\n");

    // A log cut short inside a line: the next entry still gets a line of its own.
    write(logFile(), ActivityLine::encode(entry(morning, "Kept")) + "\n{\"id\":\"6F96");
    ActivityFile::append(entry(morning, "After"), logFile());
    EXPECT_EQ(subjects(ActivityFile::load(logFile())), (std::vector<std::string>{"Kept", "After"}));
}

TEST(ActivityFile, AppendFailsWhenTheFolderCannotBeMade) {
    write(pellora::testing::testHome() / "blocker", "a file where a folder should be");
    EXPECT_THROW(ActivityFile::append(entry(), pellora::testing::testHome() / "blocker" / "activity.jsonl"),
                 std::filesystem::filesystem_error);
}
