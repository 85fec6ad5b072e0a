#include <fstream>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sys/stat.h>

#include "PelloraCore/Config.h"
#include "Files.h"
#include "TestHome.h"

using namespace pellora;
using pellora::testing::readFile;

namespace {

Config loadText(const std::string& contents) {
    const auto file = pellora::testing::testHome() / "config.json";
    std::ofstream(file, std::ios::binary) << contents;
    return Config::load(file);
}

Config changedConfig() {
    Config config;
    config.routes = {
        {"example.com", MatchField::from, DestinationKind::chat, "Client A", "https://claude.ai/chat/1", "Be brief."},
        {"bob@x.org", MatchField::to, DestinationKind::incognito, std::nullopt, std::nullopt, std::nullopt},
    };
    config.setName("Translate", Action::custom1);
    config.setInstruction("Into French, «s'il vous plaît».\n", Action::custom1);
    config.setMode(ActionMode::pasteOnly, Action::summary);
    config.autoSend = config.askForUnknownRoutes = config.keepActivityLog = false;
    config.openDelay = 2.75;
    config.analyticsChoice = AnalyticsChoice::notShared;
    config.analyticsChoiceDate = 786000000.123456789;
    config.lastUpdateCheck = -0.1;
    config.emailsSent = 9007199254740993; // not representable as a double
    config.donatePromptShown = true;
    return config;
}

} // namespace

TEST(ConfigLoad, MissingInvalidOrWronglyTypedDocumentsGiveTheDefaults) {
    EXPECT_EQ(Config::load(pellora::testing::testHome() / "absent" / "config.json"), Config());
    EXPECT_EQ(Config::load(pellora::testing::testHome()), Config()); // a folder
    for (const char* document : {"", "{}", "not json", "[]", "null", "\"text\"", "{\"autoSend\": false", "\xEF\xBB"})
        EXPECT_EQ(loadText(document), Config()) << document;

    // One wrong type or raw value anywhere spoils the whole document.
    const char* fields[] = {
        R"("keepActivityLog": 0)", R"("askForUnknownRoutes": "true")", R"("openDelay": true)",
        R"("emailsSent": 1.5)", R"("emailsSent": 9223372036854775808)", R"("emailsSent": 1e19)",
        R"("analyticsChoice": "yes")", R"("analyticsChoiceDate": "2024-01-01")", R"("lastUpdateCheck": false)",
        R"("routes": {})", R"("routes": [null])", R"("routes": [{"domain": 7}])",
        R"("routes": [{"domain": "a.com", "kind": "channel"}])", R"("routes": [{"domain": "a.com", "matchOn": "cc"}])",
        R"("routes": [{"domain": "a.com", "address": 7}])", R"("routes": [{"domain": "a.com", "chatURL": ["x"]}])",
        R"("actions": [])", R"("actions": {"reply": null})", R"("actions": {"reply": {"mode": "send"}})",
        R"("actions": {"reply": {"name": 1}})", R"("instructions": {"reply": 1})", R"("instructions": "x")",
        R"("instruction": ["x"])",
    };
    for (const char* field : fields)
        EXPECT_EQ(loadText(std::string(R"({"autoSend": false, )") + field + "}"), Config()) << field;
}

TEST(ConfigLoad, NullReadsAsAbsentAndNumbersAreLenientWhereExact) {
    auto config = loadText(R"({"autoSend": null, "routes": null, "analyticsChoiceDate": null,
        "emailsSent": 42.0, "openDelay": 3, "lastUpdateCheck": 12, "unknownKey": {"x": 1},
        "actions": {"reply": {"name": null, "mode": "pasteOnly", "prompt": null}}})");
    Config expected;
    expected.emailsSent = 42;
    expected.openDelay = 3.0;
    expected.lastUpdateCheck = 12.0;
    expected.actions["reply"] = ActionSetting{std::nullopt, ActionMode::pasteOnly, std::nullopt};
    EXPECT_EQ(config, expected);
}

