#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <thread>

#include <nlohmann/json.hpp>

#include "Pellora/Platform/Sim/MemoryPasteboard.h"
#include "Pellora/Platform/Sim/SimDesktop.h"
#include "Pellora/Platform/Sim/VirtualClock.h"
#include "Pellora/Shell/ActivityStore.h"
#include "Pellora/Shell/ConfigStore.h"
#include "Pellora/Shell/DeviceID.h"
#include "Pellora/Shell/Log.h"
#include "PelloraCore/ActivityFile.h"
#include "PelloraCore/IsoDate.h"
#include "TestHome.h"

using namespace pellora;
using namespace std::chrono;

namespace {

// Where the stores keep their files on Linux, written out from the test home.
std::filesystem::path supportFolder() { return pellora::testing::testHome() / ".local/share/Pellora"; }

std::string read(const std::filesystem::path& file) {
    std::ostringstream text;
    text << std::ifstream(file, std::ios::binary).rdbuf();
    return text.str();
}

void write(const std::filesystem::path& file, const std::string& text) {
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << text;
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);)
        result.push_back(line);
    return result;
}

bool isLowerCaseUuid(const std::string& text) {
    return std::regex_match(text, std::regex("[0-9a-f]{8}(-[0-9a-f]{4}){3}-[0-9a-f]{12}"));
}

ActivityEntry entry(int hour, std::string subject) {
    return {.id = ActivityEntry::newID(), .date = sys_days{2026y / December / 5} + hours{hour},
            .subject = std::move(subject), .sender = "", .messageID = "", .rule = "", .destination = {},
            .actionName = "Paste Only", .mode = ActionMode::pasteOnly, .prompt = ""};
}

std::vector<std::string> subjects(const ActivityStore& store) {
    std::vector<std::string> result;
    for (const auto& e : store.entries())
        result.push_back(e.subject);
    return result;
}

} // namespace

TEST(ConfigStore, WritesNothingUntilTheFirstChangeAndThenEveryChange) {
    ConfigStore store;
    EXPECT_EQ(store.url(), supportFolder() / "config.json");
    EXPECT_EQ(store.config(), Config{});
    EXPECT_FALSE(std::filesystem::exists(store.url()));

    std::vector<Config> seen; // observers already see the new value
    QObject::connect(&store, &ConfigStore::configChanged, [&] { seen.push_back(store.config()); });
    Config first;
    first.autoSend = false;
    store.setConfig(first);
    Config second = first;
    second.emailsSent = 7;
    store.setConfig(second);
    EXPECT_EQ(seen, (std::vector<Config>{first, second}));
    EXPECT_EQ(Config::load(store.url()), second);
    EXPECT_EQ(ConfigStore().config(), second);
}

TEST(ConfigStore, AFailedSaveIsQuietAndRetriedByTheNextChange) {
    const auto blocked = pellora::testing::testHome() / "blocked";
    write(blocked, "a file where the folder should be");
    ConfigStore store(blocked / "config.json");
    Config changed;
    changed.openDelay = 2.5;
    store.setConfig(changed);
    EXPECT_EQ(store.config(), changed);

    std::filesystem::remove(blocked);
    changed.keepActivityLog = false;
    store.setConfig(changed);
    EXPECT_EQ(Config::load(blocked / "config.json"), changed);
}

TEST(DeviceID, StoresOneLowerCaseIdentifierUntilReset) {
    const auto file = supportFolder() / "device-id";
    const auto id = DeviceID::current();
    EXPECT_TRUE(isLowerCaseUuid(id)) << id;
    EXPECT_EQ(read(file), id);
    EXPECT_EQ(DeviceID::current(), id);

    DeviceID::reset();
    EXPECT_FALSE(std::filesystem::exists(file));
    DeviceID::reset(); // nothing left to remove
    EXPECT_NE(DeviceID::current(), id);
}

