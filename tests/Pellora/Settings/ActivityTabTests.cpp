#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>

#include "Pellora/Platform/Sim/SimClaude.h"
#include "Pellora/Settings/ActivityTab.h"
#include "Pellora/Settings/ActivityTableModel.h"
#include "PelloraCore/ActivityFile.h"
#include "SettingsFixture.h"
#include "App/VirtualTime.h"

namespace pellora {
namespace {

using testing::named;
using namespace std::chrono;
using Column = ActivityTableModel::Column;
using Style = ActivityTableModel::Style;
using Texts = std::vector<std::string>;

ActivityEntry entry(sys_seconds date, std::string subject, std::string messageID, std::string rule, Route destination,
                    std::string prompt) {
    return {.id = ActivityEntry::newID(), .date = date, .subject = std::move(subject), .sender = "Ada <ada@acme.com>",
            .messageID = std::move(messageID), .rule = std::move(rule), .destination = std::move(destination),
            .actionName = prompt.empty() ? "Paste Only" : "Draft a Reply",
            .mode = prompt.empty() ? ActionMode::pasteOnly : ActionMode::prompt, .prompt = std::move(prompt)};
}

// Newest first: an invoice routed to a linked chat, a paste-only email without a subject or a
// message id sent to a new chat, and one from the epoch to a project.
struct ActivityTabTest : testing::SettingsFixture {
    void SetUp() override {
        const Route chat{.domain = "acme.com", .matchOn = MatchField::from, .kind = DestinationKind::chat,
                         .name = "Acme", .url = "https://claude.ai/chat/acme-thread", .instructions = std::nullopt};
        const Route project{.domain = "old.example", .matchOn = MatchField::to, .kind = DestinationKind::project,
                            .name = "Archive", .url = std::nullopt, .instructions = std::nullopt};
        for (const auto& e : {entry(sys_seconds{}, "Ancient", "<a@b>", "old.example", project, "Summarise."),
                              entry(sys_days{2026y / December / 4}, "", "", "", Route{}, ""),
                              entry(sys_days{2026y / December / 5} + 6h + 19min, "Invoice 2041", "inv@acme.com",
                                    "acme.com", chat, "Draft <b>it</b>.\n\nBe formal.")}) {
            ActivityFile::append(e, activity.url());
            activity.insertFront(e);
        }
    }

