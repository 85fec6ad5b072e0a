#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <nlohmann/json.hpp>

#include "Pellora/Settings/ActionRow.h"
#include "Pellora/Settings/PromptsTab.h"
#include "SettingsFixture.h"

namespace pellora {
namespace {

using testing::named;
using Row = PromptsTabModel::Row;
using Line = PromptsTabModel::Line;
using Size = PromptsTabModel::Line::Size;

struct PromptsTabTest : testing::SettingsFixture {
    PromptsTabModel model{store};

    static nlohmann::json actionsOnDisk() { return nlohmann::json::parse(configText())["actions"]; }
};

TEST_F(PromptsTabTest, AFreshListAndEachEditOfTheEditorLandInConfigJson) {
    EXPECT_EQ(model.rows(), (std::vector<Row>{{"Draft a Reply", "Draft a Reply", "⌥⌘R", true},
                                              {"Summary & Next Steps", "Summary & Next Steps", "⌥⌘S", true},
                                              {"Deep Dive & Research", "Deep Dive & Research", "⌥⌘D", true},
                                              {"", "Custom action 1", "⌥⌘1", false},
                                              {"", "Custom action 2", "⌥⌘2", false},
                                              {"Paste Only", "Paste Only", "⌥⌘C", true}}));
    EXPECT_EQ(model.action(), Action::reply); // nothing selected
    const std::string shown = "Shown under Send to Claude in the menu bar.";
    const std::string needsBoth = "This action appears in the menu once it has a name and a prompt.";
    struct Step {
        const char* what;
        Action action;
        std::function<void(PromptsTabModel&)> edit;
        bool configured;
        std::string footer;
        bool canReset;
        nlohmann::json actions;
    };
    const std::vector<Step> steps{
        {"reply's name cleared", Action::reply, [](auto& m) { m.setName(""); }, false, needsBoth, true,
         {{"reply", {{"name", ""}}}}},
        {"reply reset", Action::reply, [](auto& m) { m.reset(); }, true, shown, false, nlohmann::json::object()},
        {"a name without a prompt", Action::custom1, [](auto& m) { m.setName("Translate"); }, false, needsBoth, true,
         {{"custom1", {{"name", "Translate"}}}}},
        {"paste only", Action::custom1, [](auto& m) { m.setMode(ActionMode::pasteOnly); }, true, shown, true,
         {{"custom1", {{"mode", "pasteOnly"}, {"name", "Translate"}}}}},
        {"name cleared", Action::custom1, [](auto& m) { m.setName(""); }, false,
         "This action appears in the menu once it has a name.", true, {{"custom1", {{"mode", "pasteOnly"}}}}},
        {"back to a prompt", Action::custom1, [](auto& m) { m.setMode(ActionMode::prompt); }, false, needsBoth, false,
         nlohmann::json::object()},
        {"prompt and name", Action::custom1, [](auto& m) { m.setPrompt("Translate to French."), m.setName("Translate"); },
         true, shown, true, {{"custom1", {{"name", "Translate"}, {"prompt", "Translate to French."}}}}},
        {"custom1 reset", Action::custom1, [](auto& m) { m.reset(); }, false, needsBoth, false, nlohmann::json::object()},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.what);
        model.select(step.action);
        step.edit(model);
        EXPECT_EQ(model.rows()[std::size_t(Action::Value(step.action))].configured, step.configured);
        EXPECT_EQ(model.footer(), step.footer);
        EXPECT_EQ(model.canReset(), step.canReset);
        EXPECT_EQ(actionsOnDisk(), step.actions);
    }
}

TEST_F(PromptsTabTest, TheExplanationFollowsTheModeAndAutoSend) {
    const Line either{"Either way, the email's From, To, Cc, date, subject, body and attachments are included.", "",
                      Size::caption, true};
    const Line prompted{"Your prompt is placed above the email, and both are pasted into the routed Claude chat.",
                        "text.bubble", Size::body, false};
    const Line inGeneral{"Turn auto-send on or off in General.", "", Size::caption, true};
    const Line sent{"Then it is sent right away, so Claude starts working on it immediately.", "", Size::callout, true};
    const Line waits{"Auto-send is off, so it waits in Claude's message box until you press Return.", "",
                     Size::callout, true};
    const std::vector<Line> pasted{{"The email is pasted into the routed Claude chat, and nothing else happens.",
                                    "doc.on.clipboard", Size::body, false},
                                   {"Nothing is sent. Type your own request in Claude, then press Return.", "",
                                    Size::callout, true},
                                   either};
    for (const auto& [action, autoSend, lines] : std::vector<std::tuple<Action, bool, std::vector<Line>>>{
             {Action::reply, true, {prompted, sent, inGeneral, either}},
             {Action::reply, false, {prompted, waits, inGeneral, either}},
             {Action::pasteOnly, false, pasted}}) {
        configure([&](Config& config) { config.autoSend = autoSend; }); // as the General tab would
        model.select(action);
        EXPECT_EQ(model.explanation(), lines);
    }
}

TEST_F(PromptsTabTest, TheTabEditsTheSelectedActionKeystrokeByKeystroke) {
    PromptsTab tab(context);
    tab.resize(780, 600);
    tab.show();
    auto* list = tab.findChild<QListWidget*>();
    ASSERT_TRUE(list && list->count() == 6);
    EXPECT_TRUE(list->item(3)->data(ActionRow::dimmedRole).toBool());
    EXPECT_EQ(list->item(3)->data(Qt::AccessibleTextRole).toString(), "Custom action 1, Not in the menu yet, ⌥⌘1");

    list->setCurrentRow(3);
    auto* name = named<QLineEdit>(&tab, "Name");
    auto* prompt = named<QPlainTextEdit>(&tab, "Prompt");
    auto* pasteOnly = named<QRadioButton>(&tab, "Paste the email only");
    auto* reset = named<QPushButton>(&tab, "Reset to Default");
    ASSERT_TRUE(name && prompt && pasteOnly && reset);
    EXPECT_EQ(name->placeholderText(), "Custom action 1");
    EXPECT_FALSE(reset->isEnabled());
    EXPECT_TRUE(labelTexts(&tab).contains("⌥⌘1"));

    for (const auto& [key, saved] : std::vector<std::pair<char, std::string>>{{'T', "T"}, {'r', "Tr"}}) {
        QTest::keyClick(name, key);
        EXPECT_EQ(configOnDisk().name(Action::custom1), saved);
    }
    EXPECT_EQ(list->item(3)->text(), "Tr");
    EXPECT_TRUE(reset->isEnabled());
    EXPECT_TRUE(labelTexts(&tab).contains("This action appears in the menu once it has a name and a prompt."));
    QTest::keyClicks(prompt, "Go");
    EXPECT_EQ(configOnDisk().instruction(Action::custom1), "Go");
    EXPECT_TRUE(list->item(3)->data(ActionRow::configuredRole).toBool());
    EXPECT_TRUE(labelTexts(&tab).contains("Shown under Send to Claude in the menu bar."));

    QTest::mouseClick(pasteOnly, Qt::LeftButton);
    EXPECT_EQ(configOnDisk().mode(Action::custom1), ActionMode::pasteOnly);
    EXPECT_FALSE(prompt->isVisibleTo(&tab));
    EXPECT_TRUE(labelTexts(&tab).contains("Nothing is sent. Type your own request in Claude, then press Return."));

    QTest::mouseClick(reset, Qt::LeftButton);
    EXPECT_FALSE(reset->isEnabled());
    EXPECT_EQ(name->text(), "");
    EXPECT_TRUE(prompt->isVisibleTo(&tab));

    // Stored text comes back exactly as typed on: no-break spaces, joined emoji, and a name
    // longer than a line edit keeps by default. Shift-Return breaks the line like Return.
    list->setCurrentRow(0);
    const std::string longName(40'000, 'n');
    configure([&](Config& config) {
        config.setInstruction("a\u00A0b 👩‍💻\nc", Action::reply);
        config.setName(longName, Action::reply);
    });
    prompt->moveCursor(QTextCursor::End);
    QTest::keyClick(prompt, 'd');
    QTest::keyClick(prompt, Qt::Key_Return, Qt::ShiftModifier);
    QTest::keyClick(prompt, 'e');
    EXPECT_EQ(configOnDisk().instruction(Action::reply), "a\u00A0b 👩‍💻\ncd\ne");
    name->end(false);
    QTest::keyClick(name, 'x');
    EXPECT_EQ(configOnDisk().name(Action::reply), longName + "x");
}

} // namespace
} // namespace pellora
