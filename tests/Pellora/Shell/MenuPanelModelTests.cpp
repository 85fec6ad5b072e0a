#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Pellora/Platform/Bundle.h"
#include "Pellora/Shell/ConfigStore.h"
#include "Pellora/Shell/MenuPanelModel.h"
#include "Pellora/Shell/MenuState.h"
#include "TestHome.h"

namespace pellora {
namespace {

using Row = MenuPanelModel::Row;
using Button = MenuPanelModel::Button;

struct MenuPanelRules : ::testing::Test {
    ConfigStore store{pellora::testing::testHome() / "config.json"};
    MenuState state;
    std::vector<std::string> calls;
    MenuPanelModel model{store, state, "1.4.2",
                         MenuPanelModel::Callbacks{
                             [this](Action action) { calls.push_back("send " + std::string(action.rawValue())); },
                             [this] { calls.push_back("updates"); }, [this] { calls.push_back("settings"); },
                             [this] { calls.push_back("support"); }, [this] { calls.push_back("quit"); }}};
    int changes = 0;

    void SetUp() override { QObject::connect(&model, &MenuPanelModel::changed, [this] { ++changes; }); }

    void configure(const std::function<void(Config&)>& change) {
        Config config = store.config();
        change(config);
        store.setConfig(config);
    }
};

TEST_F(MenuPanelRules, ListsTheActionsThatAreSetUpAsTheConfigurationChanges) {
    struct Step {
        const char* name;
        std::function<void(Config&)> change;
        std::vector<std::string> titles;
    };
    const std::vector<Step> steps{
        {"defaults", [](Config&) {}, {"Draft a Reply", "Summary & Next Steps", "Deep Dive & Research", "Paste Only"}},
        {"custom1 named only", [](Config& c) { c.setName("Translate", Action::custom1); },
         {"Draft a Reply", "Summary & Next Steps", "Deep Dive & Research", "Paste Only"}},
        {"custom1 gets a prompt", [](Config& c) { c.setInstruction("Translate this into English.", Action::custom1); },
         {"Draft a Reply", "Summary & Next Steps", "Deep Dive & Research", "Translate", "Paste Only"}},
        {"summary loses its prompt", [](Config& c) { c.setInstruction("  ", Action::summary); },
         {"Draft a Reply", "Deep Dive & Research", "Translate", "Paste Only"}},
        {"reply renamed", [](Config& c) { c.setName("Answer", Action::reply); },
         {"Answer", "Deep Dive & Research", "Translate", "Paste Only"}},
        {"nothing set up", [](Config& c) {
             for (Action action : {Action::reply, Action::research, Action::custom1, Action::pasteOnly})
                 c.setName("", action);
         }, {}},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        const int before = changes;
        configure(step.change);
        std::vector<std::string> titles;
        for (const auto& row : model.rows())
            titles.push_back(row.title);
        EXPECT_EQ(titles, step.titles);
        EXPECT_EQ(changes, before + 1);
    }
    EXPECT_EQ(MenuPanelModel::emptyText,
              "No actions are set up yet. Give one a name and a prompt in Settings → Prompts.");
}

TEST_F(MenuPanelRules, RowsCarryTheirSymbolAndShortcut) {
    configure([](Config& c) {
        c.setName("Translate", Action::custom1);
        c.setInstruction("Translate.", Action::custom1);
        c.setName("Tidy", Action::custom2);
        c.setInstruction("Tidy up.", Action::custom2);
    });
    EXPECT_EQ(model.rows(),
              (std::vector<Row>{{Action::reply, "arrowshape.turn.up.left", "Draft a Reply", "⌥⌘R", false},
                                {Action::summary, "checklist", "Summary & Next Steps", "⌥⌘S", false},
                                {Action::research, "magnifyingglass", "Deep Dive & Research", "⌥⌘D", false},
                                {Action::custom1, "sparkles", "Translate", "⌥⌘1", false},
                                {Action::custom2, "sparkles", "Tidy", "⌥⌘2", false},
                                {Action::pasteOnly, "doc.on.clipboard", "Paste Only", "⌥⌘C", false}}));
}

TEST_F(MenuPanelRules, WhileSendingTheHeaderSaysSoAndRowsIgnoreClicks) {
    struct Case {
        bool busy;
        std::string status;
        std::vector<std::string> calls;
    };
    EXPECT_EQ(model.status(), "v1.4.2");
    for (const Case& test : {Case{true, "Sending…", {"updates"}}, Case{false, "v1.4.2", {"send summary", "updates"}}}) {
        SCOPED_TRACE(test.busy);
        const int before = changes;
        state.setBusy(test.busy);
        calls.clear();
        EXPECT_EQ(model.status(), test.status);
        EXPECT_EQ(model.showsProgress(), test.busy);
        for (const auto& row : model.rows())
            EXPECT_EQ(row.disabled, test.busy);
        model.choose(Action::summary);
        model.press(Button::checkForUpdates); // works while sending
        EXPECT_EQ(calls, test.calls);
        EXPECT_EQ(changes, before + 1);
    }
}

TEST_F(MenuPanelRules, FooterButtonsInOrderAndTheVersionWithoutABundle) {
    using Footer = MenuPanelModel::FooterButton;
    EXPECT_EQ(MenuPanelModel::footer(),
              (std::vector<Footer>{{Button::checkForUpdates, "arrow.triangle.2.circlepath", "Check for Updates", false},
                                   {Button::settings, "gearshape", "Settings", false},
                                   {Button::support, "heart", "Support the App", false},
                                   {Button::quit, "power", "Quit Tovrin", true}}));
    EXPECT_EQ(MenuPanelModel(store, state, Bundle{}.version(), {}).status(), "v0.0.0");
}

} // namespace
} // namespace pellora