TEST(DeviceID, AcceptsStoredIdentifiersWithLineEndsOrCapitalsAndReplacesAnythingElse) {
    const auto file = supportFolder() / "device-id";
    write(file, "0F8FAD5B-D9CB-469F-A165-70867728950E\n");
    EXPECT_EQ(DeviceID::current(), "0f8fad5b-d9cb-469f-a165-70867728950e");
    EXPECT_EQ(read(file), "0F8FAD5B-D9CB-469F-A165-70867728950E\n"); // not rewritten

    for (const std::string garbage : {"hello", "{0f8fad5b-d9cb-469f-a165-70867728950e}", "",
                                      "0f8fad5b-d9cb-469f-a165-70867728950e0", "0f8fad5b\xff-d9cb-469f-a165-70867728950e"}) {
        write(file, garbage);
        const auto fresh = DeviceID::current();
        EXPECT_TRUE(isLowerCaseUuid(fresh)) << garbage;
        EXPECT_EQ(read(file), fresh);
        EXPECT_EQ(DeviceID::current(), fresh);
    }
}

TEST(DeviceID, AnIdentifierThatCannotBeStoredIsStillReturned) {
    // Application Support is a file, so nothing can be stored below it.
    std::filesystem::remove_all(pellora::testing::testHome() / ".local/share");
    write(pellora::testing::testHome() / ".local/share", "");
    const auto first = DeviceID::current();
    EXPECT_TRUE(isLowerCaseUuid(first));
    EXPECT_NE(DeviceID::current(), first);
}

TEST(Log, AppendsTimeStampedLines) {
    const auto before = floor<seconds>(system_clock::now());
    Log::write("check-in failed: offline");
    Log::write("  open chat: 0.52s\nsecond line");
    const auto after = floor<seconds>(system_clock::now());

    const auto file = pellora::testing::testHome() / ".local/state/Logs/Pellora.log";
    EXPECT_EQ(Log::file(), file);
    const auto text = read(file);
    ASSERT_EQ(text.back(), '\n');
    const auto all = lines(text);
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[0].substr(20), " check-in failed: offline");
    EXPECT_EQ(all[1].substr(20), "   open chat: 0.52s");
    EXPECT_EQ(all[2], "second line");
    for (const auto& line : {all[0], all[1]}) {
        const auto time = IsoDate::parse(line.substr(0, 20));
        ASSERT_TRUE(time) << line;
        EXPECT_GE(*time, before);
        EXPECT_LE(*time, after);
    }
}

TEST(Log, TwoThreadsWritingAtOnceLoseNoLineAndMixNone) {
    const auto writeMany = [](char tag) {
        for (int i = 0; i < 1000; ++i)
            Log::write(std::string(1, tag) + " line " + std::to_string(i) + " " + std::string(200, tag));
    };
    std::thread first(writeMany, 'a'), second(writeMany, 'b');
    first.join();
    second.join();

    const auto all = lines(read(Log::file()));
    ASSERT_EQ(all.size(), 2000u);
    std::set<std::string> seen;
    for (const auto& line : all) {
        ASSERT_GT(line.size(), 21u);
        const auto message = line.substr(21);
        const char tag = message.front();
        const auto tail = message.substr(message.rfind(' ') + 1);
        EXPECT_EQ(tail, std::string(200, tag)) << line;
        seen.insert(message.substr(0, message.rfind(' ')));
    }
    EXPECT_EQ(seen.size(), 2000u);
}

TEST(Log, AFailedWriteIsSilent) {
    write(pellora::testing::testHome() / ".local/state/Logs", "a file where the folder should be");
    EXPECT_NO_THROW(Log::write("lost"));
}

