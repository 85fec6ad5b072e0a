#include <gtest/gtest.h>

#include <regex>
#include <thread>

#include <nlohmann/json.hpp>

#include "App/Desk.h"
#include "Pellora/Shell/ActivityStore.h"
#include "Pellora/Shell/ConfigStore.h"
#include "Pellora/Shell/DeviceID.h"
#include "Pellora/Shell/Log.h"
#include "PelloraCore/ActivityFile.h"
#include "PelloraCore/IsoDate.h"
#include "FileSizeLimit.h"

using namespace pellora;
using namespace std::chrono;
using pellora::testing::readFile;
using pellora::testing::readLines;
using pellora::testing::testHome;
using pellora::testing::writeFile;
using Texts = std::vector<std::string>;

namespace {

// Where the stores keep their files on Linux, written out from the test home.
std::filesystem::path supportFolder() { return testHome() / ".local/share/Pellora"; }

bool isLowerCaseUuid(const std::string& text) {
    return std::regex_match(text, std::regex("[0-9a-f]{8}(-[0-9a-f]{4}){3}-[0-9a-f]{12}"));
}

ActivityEntry entry(int hour, std::string subject) {
    return {.id = ActivityEntry::newID(), .date = sys_days{2026y / December / 5} + hours{hour},
            .subject = std::move(subject), .sender = "", .messageID = "", .rule = "", .destination = {},
            .actionName = "Paste Only", .mode = ActionMode::pasteOnly, .prompt = ""};
}

} // namespace

TEST(ConfigStore, WritesNothingUntilTheFirstChangeAndThenEveryChange) {
    ConfigStore store;
    EXPECT_EQ(store.url(), supportFolder() / "config.json");
    EXPECT_EQ(store.config(), Config{});
    EXPECT_FALSE(std::filesystem::exists(store.url()));
    std::vector<Config> seen; // observers already see the new value
    QObject::connect(&store, &ConfigStore::configChanged, [&] { seen.push_back(store.config()); });
    Config changed;
    changed.autoSend = false;
    store.setConfig(changed);
    changed.emailsSent = 7;
    store.setConfig(changed);
    EXPECT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen.front().emailsSent, 0);
    EXPECT_EQ(ConfigStore().config(), changed);
}