TEST(ConfigLoad, OlderRouteShapes) {
    auto config = loadText(R"({"routes": [
        {"address": "ann@example.com", "chatTitle": "Ann"},
        {"domain": "example.org"},
        {"domain": "new.org", "address": "old.org", "name": "New", "chatTitle": "Old",
         "url": "https://claude.ai/chat/new", "chatURL": "https://claude.ai/chat/old"},
        {"chatURL": "https://claude.ai/chat/9", "chatTitle": null},
        {"domain": "  Mixed.ORG ", "matchOn": "from", "kind": "project", "chatTitle": "T", "instructions": "Hi"},
        {"chatTitle": null, "chatURL": null}
    ]})");
    const std::vector<Route> expected = {
        {"ann@example.com", MatchField::to, DestinationKind::chat, "Ann", std::nullopt, std::nullopt},
        {"example.org", MatchField::to, DestinationKind::newChat, std::nullopt, std::nullopt, std::nullopt},
        {"new.org", MatchField::to, DestinationKind::chat, "New", "https://claude.ai/chat/new", std::nullopt},
        {"", MatchField::to, DestinationKind::chat, std::nullopt, "https://claude.ai/chat/9", std::nullopt},
        {"  Mixed.ORG ", MatchField::from, DestinationKind::project, "T", std::nullopt, "Hi"},
        {"", MatchField::to, DestinationKind::newChat, std::nullopt, std::nullopt, std::nullopt},
    };
    EXPECT_EQ(config.routes, expected);
}

TEST(ConfigLoad, OlderPromptKeysMergeIntoActions) {
    // A single "instruction" becomes the reply prompt and keeps the stored name and mode.
    auto config = loadText(R"({"instruction": "Old reply", "actions": {"reply": {"name": "R", "mode": "pasteOnly"}}})");
    EXPECT_EQ(config.actions.at("reply"), (ActionSetting{"R", ActionMode::pasteOnly, "Old reply"}));

    // A prompt already in "actions" wins; "instructions" wins over "instruction"; unknown
    // keys and texts equal to the defaults are carried as they are.
    config = loadText(R"({"instruction": "single", "instructions": {"reply": "map reply", "summary": "S",
        "research": "R", "custom9": ""},
        "actions": {"summary": {"prompt": "kept"}, "research": {"name": "D"}}})");
    EXPECT_EQ(config.actions.at("reply"), (ActionSetting{std::nullopt, std::nullopt, "map reply"}));
    EXPECT_EQ(config.actions.at("summary"), (ActionSetting{std::nullopt, std::nullopt, "kept"}));
    EXPECT_EQ(config.actions.at("research"), (ActionSetting{"D", std::nullopt, "R"}));
    EXPECT_EQ(config.actions.at("custom9"), (ActionSetting{std::nullopt, std::nullopt, ""}));
    EXPECT_EQ(config.actions.size(), 4u);
}

TEST(ConfigSave, RoundTripIsExactAndWritesNoOlderKeys) {
    const auto file = pellora::testing::testHome() / "deep" / "er" / "config.json";
    changedConfig().save(file);
    EXPECT_EQ(Config::load(file), changedConfig());
    const auto written = nlohmann::json::parse(readFile(file));
    EXPECT_FALSE(written.contains("instruction") || written.contains("instructions"));
    for (const auto& route : written["routes"])
        EXPECT_FALSE(route.contains("address") || route.contains("chatTitle") || route.contains("chatURL")) << route;
    Config().save(file);
    EXPECT_EQ(Config::load(file), Config());
    // Only the document itself is left in the folder.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(file.parent_path()), {}), 1);
}