TEST(ActivityStore, ListsNewestFirstAndStartsAgainAfterClearing) {
    const auto file = supportFolder() / "activity.jsonl";
    for (const auto& [hour, subject] : std::vector<std::pair<int, std::string>>{{9, "nine"}, {11, "eleven"}, {10, "ten"}})
        ActivityFile::append(entry(hour, subject), file);

    ActivityStore store;
    EXPECT_EQ(store.url(), file);
    EXPECT_EQ(subjects(store), (std::vector<std::string>{"eleven", "ten", "nine"}));

    int changed = 0;
    QObject::connect(&store, &ActivityStore::entriesChanged, [&] { ++changed; });
    store.clear();
    EXPECT_TRUE(store.entries().empty());
    EXPECT_FALSE(std::filesystem::exists(file));
    store.clear(); // already gone
    EXPECT_EQ(changed, 2);

    // The next delivery starts a new file with one line.
    const auto next = entry(12, "twelve");
    ActivityFile::append(next, file);
    store.insertFront(next);
    EXPECT_EQ(subjects(store), (std::vector<std::string>{"twelve"}));
    EXPECT_EQ(lines(read(file)).size(), 1u);
    EXPECT_EQ(subjects(ActivityStore()), (std::vector<std::string>{"twelve"}));
}

TEST(ActivityStore, RevealsTheLogOrElseItsFolder) {
    VirtualClock clock;
    MemoryPasteboard pasteboard;
    SimDesktop desktop(clock, pasteboard);
    ActivityStore store(pellora::testing::testHome() / "Application Support/Pellora/activity.jsonl");

    store.revealInFinder(desktop);
    EXPECT_TRUE(desktop.revealedFiles().empty());
    ASSERT_EQ(desktop.openedURLs().size(), 1u);
    EXPECT_EQ(desktop.openedURLs()[0],
              "file://" + (pellora::testing::testHome() / "Application%20Support/Pellora").string());

    ActivityFile::append(entry(9, "nine"), store.url());
    store.revealInFinder(desktop);
    EXPECT_EQ(desktop.revealedFiles(), (std::vector<std::filesystem::path>{store.url()}));
}

namespace {

struct HandEdit {
    const char* what;
    std::string onDisk;      // what the user saved by hand
    std::function<void(Config&)> edit; // what the application changes next
    std::string expected;    // config.json afterwards, parsed
    std::optional<std::string> keptCopy;
};

nlohmann::json parsed(const std::string& text) { return nlohmann::json::parse(text); }

} // namespace

TEST(ConfigStore, AHandEditMadeWhileRunningIsKeptByTheNextChange) {
    const std::string defaults = R"({"actions": {}, "analyticsChoice": "unset", "askForUnknownRoutes": true,
        "autoSend": true, "donatePromptShown": false, "emailsSent": 0, "keepActivityLog": true, "openDelay": 1.0,
        "routes": []})";
    const std::vector<HandEdit> cases{
        {"another field", R"({"openDelay": 2.0, "routes": [{"domain": "acme.com", "kind": "newChat"}]})",
         [](Config& c) { c.autoSend = false; },
         R"({"actions": {}, "analyticsChoice": "unset", "askForUnknownRoutes": true, "autoSend": false,
             "donatePromptShown": false, "emailsSent": 0, "keepActivityLog": true, "openDelay": 2.0,
             "routes": [{"domain": "acme.com", "kind": "newChat", "matchOn": "to"}]})",
         std::nullopt},
        {"another action", R"({"actions": {"custom1": {"name": "Translate"}}})",
         [](Config& c) { c.setInstruction("Short.", Action::reply); },
         R"({"actions": {"custom1": {"name": "Translate"}, "reply": {"prompt": "Short."}},
             "analyticsChoice": "unset", "askForUnknownRoutes": true, "autoSend": true, "donatePromptShown": false,
             "emailsSent": 0, "keepActivityLog": true, "openDelay": 1.0, "routes": []})",
         std::nullopt},
        {"the same field", R"({"openDelay": 2.0})", [](Config& c) { c.openDelay = 0.5; },
         R"({"actions": {}, "analyticsChoice": "unset", "askForUnknownRoutes": true, "autoSend": true,
             "donatePromptShown": false, "emailsSent": 0, "keepActivityLog": true, "openDelay": 0.5, "routes": []})",
         R"({"openDelay": 2.0})"},
        {"a half-typed file", R"({"openDelay": 2.)", [](Config& c) { c.autoSend = false; },
         R"({"actions": {}, "analyticsChoice": "unset", "askForUnknownRoutes": true, "autoSend": false,
             "donatePromptShown": false, "emailsSent": 0, "keepActivityLog": true, "openDelay": 1.0, "routes": []})",
         R"({"openDelay": 2.)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto file = supportFolder() / "config.json";
        std::filesystem::remove(file.string() + ".bak");
        write(file, defaults);
        ConfigStore store;
        write(file, c.onDisk);
        Config changed = store.config();
        c.edit(changed);
        store.setConfig(changed);
        EXPECT_EQ(parsed(read(file)), parsed(c.expected));
        EXPECT_EQ(store.config(), Config::load(file));
        const auto copy = file.string() + ".bak";
        EXPECT_EQ(std::filesystem::exists(copy), c.keptCopy.has_value());
        if (c.keptCopy) {
            EXPECT_EQ(read(copy), *c.keptCopy);
            EXPECT_EQ(std::filesystem::status(copy).permissions() & std::filesystem::perms::all,
                      std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
        }
    }
}

