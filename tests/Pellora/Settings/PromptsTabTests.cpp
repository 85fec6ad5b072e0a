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

using Row = PromptsTabModel::Row;
using Line = PromptsTabModel::Line;
using Size = PromptsTabModel::Line::Size;

struct PromptsTabTest : testing::SettingsFixture {
    PromptsTabModel model{store};

    static nlohmann::json actionsOnDisk() { return nlohmann::json::parse(configText())["actions"]; }
};

TEST_F(PromptsTabTest, AFreshConfigurationListsSixActionsWithTheCustomOnesUnnamed) {
    EXPECT_EQ(model.rows(), (std::vector<Row>{{"Draft a Reply", "Draft a Reply", "⌥⌘R", true},
                                              {"Summary & Next Steps", "Summary & Next Steps", "⌥⌘S", true},
                                              {"Deep Dive & Research", "Deep Dive & Research", "⌥⌘D", true},
                                              {"", "Custom action 1", "⌥⌘1", false},
                                              {"", "Custom action 2", "⌥⌘2", false},
                                              {"Paste Only", "Paste Only", "⌥⌘C", true}}));
    const auto rows = model.rows();
    EXPECT_EQ(rows[3].title(), "Custom action 1");
    EXPECT_TRUE(rows[3].dimmed());
    EXPECT_FALSE(rows[0].dimmed());
    // Nothing selected: the editor shows reply.
    EXPECT_EQ(model.action(), Action::reply);
    EXPECT_EQ(model.footer(), "Shown under Send to Claude in the menu bar.");
    EXPECT_FALSE(model.canReset());
}

TEST_F(PromptsTabTest, EachEditChangesTheEditorAndLandsInConfigJson) {
    struct Step {
        const char* what;
        std::function<void(PromptsTabModel&)> edit;
        bool configured;
        std::string footer;
        bool showsPrompt;
        bool canReset;
        nlohmann::json actions;
    };
    const std::vector<Step> steps{
        {"name without a prompt", [](auto& m) { m.setName("Translate"); }, false,
         "This action appears in the menu once it has a name and a prompt.", true, true,
         {{"custom1", {{"name", "Translate"}}}}},
        {"paste only", [](auto& m) { m.setMode(ActionMode::pasteOnly); }, true,
         "Shown under Send to Claude in the menu bar.", false, true,
         {{"custom1", {{"mode", "pasteOnly"}, {"name", "Translate"}}}}},
        {"name cleared", [](auto& m) { m.setName(""); }, false, "This action appears in the menu once it has a name.",
         false, true, {{"custom1", {{"mode", "pasteOnly"}}}}},
        {"back to a prompt", [](auto& m) { m.setMode(ActionMode::prompt); }, false,
         "This action appears in the menu once it has a name and a prompt.", true, false, nlohmann::json::object()},
        {"prompt and name", [](auto& m) { m.setPrompt("Translate to French."), m.setName("Translate"); }, true,
         "Shown under Send to Claude in the menu bar.", true, true,
         {{"custom1", {{"name", "Translate"}, {"prompt", "Translate to French."}}}}},
        {"reset", [](auto& m) { m.reset(); }, false,
         "This action appears in the menu once it has a name and a prompt.", true, false, nlohmann::json::object()},
    };
    model.select(Action::custom1);
    for (const auto& step : steps) {
        SCOPED_TRACE(step.what);
        step.edit(model);
        EXPECT_EQ(model.rows()[3].configured, step.configured);
        EXPECT_EQ(model.footer(), step.footer);
        EXPECT_EQ(model.footerIsWarning(), !step.configured);
        EXPECT_EQ(model.showsPrompt(), step.showsPrompt);
        EXPECT_EQ(model.canReset(), step.canReset);
        EXPECT_EQ(actionsOnDisk(), step.actions);
    }
    EXPECT_EQ(model.name(), "");
    EXPECT_EQ(model.placeholder(), "Custom action 1");
}

TEST_F(PromptsTabTest, ClearingTheReplyNameDimsItsRowAndWarns) {
    model.setName("");
    EXPECT_EQ(model.rows()[0], (Row{"", "Draft a Reply", "⌥⌘R", false}));
    EXPECT_EQ(model.rows()[0].title(), "Draft a Reply");
    EXPECT_EQ(model.footer(), "This action appears in the menu once it has a name and a prompt.");
    EXPECT_EQ(actionsOnDisk(), (nlohmann::json{{"reply", {{"name", ""}}}}));
}

