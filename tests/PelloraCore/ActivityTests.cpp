#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>
#include <stdexcept>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include "PelloraCore/ActivityEntry.h"
#include "PelloraCore/ActivityFile.h"
#include "PelloraCore/ActivityLine.h"
#include "PelloraCore/ActivityLineReader.h"
#include "PelloraCore/ActivitySearch.h"
#include "PelloraCore/TextPool.h"
#include "PelloraCore/Uuid.h"
#include "Files.h"
#include "TestHome.h"

using namespace pellora;
using namespace std::chrono;
using pellora::testing::writeFile;

namespace {

const sys_seconds morning = sys_days{2026y / December / 5} + 6h + 19min + 3s;

ActivityEntry entry(sys_seconds date = morning, std::string subject = "Quarterly Report") {
    return {.id = "6F9619FF-8B86-D011-B42D-00C04FC964FF",
            .date = date,
            .subject = std::move(subject),
            .sender = "Ann Example <ann@example.com>",
            .messageID = "<abc@mail.example.com>",
            .rule = "example.com",
            .destination =
                Route{"example.com", MatchField::from, DestinationKind::chat, "Board", {}, {}},
            .actionName = "Draft a Reply",
            .mode = ActionMode::prompt,
            .prompt = "Draft a reply."};
}

const char* const sampleLine =
    R"({"id":"6F9619FF-8B86-D011-B42D-00C04FC964FF","date":"2026-12-05T06:19:03Z","subject":"Quarterly Report",)"
    R"("sender":"Ann Example <ann@example.com>","messageID":"<abc@mail.example.com>","rule":"example.com",)"
    R"("destination":{"domain":"example.com","kind":"chat","matchOn":"from","name":"Board"},)"
    R"("actionName":"Draft a Reply","mode":"prompt","prompt":"Draft a reply."})";

std::filesystem::path logFile() {
    return pellora::testing::testHome() / "Support" / "Pellora" / "activity.jsonl";
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

TEST(ActivityLine, EncodesOneCompactLineWithKeysInFieldOrderAndRoundTrips) {
    EXPECT_EQ(ActivityLine::encode(entry()), sampleLine);
    EXPECT_EQ(ActivityLine::decode(sampleLine), entry());

    auto e =
        entry(morning, "Re: \"Quotes\" \\ slashes / tabs\t\nand line feeds, caf\u00e9 \U0001F600");
    e.prompt = "";
    e.mode = ActionMode::pasteOnly;
    e.rule = "";
    Route controlled;
    controlled.instructions = std::string("control \x01 character", 19);
    e.destination = controlled;
    const auto line = ActivityLine::encode(e);
    EXPECT_EQ(line.find('\n'), std::string::npos);
    EXPECT_EQ(ActivityLine::decode(line), e);
}

TEST(ActivityLine, ReadsEveryWayJsonCanSpellAnEntryAndAKeyGivenTwiceCountsWithItsLastValue) {
    auto unnamed = entry();
    unnamed.destination = Route{"example.com", MatchField::from, DestinationKind::chat, {}, {}, {}};
    const std::string subject = R"("subject":"Quarterly Report")", name = R"("name":"Board")";
    const std::pair<std::string, std::optional<ActivityEntry>> cases[] = {
        {sampleWith(subject, R"("subject":"\u00dcber \"R\u00e9sum\u00e9\" \ud83d\ude00\/\b\f\r\t")"),
         entry(morning, "\u00dcber \"R\u00e9sum\u00e9\" \U0001F600/\b\f\r\t")},
        {sampleWith(R"({"id")", " \t{ \"id\" ") + " \r", entry()},
        {sampleWith(R"("rule":)", R"("extra":"x","more":null,"number":1.5,"nested":{"a":[1,2]},"rule":)"), entry()},
        {"\xEF\xBB\xBF" + std::string(sampleLine), entry()}, // a byte-order mark
        // Keys in another order, a lower-case id (read upper-case), and a key given twice: the
        // last value counts, as in any JSON reader.
        {std::string(R"({"prompt":"Draft a reply.","mode":"prompt","subject":"First",)") +
             R"("actionName":"Draft a Reply","destination":{"kind":"chat","name":"Board","matchOn":"from",)" +
             R"("domain":"example.com"},"rule":"example.com","messageID":"<abc@mail.example.com>",)" +
             R"("sender":"Ann Example <ann@example.com>","date":"2026-12-05T06:19:03Z",)" +
             R"("id":"6f9619ff-8b86-d011-b42d-00c04fc964ff","subject":"Quarterly Report"})",
         entry()},
        {sampleWith(subject, R"("subject":42,)" + subject), entry()},
        {sampleWith(subject, subject + R"(,"subject":null)"), std::nullopt},
        {sampleWith(subject, R"("subject":"First","subject":"Last")"), entry(morning, "Last")},
        {sampleWith(R"("destination":{)", R"("destination":"x","destination":{)"), entry()},
        {sampleWith(R"("destination":{)", R"("destination":{"name":7},"destination":{)"), entry()},
        {sampleWith(name, R"("name":7,)" + name), entry()},
        {sampleWith(name, name + R"(,"name":null)"), unnamed},
        {sampleWith(name, name + R"(,"name":[])"), std::nullopt},
        // Keys are compared unescaped.
        {sampleWith(R"("subject":)", R"("s\u0075bject":)"), entry()},
        {sampleWith(R"("name":)", R"("n\u0061me":)"), entry()},
    };
    for (const auto& [line, expected] : cases)
        EXPECT_EQ(ActivityLine::decode(line), expected) << line;
}

TEST(ActivityLine, RejectsLinesThatAreNotCompleteEntries) {
    std::vector<std::string> lines = {
        sampleWith(R"("prompt":"Draft a reply.")", R"("other":"Draft a reply.")"), // a key missing
        sampleWith(R"("prompt":"Draft a reply.")", R"("prompt":null)"),
        sampleWith(R"("subject":"Quarterly Report")", R"("subject":42)"),
        sampleWith(R"("mode":"prompt")", R"("mode":"Prompt")"),
        sampleWith(R"("kind":"chat")", R"("kind":"room")"),
        sampleWith(R"("destination":{)", R"("destination":"x","ignored":{)"),
        sampleWith("6F9619FF-8B86-D011-B42D-00C04FC964FF", "6F9619FF8B86D011B42D00C04FC964FF"),
        sampleWith("2026-12-05T06:19:03Z", "2026-12-05T06:19:03.5Z"),
        sampleWith("2026-12-05T06:19:03Z", "1796192343"),
        sampleWith(R"("prompt":"Draft a reply."})", R"("prompt":"Draft a reply.",})"),
        std::string(sampleLine) + "x",
        std::string(sampleLine).substr(0, 200),
        "{}",
        "[]",
        "null",
    };
    // Lone surrogates, a raw control character, bytes that are not UTF-8, an encoded surrogate,
    // an unknown escape.
    for (const char* bad : {"\\ud83d", "\\udc00", "\x01", "\xC3\x28", "\xED\xA0\x80", "\\x"})
        lines.push_back(sampleWith("Quarterly", std::string(bad) + " Quarterly"));
    // Each of the ten keys is required.
    for (const auto& key : {"id", "date", "subject", "sender", "messageID", "rule", "destination",
                            "actionName", "mode", "prompt"}) {
        auto json = nlohmann::json::parse(sampleLine);
        json.erase(key);
        lines.push_back(json.dump());
    }
    for (const auto& line : lines)
        EXPECT_EQ(ActivityLine::decode(line), std::nullopt) << line;
}

TEST(ActivityLine, DestinationsAreReadByTheRouteRules) {
    // Destinations already seen are remembered by their text: similar ones must not blur.
    const std::string board =
        R"({"domain":"example.com","kind":"chat","matchOn":"from","name":"Board"})";
    const std::pair<std::string, Route> cases[] = {
        {R"({"domain":"example.com","kind":"chat","matchOn":"from","name":"Boardroom"})",
         {"example.com", MatchField::from, DestinationKind::chat, "Boardroom", {}, {}}},
        {R"({"domain":"acme.org","kind":"project","matchOn":"to","name":"Acme"})",
         {"acme.org", MatchField::to, DestinationKind::project, "Acme", {}, {}}},
        {R"({"address":"bob@acme.org","chatTitle":"Bob","url":null})",
         {"bob@acme.org", MatchField::to, DestinationKind::chat, "Bob", {}, {}}},
        {board, entry().destination},
    };
    ActivityLineReader reader; // one reader, as for a whole file
    for (int round = 0; round < 2; ++round)
        for (const auto& [text, expected] : cases) {
            ActivityEntry decoded;
            ASSERT_TRUE(reader.read(sampleWith(board, text), decoded)) << text;
            EXPECT_EQ(decoded.destination, expected) << text;
        }
}

TEST(ActivityLine, OtherKeysMayHoldAnyJsonValueButOnlyJson) {
    const auto nested = [](std::size_t depth) {
        return std::string(depth, '[') + std::string(depth, ']');
    };
    const std::pair<std::string, bool> cases[] = {
        {"123456789012345678901234567890", true}, // wider than 64 bits: read as a double
        {"-0.0e-400", true},
        {R"({"a":[true,false,null,"\u00e9",{}]})", true},
        {nested(100), true},
        {"1e400", false}, // beyond the doubles
        {"[1,,2]", false},
        {R"({"a":tru})", false},
        {"nul", false},
        {"01", false},
        {"-", false},
        {R"("\ud800")", false},
        {"\"tab\tinside\"", false},
        {nested(999), true},   // with the line's own object, 1000 levels
        {nested(1000), false}, // deeper than the limit: refused, not a crash
        {nested(5000), false},
    };
    for (const auto& [value, accepted] : cases) {
        const auto line = sampleWith(R"("rule":)", R"("other":)" + value + R"(,"rule":)");
        EXPECT_EQ(ActivityLine::decode(line).has_value(), accepted) << value.substr(0, 40);
    }
    // Nothing counts from a NUL byte on: an entry whose line a crash filled up with zeros is
    // kept, a line cut by one is not.
    EXPECT_EQ(ActivityLine::decode(sampleLine + std::string(5, '\0') + "x"), entry());
    EXPECT_EQ(ActivityLine::decode(std::string(sampleLine).insert(std::strlen(sampleLine) - 1, 1, '\0')), std::nullopt);
    // A byte-order mark only in front; a NUL escaped inside a text is text like any other.
    EXPECT_EQ(ActivityLine::decode(" \xEF\xBB\xBF" + std::string(sampleLine)), std::nullopt);
    const auto withNul = ActivityLine::decode(sampleWith("Quarterly", R"(a\u0000b)"));
    ASSERT_TRUE(withNul);
    EXPECT_EQ(withNul->subject, std::string("a\0b Report", 10));
}

TEST(ActivityFile, EntriesOfOneLoadShareTheirRepeatedParts) {
    std::string text;
    for (const char* subject : {"One", "Two", "Three"})
        text += ActivityLine::encode(entry(morning, subject)) + "\n";
    writeFile(logFile(), text);
    const auto entries = ActivityFile::load(logFile());
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_TRUE(entries[0].sender.sharesNodeWith(entries[2].sender));
    EXPECT_TRUE(entries[0].rule.sharesNodeWith(entries[2].rule));
    EXPECT_TRUE(entries[0].destination.sharesNodeWith(entries[2].destination));
    EXPECT_TRUE(entries[0].actionName.sharesNodeWith(entries[2].actionName));
    EXPECT_TRUE(entries[0].prompt.sharesNodeWith(entries[2].prompt));
    EXPECT_EQ(entries[2], entry(morning, "Three"));

    // Generated senders differ only in the middle; they must not all land in one bucket.
    EXPECT_NE(TextPool::hash("Help desk <ticket-000001-reply@helpdesk.example.com>"),
              TextPool::hash("Help desk <ticket-000002-reply@helpdesk.example.com>"));
}

TEST(ActivityEntry, IdsAreUpperCaseUuidsAndSharedFieldsAssignAndCompareLikeTexts) {
    const auto id = ActivityEntry::newID();
    EXPECT_TRUE(Uuid::isValid(id));
    EXPECT_EQ(id.find_first_of("abcdef"), std::string::npos);
    EXPECT_EQ(id[14], '4');
    EXPECT_NE(id, ActivityEntry::newID());

    auto e = entry();
    e.id = "6f9619ff-8b86-d011-b42d-00c04fc964ff";
    EXPECT_EQ(std::string(e.id), "6F9619FF-8B86-D011-B42D-00C04FC964FF");
    EXPECT_EQ(e, entry());
    EXPECT_TRUE(e.id == "6F9619FF-8B86-D011-B42D-00C04FC964FF");
    EXPECT_FALSE(e.id == "6f9619ff-8b86-d011-b42d-00c04fc964ff"); // compared as written
    // An id that no reader would take back is refused when it is set, not when it is read.
    for (const char* bad :
         {"", "6F9619FF8B86D011B42D00C04FC964FF", "{6F9619FF-8B86-D011-B42D-00C04FC964FF}"})
        EXPECT_THROW(e.id = bad, std::invalid_argument) << bad;

    const auto copy = e;
    e.sender = std::string("Bob <bob@example.com>");
    EXPECT_EQ(copy.sender, "Ann Example <ann@example.com>"); // the copy keeps its value
    EXPECT_EQ(e.sender, "Bob <bob@example.com>");
    EXPECT_NE(e, copy);
    e.sender = copy.sender.get();
    EXPECT_EQ(e, copy);
}

TEST(ActivityEntry, RouteTextsAndLinks) {
    const std::tuple<std::string, Route, std::string, bool> cases[] = {
        // rule, destination, route text, can open
        {"example.com", entry().destination, "From example.com → Board", true},
        {"bob@acme.org",
         {"bob@acme.org", MatchField::to, DestinationKind::project, "Acme", {}, {}},
         "To bob@acme.org → New chat in project: Acme",
         true},
        {"", Route{}, "No route · New chat each time", false},
        {"a.com",
         {"a.com", MatchField::to, DestinationKind::chat, {}, "https://claude.ai/chat/1", {}},
         "To a.com → https://claude.ai/chat/1",
         true},
        // A blank name and no link fall back to a new chat.
        {"a.com",
         {"a.com", MatchField::to, DestinationKind::chat, " ", {}, {}},
         "To a.com → Existing chat",
         false},
        {"a.com",
         {"a.com", MatchField::to, DestinationKind::incognito, {}, {}, {}},
         "To a.com → Incognito chat",
         false},
    };
    for (const auto& [rule, destination, routeText, canOpenChat] : cases) {
        auto e = entry();
        e.rule = rule;
        e.destination = destination;
        EXPECT_EQ(e.routeText(), routeText);
        EXPECT_EQ(e.canOpenChat(), canOpenChat) << routeText;
    }
    EXPECT_EQ(entry().mailURL(), "message://%3Cabc%40mail.example.com%3E");
    auto noMessage = entry();
    noMessage.messageID = "";
    EXPECT_EQ(noMessage.mailURL(), std::nullopt);
}

TEST(ActivityEntry, SearchFindsEveryWordAnywhereInAnyOrder) {
    const auto e = entry(morning, "Quarterly Report for the BOARD");
    const std::pair<const char*, bool> cases[] = {
        {"report example.com", true}, // subject, with other capitals, and the route text
        {"EXAMPLE.COM report", true}, // the other way round
        {"  \t\u3000 ", true},        // no words at all
        {"ort boar", true},           // inside longer words
        {"from → board", true},       // the route text's own pieces
        {"2026-12-05t06:19", true},   // the date as it is stored
        {"draft reply", true},        // action name and prompt
        {"ann@example.com", true},    // sender
        {"report kangaroo", false},   // every word must be found
        {"mail.example.com", false},  // the message ID is not searched
        {"6f9619ff", false},          // nor the id
        {"reportfor", false},         // words do not reach across spaces
        {"no route", false},          // this entry has a rule
    };
    for (const auto& [query, expected] : cases)
        EXPECT_EQ(e.matches(query), expected) << query;
    auto unrouted = entry();
    unrouted.rule = "";
    unrouted.destination = Route{};
    EXPECT_TRUE(unrouted.matches("NO ROUTE · each"));
    EXPECT_FALSE(unrouted.matches("from"));
}

TEST(ActivityEntry, SearchLowerCasesFullUnicode) {
    auto e = entry(morning, "\u0130stanbul trip \u00dcBER ALLES");
    e.sender = "Temperature 5 \u212A";            // KELVIN SIGN lower-cases to an ASCII k
    e.prompt = "\u039F\u0394\u039F\u03A3 \u0391"; // ΟΔΟΣ Α: the sigma is final
    const std::pair<const char*, bool> cases[] = {
        {"istanbul", false}, // İ lower-cases to i and a combining dot
        {"i\u0307stanbul", true},
        {"über", true},
        {"5 k", true},
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
    // A search remembers what it found in each route text: that must not leak to another.
    const auto a = entry(morning, "Alpha");
    ActivitySearch search(" Other\t");
    EXPECT_EQ(search.words(), (std::vector<std::string_view>{"other"}));
    EXPECT_FALSE(search.matches(a));
    auto otherDestination = a;
    Route renamed = a.destination;
    renamed.name = "Other";
    otherDestination.destination = renamed;
    EXPECT_TRUE(search.matches(otherDestination));
    auto otherRule = a;
    otherRule.rule = "other.org";
    EXPECT_TRUE(search.matches(otherRule));
    EXPECT_FALSE(search.matches(a));
}

TEST(ActivityFile, SkipsDamagedLinesAndKeepsFileOrder) {
    const auto first = ActivityLine::encode(entry(morning, "First"));
    const auto third = ActivityLine::encode(entry(morning, "Third"));
    const auto missing = pellora::testing::testHome() / "missing.jsonl";
    for (const auto load : {&ActivityFile::load, &ActivityFile::loadNewestFirst}) {
        writeFile(logFile(), "\n" + first + "\n\n" +
                             R"({"id":"6F9619FF-8B86-D011-B42D-00C04FC964FF","date":)" + "\n" +
                             "\n" + third);
        EXPECT_EQ(subjects(load(logFile())), (std::vector<std::string>{"First", "Third"}));
        EXPECT_TRUE(load(missing).empty());
        writeFile(logFile(), "");
        EXPECT_TRUE(load(logFile()).empty());
    }
}

TEST(ActivityFile, LongLogsAcrossReadChunksAndNewestFirstAsAStableSort) {
    // Lines of many lengths, one longer than the read buffer, dates out of order in places and
    // every date three times: the newest first, each date's entries in file order.
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
    writeFile(logFile(), text);

    EXPECT_EQ(ActivityFile::load(logFile()), written);
    std::stable_sort(written.begin(), written.end(),
                     [](const auto& a, const auto& b) { return a.date > b.date; });
    EXPECT_EQ(ActivityFile::loadNewestFirst(logFile()), written);
}

TEST(ActivityFile, ATailOfBlankLinesAsksForNoMoreMemoryThanTheFileCouldHold) {
#ifdef __SANITIZE_ADDRESS__
    GTEST_SKIP() << "the address sanitizer reserves more address space than the limit allows";
#endif
    // One entry, then 8 MB of line feeds: a list sized by the lines would take over a gigabyte.
    writeFile(logFile(), ActivityLine::encode(entry()) + "\n" + std::string(8 << 20, '\n'));
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        long pages = 0;
        if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
            if (std::fscanf(statm, "%ld", &pages) != 1)
                pages = 0;
            std::fclose(statm);
        }
        const rlim_t limit = rlim_t(pages) * rlim_t(::sysconf(_SC_PAGESIZE)) + (rlim_t(512) << 20);
        const rlimit room{limit, limit};
        if (pages == 0 || ::setrlimit(RLIMIT_AS, &room) != 0)
            ::_exit(2);
        try {
            ::_exit(ActivityFile::loadNewestFirst(logFile()).size() == 1 && ActivityFile::load(logFile()).size() == 1
                        ? 0
                        : 3);
        } catch (...) {
            ::_exit(1);
        }
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0); // 1: the load threw
}

TEST(ActivityFile, AppendCreatesAPrivateFileAndOnlyEverAppends) {
    ActivityFile::append(entry(morning, "One"), logFile());
    struct stat status {};
    ASSERT_EQ(::stat(logFile().c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600u);
    ActivityFile::append(entry(morning, "Two"), logFile());
    EXPECT_EQ(pellora::testing::readFile(logFile()), ActivityLine::encode(entry(morning, "One")) + "\n" +
                               ActivityLine::encode(entry(morning, "Two")) + "\n");

    // A log cut short inside a line: the next entry still gets a line of its own.
    writeFile(logFile(), ActivityLine::encode(entry(morning, "Kept")) + "\n{\"id\":\"6F96");
    ActivityFile::append(entry(morning, "After"), logFile());
    EXPECT_EQ(subjects(ActivityFile::load(logFile())), (std::vector<std::string>{"Kept", "After"}));

    writeFile(pellora::testing::testHome() / "blocker", "a file where a folder should be");
    EXPECT_THROW(
        ActivityFile::append(entry(), pellora::testing::testHome() / "blocker" / "activity.jsonl"),
        std::filesystem::filesystem_error);
}