TEST(ConfigSave, WritesSortedPrettyJson) {
    const auto file = pellora::testing::testHome() / "config.json";
    Config config;
    config.routes.push_back({"a.com", MatchField::from, DestinationKind::chat, "N", std::nullopt, std::nullopt});
    config.setName("X", Action::custom2);
    config.lastUpdateCheck = 786000000.5;
    config.save(file);
    EXPECT_EQ(readFile(file), R"({
  "actions": {
    "custom2": {
      "name": "X"
    }
  },
  "analyticsChoice": "unset",
  "askForUnknownRoutes": true,
  "autoSend": true,
  "donatePromptShown": false,
  "emailsSent": 0,
  "keepActivityLog": true,
  "lastUpdateCheck": 786000000.5,
  "openDelay": 1.0,
  "routes": [
    {
      "domain": "a.com",
      "kind": "chat",
      "matchOn": "from",
      "name": "N"
    }
  ]
})");
    struct stat info {};
    ASSERT_EQ(::stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST(ConfigSave, FailuresThrowLeaveNothingBehindAndKeepTheDocument) {
    const auto home = pellora::testing::testHome();
    std::ofstream(home / "file") << "x";
    EXPECT_THROW(Config().save(home / "file" / "sub" / "config.json"), std::filesystem::filesystem_error);

    // The rename fails when the target is a folder: the temporary file must go.
    const auto folder = home / "settings";
    std::filesystem::create_directories(folder / "config.json" / "inside");
    EXPECT_THROW(Config().save(folder / "config.json"), std::filesystem::filesystem_error);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1);

    // Text that is not UTF-8 cannot be encoded. (A read-only folder is a crash-safety case.)
    changedConfig().save(folder / "kept.json");
    Config invalid;
    invalid.setName("\xFF", Action::custom1);
    EXPECT_THROW(invalid.save(folder / "kept.json"), std::runtime_error);
    EXPECT_EQ(Config::load(folder / "kept.json"), changedConfig());
}

TEST(Config, RecordDeliveryPromptsOnceAfterTwentyEmails) {
    Config config;
    for (int i = 1; i <= 25; ++i)
        EXPECT_EQ(config.recordDelivery(), i == 21) << i;
    EXPECT_TRUE(config.donatePromptShown);
    EXPECT_EQ(config.emailsSent, 25);
}

TEST(Route, DerivedProperties) {
    const Route address{"ann@x.org", MatchField::from, DestinationKind::chat, std::nullopt, std::nullopt, std::nullopt};
    EXPECT_EQ(address.id(), "from:ann@x.org");
    EXPECT_TRUE(address.isAddressRule());
    for (const char* domain : {"@x.org", "x.org", ""})
        EXPECT_FALSE(Route{domain}.isAddressRule()) << domain;
    EXPECT_EQ(Route{" X.org"}.id(), "to: X.org");

    using Name = std::optional<std::string>;
    const std::tuple<DestinationKind, Name, Name, std::string, ChatTarget> cases[] = {
        {DestinationKind::chat, " \tPlans\u3000", "https://claude.ai/chat/1", "Plans", ChatTarget::link("claude://claude.ai/chat/1")},
        {DestinationKind::chat, " ", "https://example.com/chat/1", "https://example.com/chat/1", ChatTarget::newChat()},
        {DestinationKind::chat, "\nPlans", std::nullopt, "\nPlans", ChatTarget::sidebar("\nPlans")},
        {DestinationKind::chat, std::nullopt, std::nullopt, "Existing chat", ChatTarget::newChat()},
        {DestinationKind::project, "Acme", std::nullopt, "New chat in project: Acme", ChatTarget::project("Acme", std::nullopt)},
        {DestinationKind::project, std::nullopt, "https://claude.ai/project/7", "New chat in project: https://claude.ai/project/7",
         ChatTarget::project("", "claude://claude.ai/project/7")},
        {DestinationKind::project, std::nullopt, std::nullopt, "New chat in project: ", ChatTarget::newChat()},
        {DestinationKind::newChat, "Ignored", "https://claude.ai/chat/1", "New chat each time", ChatTarget::newChat()},
        {DestinationKind::incognito, "Ignored", std::nullopt, "Incognito chat", ChatTarget::incognito()},
    };
    for (const auto& [kind, name, url, description, target] : cases) {
        const Route route{"x.org", MatchField::to, kind, name, url, std::nullopt};
        EXPECT_EQ(route.destinationDescription(), description);
        EXPECT_EQ(route.target(), target) << description;
    }
}

TEST(Route, EnumerationTables) {
    EXPECT_EQ(DestinationKind(DestinationKind::project).title(), "New chat in a project");
    EXPECT_EQ(DestinationKind(DestinationKind::newChat).title(), "New chat");
    EXPECT_EQ(DestinationKind::fromRawValue("newChat"), DestinationKind::newChat);
    EXPECT_EQ(DestinationKind::fromRawValue("newchat"), std::nullopt);
}