TEST(ConfigStore, AFullDiskKeepsTheChangeInMemoryAndTheOldFileWhole) {
    ConfigStore store;
    Config first;
    first.emailsSent = 1;
    store.setConfig(first);
    const auto file = supportFolder() / "config.json";
    const std::string before = readFile(file);

    Config changed = first;
    changed.routes.push_back(Route{"example.com", MatchField::from, DestinationKind::chat, "Board",
                                   std::nullopt, std::string(4'000, 'i')});
    {
        pellora::testing::FileSizeLimit full(before.size());
        store.setConfig(changed);
    }
    EXPECT_EQ(store.config(), changed);
    EXPECT_EQ(readFile(file), before);

    changed.emailsSent = 2; // room again: the next change saves everything
    store.setConfig(changed);
    EXPECT_EQ(Config::load(file), changed);
}

TEST(ConfigStore, AHandEditIsMergedWithTheNextChangeAndWhatItOverwritesIsKeptPrivately) {
    const auto defaults = nlohmann::json::parse(R"({"actions": {}, "analyticsChoice": "unset",
        "askForUnknownRoutes": true, "autoSend": true, "donatePromptShown": false, "emailsSent": 0,
        "keepActivityLog": true, "openDelay": 1.0, "routes": []})");
    struct HandEdit {
        const char* what;
        bool beforeStart;              // the file already held it when the store was made
        std::string onDisk;            // what the user saved by hand
        std::function<void(Config&)> edit; // what the application changes next
        nlohmann::json changed;        // config.json afterwards, as a patch over the defaults
        std::optional<std::string> kept; // config.json.bak afterwards, when it is replaced
    };
    const std::vector<HandEdit> cases{
        {"another field", false, R"({"openDelay": 2.0, "routes": [{"domain": "acme.com", "kind": "newChat"}]})",
         [](Config& c) { c.autoSend = false; },
         {{"autoSend", false},
          {"openDelay", 2.0},
          {"routes", {{{"domain", "acme.com"}, {"kind", "newChat"}, {"matchOn", "to"}}}}},
         std::nullopt},
        {"another action", false, R"({"actions": {"custom1": {"name": "Translate"}}})",
         [](Config& c) { c.setInstruction("Short.", Action::reply); },
         {{"actions", {{"custom1", {{"name", "Translate"}}}, {"reply", {{"prompt", "Short."}}}}}}, std::nullopt},
        {"the same field", false, R"({"openDelay": 2.0})", [](Config& c) { c.openDelay = 0.5; },
         {{"openDelay", 0.5}}, R"({"openDelay": 2.0})"},
        {"a half-typed file", false, R"({"openDelay": 2.)", [](Config& c) { c.autoSend = false; },
         {{"autoSend", false}}, R"({"openDelay": 2.)"},
        {"a file that never decoded", true, R"({"autoSend": "yes"})", [](Config& c) { c.keepActivityLog = false; },
         {{"keepActivityLog", false}}, R"({"autoSend": "yes"})"},
    };
    const auto file = supportFolder() / "config.json";
    const auto copy = file.string() + ".bak";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        // An older copy, left readable by others, stays unless a new one replaces it privately.
        writeFile(copy, "older copy");
        std::filesystem::permissions(copy, std::filesystem::perms(0644));
        writeFile(file, c.beforeStart ? c.onDisk : defaults.dump());
        ConfigStore store;
        writeFile(file, c.onDisk);
        Config changed = store.config();
        c.edit(changed);
        store.setConfig(changed);
        nlohmann::json expected = defaults;
        expected.merge_patch(c.changed);
        EXPECT_EQ(nlohmann::json::parse(readFile(file)), expected);
        EXPECT_EQ(store.config(), Config::load(file));
        EXPECT_EQ(readFile(copy), c.kept.value_or("older copy"));
        EXPECT_EQ(std::filesystem::status(copy).permissions(), std::filesystem::perms(c.kept ? 0600 : 0644));
    }
}

TEST(ConfigStore, ReloadsADocumentChangedOnDiskAndKeepsChangesWhoseSaveFailed) {
    const auto file = supportFolder() / "config.json";
    ConfigStore store;
    int notified = 0;
    QObject::connect(&store, &ConfigStore::configChanged, [&] { ++notified; });
    EXPECT_FALSE(store.reloadIfChangedOnDisk()); // no file
    store.setConfig(Config{});
    EXPECT_FALSE(store.reloadIfChangedOnDisk()); // our own save
    writeFile(file, R"({"emailsSent": 4})");
    EXPECT_TRUE(store.reloadIfChangedOnDisk());
    writeFile(file, R"({"emailsSent": )");
    EXPECT_FALSE(store.reloadIfChangedOnDisk()); // half-typed: wait for the rest
    EXPECT_EQ(store.config().emailsSent, 4);
    EXPECT_EQ(notified, 2);

    // A change whose save failed stays in memory, is laid over what is taken in, and is saved
    // with the next change.
    std::filesystem::remove_all(supportFolder());
    writeFile(supportFolder(), "a file where the folder should be");
    Config unsaved = store.config();
    unsaved.openDelay = 2.5;
    store.setConfig(unsaved);
    EXPECT_EQ(store.config().openDelay, 2.5);
    std::filesystem::remove(supportFolder());
    writeFile(file, R"({"autoSend": false})");
    EXPECT_TRUE(store.reloadIfChangedOnDisk());
    Config next = store.config();
    EXPECT_TRUE(next.openDelay == 2.5 && !next.autoSend);
    next.keepActivityLog = false;
    store.setConfig(next);
    EXPECT_EQ(Config::load(file), next);
}

TEST(DeviceID, StoresOneLowerCaseIdentifierUntilResetAndReplacesAnythingElse) {
    const auto file = supportFolder() / "device-id";
    const auto id = DeviceID::current();
    EXPECT_TRUE(isLowerCaseUuid(id)) << id;
    EXPECT_EQ(readFile(file), id);
    EXPECT_EQ(DeviceID::current(), id);
    DeviceID::reset();
    EXPECT_FALSE(std::filesystem::exists(file));
    DeviceID::reset(); // nothing left to remove
    EXPECT_NE(DeviceID::current(), id);

    writeFile(file, "0F8FAD5B-D9CB-469F-A165-70867728950E\n");
    EXPECT_EQ(DeviceID::current(), "0f8fad5b-d9cb-469f-a165-70867728950e");
    EXPECT_EQ(readFile(file), "0F8FAD5B-D9CB-469F-A165-70867728950E\n"); // not rewritten
    for (const std::string garbage : {"hello", "{0f8fad5b-d9cb-469f-a165-70867728950e}", "\xff"}) {
        writeFile(file, garbage);
        const auto fresh = DeviceID::current();
        EXPECT_TRUE(isLowerCaseUuid(fresh)) << garbage;
        EXPECT_EQ(DeviceID::current(), fresh);
    }

    // An identifier that cannot be stored (Application Support is a file) is still returned.
    std::filesystem::remove_all(testHome() / ".local/share");
    writeFile(testHome() / ".local/share", "");
    const auto unstored = DeviceID::current();
    EXPECT_TRUE(isLowerCaseUuid(unstored));
    EXPECT_NE(DeviceID::current(), unstored);
}

TEST(Log, AppendsTimeStampedLinesAndFailsSilently) {
    const auto before = floor<seconds>(system_clock::now());
    Log::write("check-in failed: offline");
    Log::write("  open chat: 0.52s\nsecond line");
    const auto after = floor<seconds>(system_clock::now());

    EXPECT_EQ(Log::file(), testHome() / ".local/state/Logs/Pellora.log");
    ASSERT_TRUE(readFile(Log::file()).ends_with('\n'));
    const auto all = readLines(Log::file());
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[0].substr(20), " check-in failed: offline");
    EXPECT_EQ(all[1].substr(20), "   open chat: 0.52s");
    EXPECT_EQ(all[2], "second line");
    for (const auto& line : {all[0], all[1]})
        EXPECT_TRUE(IsoDate::parse(line.substr(0, 20)) >= before && IsoDate::parse(line.substr(0, 20)) <= after) << line;

    std::filesystem::remove_all(testHome() / ".local/state/Logs");
    writeFile(testHome() / ".local/state/Logs", "a file where the folder should be");
    EXPECT_NO_THROW(Log::write("lost"));
}