TEST_F(PromptsTabTest, TheExplanationFollowsTheModeAndAutoSend) {
    const Line either{"Either way, the email's From, To, Cc, date, subject, body and attachments are included.", "",
                      Size::caption, true};
    const Line prompted{"Your prompt is placed above the email, and both are pasted into the routed Claude chat.",
                        "text.bubble", Size::body, false};
    const Line inGeneral{"Turn auto-send on or off in General.", "", Size::caption, true};
    EXPECT_EQ(model.explanation(),
              (std::vector<Line>{prompted,
                                 {"Then it is sent right away, so Claude starts working on it immediately.", "",
                                  Size::callout, true},
                                 inGeneral, either}));

    Config config = store.config();
    config.autoSend = false; // as the General tab would
    store.setConfig(config);
    EXPECT_EQ(model.explanation(),
              (std::vector<Line>{prompted,
                                 {"Auto-send is off, so it waits in Claude's message box until you press Return.", "",
                                  Size::callout, true},
                                 inGeneral, either}));

    model.select(Action::pasteOnly);
    EXPECT_EQ(model.explanation(),
              (std::vector<Line>{{"The email is pasted into the routed Claude chat, and nothing else happens.",
                                  "doc.on.clipboard", Size::body, false},
                                 {"Nothing is sent. Type your own request in Claude, then press Return.", "",
                                  Size::callout, true},
                                 either}));
}

TEST_F(PromptsTabTest, AnyTextIsStoredExactlyAndAFailedSaveKeepsTheEdit) {
    // Every script, a no-break space, a combining mark, an emoji with a joiner, a line
    // separator, and 100,000 characters of it.
    std::string prompt;
    while (prompt.size() < 400'000)
        prompt += "Ünïcödé\u00A0ك 中文 e\u0301 👩‍💻\u2028\t<b>&amp;</b>\n";
    model.setPrompt(prompt);
    model.setName("  Rëply\n");
    EXPECT_EQ(configOnDisk().instruction(Action::reply), prompt);
    EXPECT_EQ(configOnDisk().name(Action::reply), "  Rëply\n");

    // config.json cannot be written while Application Support/Pellora is a file.
    std::filesystem::remove_all(store.url().parent_path());
    std::ofstream(store.url().parent_path()) << "in the way";
    model.setPrompt("Kept in memory.");
    EXPECT_EQ(model.prompt(), "Kept in memory.");
    std::filesystem::remove(store.url().parent_path());
    model.setName("Reply");
    EXPECT_EQ(configOnDisk().instruction(Action::reply), "Kept in memory.");
    EXPECT_EQ(configOnDisk().name(Action::reply), "Reply");
}

TEST_F(PromptsTabTest, TheTabEditsTheSelectedActionKeystrokeByKeystroke) {
    PromptsTab tab(context);
    tab.resize(780, 600);
    tab.show();
    auto* list = tab.findChild<QListWidget*>();
    ASSERT_TRUE(list);
    ASSERT_EQ(list->count(), 6);
    EXPECT_EQ(list->item(3)->text(), "Custom action 1");
    EXPECT_TRUE(list->item(3)->data(ActionRow::dimmedRole).toBool());
    EXPECT_FALSE(list->item(3)->data(ActionRow::configuredRole).toBool());
    EXPECT_EQ(list->item(0)->data(ActionRow::shortcutRole).toString(), "⌥⌘R");
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
    EXPECT_TRUE(labelTexts(&tab).contains("This action appears in the menu once it has a name and a prompt."));

    name->setFocus();
    for (const auto& [key, saved] : std::vector<std::pair<char, std::string>>{{'T', "T"}, {'r', "Tr"}}) {
        QTest::keyClick(name, key);
        EXPECT_EQ(configOnDisk().name(Action::custom1), saved);
    }
    EXPECT_EQ(list->item(3)->text(), "Tr");
    EXPECT_TRUE(reset->isEnabled());

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
    EXPECT_EQ(prompt->toPlainText(), "");
    EXPECT_EQ(configOnDisk().actions.size(), 0u);

    // A stored prompt with no-break spaces keeps them when the user types on.
    list->setCurrentRow(0);
    Config config = store.config();
    config.setInstruction("a\u00A0b\nc", Action::reply);
    store.setConfig(config);
    EXPECT_EQ(prompt->toPlainText(), "a b\nc");
    prompt->moveCursor(QTextCursor::End);
    QTest::keyClick(prompt, 'd');
    // Shift-Return breaks the line like Return, never with a Unicode line separator.
    QTest::keyClick(prompt, Qt::Key_Return, Qt::ShiftModifier);
    QTest::keyClick(prompt, 'e');
    EXPECT_EQ(configOnDisk().instruction(Action::reply), "a\u00A0b\ncd\ne");
}

} // namespace
} // namespace pellora
