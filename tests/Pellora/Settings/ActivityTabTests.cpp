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

using namespace std::chrono;
using Column = ActivityTableModel::Column;
using Style = ActivityTableModel::Style;

ActivityEntry entry(sys_seconds date, std::string subject, std::string messageID, std::string rule, Route destination,
                    std::string prompt) {
    return {.id = ActivityEntry::newID(), .date = date, .subject = std::move(subject), .sender = "Ada <ada@acme.com>",
            .messageID = std::move(messageID), .rule = std::move(rule), .destination = std::move(destination),
            .actionName = prompt.empty() ? "Paste Only" : "Draft a Reply",
            .mode = prompt.empty() ? ActionMode::pasteOnly : ActionMode::prompt, .prompt = std::move(prompt)};
}

Route chatByLink() {
    return {.domain = "acme.com", .matchOn = MatchField::from, .kind = DestinationKind::chat, .name = "Acme",
            .url = "https://claude.ai/chat/acme-thread", .instructions = std::nullopt};
}

struct ActivityTabTest : testing::SettingsFixture {
    std::unique_ptr<ActivityStore> log;
    std::optional<SettingsContext> logContext;

    // Newest first: an invoice routed to a linked chat, a paste-only email without a subject
    // or a message id sent to a new chat, and one from the epoch to a project.
    void SetUp() override {
        const auto file = activity.url();
        const Route project{.domain = "old.example", .matchOn = MatchField::to, .kind = DestinationKind::project,
                            .name = "Archive", .url = std::nullopt, .instructions = std::nullopt};
        ActivityFile::append(entry(sys_seconds{}, "Ancient", "<a@b>", "old.example", project, "Summarise."), file);
        ActivityFile::append(entry(sys_days{2026y / December / 5} + 6h + 19min, "Invoice 2041", "inv@acme.com",
                                   "acme.com", chatByLink(), "Draft it.\n\nBe formal."),
                             file);
        ActivityFile::append(entry(sys_days{2026y / December / 4}, "", "", "", Route{}, ""), file);
        log = std::make_unique<ActivityStore>();
        logContext.emplace(SettingsContext{store, *log, updates, context.services, ui});
    }

    static std::vector<std::string> column(const ActivityTableModel& model, Column c) {
        std::vector<std::string> texts;
        for (int row = 0; row < model.rowCount(); ++row)
            texts.push_back(model.text(row, c));
        return texts;
    }
};

TEST_F(ActivityTabTest, CellsShowEachEntryAsLoggedWithLinksWhereTheyOpenSomething) {
    ActivityTableModel model(*log, "en-US", "UTC");
    ASSERT_EQ(model.rowCount(), 3);
    EXPECT_EQ(model.columnCount(), 5);
    EXPECT_EQ(column(model, Column::date), (std::vector<std::string>{"Dec 5, 2026, 6:19\u202FAM",
                                                                     "Dec 4, 2026, 12:00\u202FAM",
                                                                     "Jan 1, 1970, 12:00\u202FAM"}));
    EXPECT_EQ(column(model, Column::subject), (std::vector<std::string>{"Invoice 2041", "(no subject)", "Ancient"}));
    EXPECT_EQ(column(model, Column::from), std::vector<std::string>(3, "Ada <ada@acme.com>"));
    EXPECT_EQ(column(model, Column::route),
              (std::vector<std::string>{"From acme.com → Acme", "No route · New chat each time",
                                        "To old.example → New chat in project: Archive"}));
    EXPECT_EQ(column(model, Column::prompt),
              (std::vector<std::string>{"Draft it.\n\nBe formal.", "Pasted the email only", "Summarise."}));

    struct Cell {
        int row;
        Column column;
        Style style;
        std::string tip;
    };
    for (const Cell& c : {Cell{0, Column::date, Style::secondary, ""},
                          Cell{0, Column::subject, Style::link, "Open this email in Mail"},
                          Cell{1, Column::subject, Style::plain, ""}, Cell{0, Column::from, Style::plain, ""},
                          Cell{0, Column::route, Style::link, "Open this chat or project in Claude"},
                          Cell{1, Column::route, Style::secondary, ""},
                          Cell{2, Column::route, Style::link, "Open this chat or project in Claude"},
                          Cell{0, Column::prompt, Style::plain, "Draft it.\n\nBe formal."},
                          Cell{1, Column::prompt, Style::secondary, "Pasted the email only"}}) {
        SCOPED_TRACE(std::to_string(c.row) + " " + std::to_string(int(c.column)));
        EXPECT_EQ(model.style(c.row, c.column), c.style);
        EXPECT_EQ(model.toolTip(c.row, c.column), c.tip);
    }
    // Cells are one line; tool tips are never read as markup.
    EXPECT_EQ(model.index(0, Column::prompt).data().toString(), "Draft it.  Be formal.");
    const auto header = [&](int section) { return model.headerData(section, Qt::Horizontal).toString(); };
    EXPECT_EQ((QStringList{header(0), header(1), header(2), header(3), header(4)}),
              (QStringList{"Date", "Subject", "From", "Claude route", "Prompt"}));
}