TEST(Log, TwoThreadsWritingAtOnceLoseNoLineAndMixNone) {
    const auto writeMany = [](char tag) {
        for (int i = 0; i < 1000; ++i)
            Log::write(std::string(1, tag) + " line " + std::to_string(i) + " " + std::string(200, tag));
    };
    std::thread first(writeMany, 'a'), second(writeMany, 'b');
    first.join();
    second.join();

    const auto all = readLines(Log::file());
    ASSERT_EQ(all.size(), 2000u);
    for (const auto& line : all) {
        ASSERT_GT(line.size(), 21u);
        EXPECT_EQ(line.substr(line.rfind(' ') + 1), std::string(200, line[21])) << line;
    }
}

TEST(ActivityStore, ListsNewestFirstAndClearsEvenAMissingLog) {
    for (const auto& [hour, subject] : std::vector<std::pair<int, std::string>>{{9, "nine"}, {11, "eleven"}, {10, "ten"}})
        ActivityFile::append(entry(hour, subject), supportFolder() / "activity.jsonl");
    ActivityStore store;
    Texts subjects;
    for (const auto& e : store.entries())
        subjects.push_back(e.subject);
    EXPECT_EQ(subjects, (Texts{"eleven", "ten", "nine"}));
    int changed = 0;
    QObject::connect(&store, &ActivityStore::entriesChanged, [&] { ++changed; });
    store.clear();
    store.clear(); // already gone
    EXPECT_TRUE(store.entries().empty());
    EXPECT_FALSE(std::filesystem::exists(store.url()));
    EXPECT_EQ(changed, 2);
}

TEST(ActivityStore, RevealsTheLogOrElseItsFolder) {
    pellora::testing::Desk desk;
    ActivityStore store(testHome() / "Application Support/Pellora/activity.jsonl");
    store.revealInFinder(desk.desktop);
    ActivityFile::append(entry(9, "nine"), store.url());
    store.revealInFinder(desk.desktop);
    EXPECT_EQ(desk.desktop.openedURLs(), Texts{"file://" + (testHome() / "Application%20Support/Pellora").string()});
    EXPECT_EQ(desk.desktop.revealedFiles(), (std::vector<std::filesystem::path>{store.url()}));
}