    static Texts column(const ActivityTableModel& model, Column c) {
        Texts texts;
        for (int row = 0; row < model.rowCount(); ++row)
            texts.push_back(model.text(row, c));
        return texts;
    }
};

TEST_F(ActivityTabTest, CellsShowEachEntryAsLoggedWithLinksWhereTheyOpenSomething) {
    ActivityTableModel model(activity, "en-US", "UTC");
    EXPECT_EQ(column(model, Column::date),
              (Texts{"Dec 5, 2026, 6:19\u202FAM", "Dec 4, 2026, 12:00\u202FAM", "Jan 1, 1970, 12:00\u202FAM"}));
    EXPECT_EQ(column(model, Column::subject), (Texts{"Invoice 2041", "(no subject)", "Ancient"}));
    EXPECT_EQ(column(model, Column::route), (Texts{"From acme.com → Acme", "No route · New chat each time",
                                                   "To old.example → New chat in project: Archive"}));
    EXPECT_EQ(column(model, Column::prompt), (Texts{"Draft <b>it</b>.\n\nBe formal.", "Pasted the email only", "Summarise."}));

    // Links where a cell opens something, secondary text where the table says so.
    const auto S = Style::secondary, P = Style::plain, L = Style::link;
    for (const auto& [row, styles] : std::vector<std::pair<int, std::vector<Style>>>{
             {0, {S, L, P, L, P}}, {1, {S, P, P, S, S}}, {2, {S, L, P, L, P}}})
        for (int c = 0; c < ActivityTableModel::columns; ++c)
            EXPECT_EQ(model.style(row, Column(c)), styles[std::size_t(c)]) << row << " " << c;
    EXPECT_EQ((Texts{model.toolTip(0, Column::date), model.toolTip(0, Column::subject), model.toolTip(0, Column::route),
                     model.toolTip(1, Column::subject), model.toolTip(1, Column::route), model.toolTip(1, Column::prompt)}),
              (Texts{"", "Open this email in Mail", "Open this chat or project in Claude", "", "",
                     "Pasted the email only"}));
    // Cells are one line; a tool tip is never read as markup.
    EXPECT_EQ(model.index(0, Column::prompt).data().toString(), "Draft <b>it</b>.  Be formal.");
    EXPECT_TRUE(model.index(0, Column::prompt).data(Qt::ToolTipRole).toString().contains(
        "Draft &lt;b&gt;it&lt;/b&gt;.\n\nBe formal."));
    QStringList headers;
    for (int section = 0; section < model.columnCount(); ++section)
        headers << model.headerData(section, Qt::Horizontal).toString();
    EXPECT_EQ(headers, (QStringList{"Date", "Subject", "From", "Claude route", "Prompt"}));
}

TEST_F(ActivityTabTest, SearchingFiltersOnEveryChangeAndCounts) {
    ActivityTableModel model(activity, "en-US", "UTC");
    for (const auto& [query, subjects, count, message] : std::vector<std::tuple<std::string, Texts, std::string, std::string>>{
             {"FORMAL acme", {"Invoice 2041"}, "1 of 3", ""},
             {"2026-12", {"Invoice 2041", "(no subject)"}, "2 of 3", ""},
             {"   ", {"Invoice 2041", "(no subject)", "Ancient"}, "3 of 3", ""},
             {"kangaroo", {}, "0 of 3", "No matches."}}) {
        SCOPED_TRACE(query);
        model.setQuery(query);
        EXPECT_EQ(column(model, Column::subject), subjects);
        EXPECT_EQ(model.countText(), count);
        EXPECT_EQ(model.message(), message);
    }

    // A new delivery shows at the top, still filtered.
    model.setQuery("invoice");
    activity.insertFront(entry(sys_days{2026y / December / 6}, "Invoice 2042", "x@y", "", Route{}, "Go."));
    EXPECT_EQ(column(model, Column::subject), (Texts{"Invoice 2042", "Invoice 2041"}));
    EXPECT_EQ(model.countText(), "2 of 4");
}

TEST_F(ActivityTabTest, AChatThatCannotBeOpenedShowsTheBridgesMessageInAnAlertTitledTovrin) {
    testing::ScriptedShellUI shown; // Claude is not installed
    testing::runInVirtualTime(clock, ActivityTab::openChat(context.services.claude(), shown,
                                                           ChatTarget::link("claude://claude.ai/chat/c-7")));
    EXPECT_EQ(shown.alerts, (std::vector<testing::ScriptedShellUI::Alert>{
                                {"Tovrin", "The Claude desktop app was not found."}}));
}

TEST_F(ActivityTabTest, TheTabSearchesOpensAndClearsWithConfirmation) {
    desktop.install(std::make_shared<SimClaude>());
    ActivityTab tab(context);
    tab.resize(780, 600);
    tab.show();
    auto* search = named<QLineEdit>(&tab, "Search");
    auto* table = named<QTableView>(&tab, "Activity");
    auto* clear = named<QPushButton>(&tab, "Clear Log…");
    ASSERT_TRUE(search && table && clear);
    EXPECT_EQ(search->placeholderText(), "Search subject, sender, route or prompt");
    EXPECT_TRUE(labelTexts(&tab).contains(
        "Stored only on this Mac. Click a subject to open the email in Mail, or a route to open its chat in Claude."));
    auto* header = table->horizontalHeader();
    EXPECT_EQ(header->sectionSize(Column::prompt), 120);
    for (const auto& [dragged, kept] : {std::pair{60, 110}, std::pair{300, 170}}) {
        header->resizeSection(Column::date, dragged);
        EXPECT_EQ(header->sectionSize(Column::date), kept);
    }

    QTest::keyClicks(search, "kangaroo");
    EXPECT_TRUE(labelTexts(&tab).contains("No matches."));
    EXPECT_FALSE(table->isVisibleTo(&tab));
    search->clear();
    ASSERT_TRUE(table->isVisibleTo(&tab));
    QCoreApplication::processEvents(); // the table lays itself out again once shown

    const auto click = [&](int row, Column column) {
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {},
                          table->visualRect(table->model()->index(row, column)).center());
    };
    click(0, Column::subject);
    click(1, Column::subject); // no message id: nothing to open
    click(1, Column::route);   // a new chat cannot be opened
    click(0, Column::route);   // runs on while the window stays live
    clock.runUntilIdle();
    EXPECT_EQ(desktop.openedURLs(), (Texts{"message://%3Cinv%40acme.com%3E", "claude://claude.ai/chat/acme-thread"}));
    EXPECT_TRUE(ui.alerts.empty());
    QTest::mouseClick(named<QPushButton>(&tab, "Show Log File"), Qt::LeftButton);
    EXPECT_EQ(desktop.revealedFiles(), std::vector<std::filesystem::path>{activity.url()});

    ui.choiceAnswers = {0, 1};
    QTest::mouseClick(clear, Qt::LeftButton); // Cancel
    EXPECT_EQ(activity.entries().size(), 3u);
    QTest::mouseClick(clear, Qt::LeftButton); // Clear Log
    const testing::ScriptedShellUI::Choice confirmation{
        "Clear the activity log?",
        "This only removes the list in this app. Your emails and Claude chats are not touched.",
        {"Cancel", "Clear Log"}};
    EXPECT_EQ(ui.choices, (std::vector{confirmation, confirmation}));
    EXPECT_FALSE(std::filesystem::exists(activity.url()));
    EXPECT_TRUE(labelTexts(&tab).contains("0 of 0"));
    EXPECT_TRUE(labelTexts(&tab).contains("Nothing here yet.\nEmails you send to Claude are listed here."));
    EXPECT_FALSE(clear->isEnabled());
}

} // namespace
} // namespace pellora