TEST(ConfigStore, AFileThatDoesNotDecodeAtStartIsKeptBesideItsReplacement) {
    const auto file = supportFolder() / "config.json";
    write(file, "{\"autoSend\": \"yes\"}");
    // An older copy left readable by others is made private when it is replaced.
    write(file.string() + ".bak", "an older copy");
    std::filesystem::permissions(file.string() + ".bak", std::filesystem::perms(0644));
    ConfigStore store;
    EXPECT_EQ(store.config(), Config{});
    Config changed;
    changed.keepActivityLog = false;
    store.setConfig(changed);
    EXPECT_EQ(Config::load(file), changed);
    EXPECT_EQ(read(file.string() + ".bak"), "{\"autoSend\": \"yes\"}");
    EXPECT_EQ(std::filesystem::status(file.string() + ".bak").permissions(), std::filesystem::perms(0600));
}

TEST(ConfigStore, ReloadsADocumentChangedOnDiskAndKeepsUnsavedChanges) {
    const auto file = supportFolder() / "config.json";
    ConfigStore store;
    int notified = 0;
    QObject::connect(&store, &ConfigStore::configChanged, [&] { ++notified; });
    EXPECT_FALSE(store.reloadIfChangedOnDisk()); // no file

    Config first;
    first.autoSend = false;
    store.setConfig(first);
    EXPECT_FALSE(store.reloadIfChangedOnDisk()); // our own save
    write(file, R"({"autoSend": false, "emailsSent": 4})");
    EXPECT_TRUE(store.reloadIfChangedOnDisk());
    EXPECT_EQ(store.config().emailsSent, 4);
    EXPECT_FALSE(store.reloadIfChangedOnDisk());
    write(file, R"({"emailsSent": )");
    EXPECT_FALSE(store.reloadIfChangedOnDisk()); // half-typed: wait for the rest
    EXPECT_EQ(store.config().emailsSent, 4);
    EXPECT_EQ(notified, 2);

    // A save that failed leaves a change only in memory; taking in a hand edit keeps it.
    const auto blocked = pellora::testing::testHome() / "blocked";
    ConfigStore locked(blocked / "config.json");
    write(blocked, "a file where the folder should be");
    Config unsaved;
    unsaved.openDelay = 2.5;
    locked.setConfig(unsaved);
    std::filesystem::remove(blocked);
    write(blocked / "config.json", R"({"autoSend": false})");
    EXPECT_TRUE(locked.reloadIfChangedOnDisk());
    EXPECT_EQ(locked.config().openDelay, 2.5);
    EXPECT_FALSE(locked.config().autoSend);
}