TEST_F(ActivityTabTest, SearchingFiltersOnEveryChangeAndCounts) {
    ActivityTableModel model(*log, "en-US", "UTC");
    struct Search {
        std::string query;
        std::vector<std::string> subjects;
        std::string count;
        std::string message;
    };
    for (const Search& s : {Search{"", {"Invoice 2041", "(no subject)", "Ancient"}, "3 of 3", ""},
                            Search{"FORMAL acme", {"Invoice 2041"}, "1 of 3", ""},
                            Search{"2026-12", {"Invoice 2041", "(no subject)"}, "2 of 3", ""},
                            Search{"   ", {"Invoice 2041", "(no subject)", "Ancient"}, "3 of 3", ""},
                            Search{"kangaroo", {}, "0 of 3", "No matches."}}) {
        SCOPED_TRACE(s.query);
        model.setQuery(s.query);
        EXPECT_EQ(column(model, Column::subject), s.subjects);
        EXPECT_EQ(model.countText(), s.count);
        EXPECT_EQ(model.message(), s.message);
    }

    // A new delivery shows at the top, still filtered.
    model.setQuery("invoice");
    log->insertFront(entry(sys_days{2026y / December / 6}, "Invoice 2042", "x@y", "", Route{}, "Go."));
    EXPECT_EQ(column(model, Column::subject), (std::vector<std::string>{"Invoice 2042", "Invoice 2041"}));
    EXPECT_EQ(model.countText(), "2 of 4");

    log->clear();
    EXPECT_EQ(model.countText(), "0 of 0");
    EXPECT_EQ(model.message(), "Nothing here yet.\nEmails you send to Claude are listed here.");
}

TEST_F(ActivityTabTest, OpeningAChatShowsTheBridgesFailureInAnAlert) {
    auto claude = std::make_shared<SimClaude>();
    claude->addChat("Invoices", "c-7");
    struct Case {
        const char* what;
        bool installed;
        bool trusted;
        ChatTarget target;
        std::vector<testing::ScriptedShellUI::Alert> alerts;
    };
    const std::vector<Case> cases{
        {"a linked chat opens", true, true, ChatTarget::link("claude://claude.ai/chat/c-7"), {}},
        {"a new chat has nothing to show", false, false, ChatTarget::newChat(), {}},
        {"no Claude", false, true, ChatTarget::link("claude://claude.ai/chat/c-7"),
         {{"Tovrin", "The Claude desktop app was not found."}}},
        {"no permission", true, false, ChatTarget::sidebar("Invoices"),
         {{"Tovrin", "Accessibility permission is required to paste into Claude. Enable Tovrin in System Settings → "
                     "Privacy & Security → Accessibility."}}},
        {"a chat gone from the sidebar", true, true, ChatTarget::sidebar("Old thread"),
         {{"Tovrin", "Couldn't find the chat “Old thread” in Claude's sidebar. Scroll it into view, or route this "
                     "domain by chat link instead."}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        testing::ScriptedShellUI alerts;
        if (c.installed)
            desktop.install(claude);
        else
            desktop.uninstall(SimClaude::identifier);
        desktop.setTrusted(c.trusted);
        testing::runInVirtualTime(clock, ActivityTab::openChat(context.services.claude(), alerts, c.target));
        EXPECT_EQ(alerts.alerts, c.alerts);
    }
    EXPECT_EQ(claude->receivedLinks(), std::vector<std::string>{"claude://claude.ai/chat/c-7"});
}

TEST_F(ActivityTabTest, TheTabSearchesOpensAndClearsWithConfirmation) {
    desktop.install(std::make_shared<SimClaude>());
    ActivityTab tab(*logContext);
    tab.resize(780, 600);
    tab.show();
    auto* search = named<QLineEdit>(&tab, "Search");
    auto* table = named<QTableView>(&tab, "Activity");
    auto* clear = named<QPushButton>(&tab, "Clear Log…");
    ASSERT_TRUE(search && table && clear);
    EXPECT_EQ(search->placeholderText(), "Search subject, sender, route or prompt");
    EXPECT_TRUE(labelTexts(&tab).contains("3 of 3"));
    EXPECT_TRUE(labelTexts(&tab).contains(
        "Stored only on this Mac. Click a subject to open the email in Mail, or a route to open its chat in Claude."));
    EXPECT_GE(table->horizontalHeader()->sectionSize(Column::date), 130);
    EXPECT_LE(table->horizontalHeader()->sectionSize(Column::date), 170);
    EXPECT_EQ(table->horizontalHeader()->sectionSize(Column::prompt), 120);
    for (const auto& [dragged, kept] : {std::pair{60, 110}, std::pair{300, 170}}) {
        table->horizontalHeader()->resizeSection(Column::date, dragged);
        EXPECT_EQ(table->horizontalHeader()->sectionSize(Column::date), kept);
    }

    QTest::keyClicks(search, "kangaroo");
    EXPECT_TRUE(labelTexts(&tab).contains("0 of 3"));
    EXPECT_TRUE(labelTexts(&tab).contains("No matches."));
    EXPECT_FALSE(table->isVisibleTo(&tab));
    search->clear();
    ASSERT_TRUE(table->isVisibleTo(&tab));
    QCoreApplication::processEvents(); // the table lays itself out again once shown

    const auto click = [&](int row, Column column) {
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, table->visualRect(table->model()->index(row, column)).center());
    };
    click(0, Column::subject);
    click(1, Column::subject); // no message id: nothing to open
    EXPECT_EQ(desktop.openedURLs(), std::vector<std::string>{"message://%3Cinv%40acme.com%3E"});
    click(1, Column::route); // a new chat cannot be opened
    click(0, Column::route); // runs on while the window stays live
    clock.runUntilIdle();
    EXPECT_EQ(desktop.openedURLs(),
              (std::vector<std::string>{"message://%3Cinv%40acme.com%3E", "claude://claude.ai/chat/acme-thread"}));
    EXPECT_TRUE(ui.alerts.empty());

    QTest::mouseClick(named<QPushButton>(&tab, "Show Log File"), Qt::LeftButton);
    EXPECT_EQ(desktop.revealedFiles(), std::vector<std::filesystem::path>{log->url()});

    ui.choiceAnswers = {1, 0};
    QTest::mouseClick(clear, Qt::LeftButton); // Cancel
    EXPECT_EQ(log->entries().size(), 3u);
    QTest::mouseClick(clear, Qt::LeftButton); // Clear Log
    const testing::ScriptedShellUI::Choice confirmation{
        "Clear the activity log?",
        "This only removes the list in this app. Your emails and Claude chats are not touched.",
        {"Clear Log", "Cancel"}};
    EXPECT_EQ(ui.choices, (std::vector<testing::ScriptedShellUI::Choice>{confirmation, confirmation}));
    EXPECT_TRUE(log->entries().empty());
    EXPECT_FALSE(std::filesystem::exists(log->url()));
    EXPECT_TRUE(labelTexts(&tab).contains("0 of 0"));
    EXPECT_TRUE(labelTexts(&tab).contains("Nothing here yet.\nEmails you send to Claude are listed here."));
    EXPECT_FALSE(clear->isEnabled());
}

} // namespace
} // namespace pellora
