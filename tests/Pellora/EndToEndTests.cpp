// The application as main.cpp composes it, on the simulated desktop with the sample mail, in
// virtual time: one press of ⌥⌘S moves the selected email into Claude.

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QThreadPool>
#include <gtest/gtest.h>

#include "App/Driving.h"
#include "App/ScriptedShellUI.h"
#include "App/StandInShell.h"
#include "App/VirtualTime.h"
#include "Files.h"
#include "Pellora/Claude/ClaudeSidebar.h"
#include "Pellora/Platform/Sim/MemoryPasteboard.h"
#include "Pellora/Platform/Sim/SimClaude.h"
#include "Pellora/Platform/Sim/SimClaudeWindow.h"
#include "Pellora/Platform/Sim/SimEnvironment.h"
#include "Pellora/Platform/Sim/SimMailWindow.h"
#include "Pellora/Platform/Sim/VirtualClock.h"
#include "Pellora/Platform/UserFolders.h"
#include "Pellora/Shell/AppDelegate.h"
#include "Pellora/Shell/ConfigStore.h"
#include "Pellora/Shell/RouteChooser.h"
#include "PelloraCore/ActivityFile.h"

namespace pellora {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono;
using pellora::testing::named;

// The samples that ship with the application, in the source tree.
const fs::path samples =
    fs::path(PELLORA_FIXTURES).parent_path().parent_path() / "Pellora" / "Resources" / "Samples";
const auto northwindChat = SimClaude::Place::chat("5f0c2a9e-1b7d-4c39-9a51-0d6e8b3f7a21");

const std::string expectedText =
    "Below is an email thread. Please give me: 1) a short summary, 2) the action items (who, what, and by when "
    "if stated), and 3) proposed next steps. Use earlier context from this conversation where it helps.\n"
    "\n"
    "Standing instructions for this client:\n"
    "Northwind Supplies is the contractor for the Harbour Street renovation. Check every invoice against their "
    "quote of 3 November and flag anything that differs.\n"
    "\n"
    "From: Mira Kowalczyk <mira.kowalczyk@northwind.example.com>\n"
    "To: sam.rivera@example.net\n"
    "Date: Tuesday, 1 December 2026 at 08:42:10\n" // sent at 09:42:10 +0100; the tests run in UTC
    "Subject: Invoice NW-2024-118 for the Harbour Street job\n"
    "\n"
    "Hi Sam,\n"
    "\n"
    "please find attached our invoice NW-2024-118 for the second phase of the\n"
    "Harbour Street job (kitchen wall, new wiring in the hallway, two days of\n"
    "scaffolding).\n"
    "\n"
    "The total is EUR 4,860.00 including VAT, due by 31 December. As agreed in\n"
    "our quote of 3 November, the extra socket in the pantry is not charged.\n"
    "\n"
    "If anything looks off, just reply to this email and I'll sort it out.\n"
    "\n"
    "Kind regards,\n"
    "Mira Kowalczyk\n"
    "Accounts, Northwind Supplies\n"
    "\n"
    "\n"
    "Attachments: 1-NW-2024-118.pdf";

// The route chooser answered by the real window.
class ChooserShellUI : public pellora::testing::ScriptedShellUI {
public:
    explicit ChooserShellUI(ClaudePlatform claude) : claude_(claude) {}
    ChooserResult askForRoute(const Router::RouteSuggestion& suggestion, const std::string& previewPrompt) override {
        chooserCalls.push_back({suggestion, previewPrompt});
        return RouteChooser::ask(suggestion, previewPrompt, [this] { return ClaudeSidebar::chatTitles(claude_); });
    }

private:
    ClaudePlatform claude_;
};

// The delegate on the sample desktop, launched, with the stand-ins of the status bar and
// the shortcuts.
struct EndToEnd : ::testing::Test {
    VirtualClock clock;
    MemoryPasteboard pasteboard;
    pellora::testing::RecordingStatusBar statusBar;
    pellora::testing::ScriptedHotKeys hotKeys;
    pellora::testing::NoInstaller installer;
    std::optional<SimEnvironment> desktop;
    std::optional<ChooserShellUI> ui;
    std::optional<AppDelegate> delegate;

    void start(std::optional<fs::path> transcript = std::nullopt) {
        desktop.emplace(clock, pasteboard, samples, std::move(transcript));
        ui.emplace(desktop->services().claude());
        delegate.emplace(desktop->services(), *ui, AppDelegate::Parts{statusBar, hotKeys, installer, std::nullopt});
        delegate->applicationDidFinishLaunching();
        pellora::testing::settle(clock);
    }
    void pressSummary() { // ⌥⌘S
        hotKeys.press(1);
        pellora::testing::settle(clock);
    }
    void TearDown() override {
        delegate.reset();
        QThreadPool::globalInstance()->waitForDone();
    }
    static std::vector<ActivityEntry> activity() {
        return ActivityFile::load(UserFolders::pelloraSupport() / "activity.jsonl");
    }
};

TEST_F(EndToEnd, AShortcutPressDeliversTheSelectedSampleIntoItsRoutedChat) {
    clock.setWallOrigin(sys_days{2026y / 12 / 2} + 8h);
    const fs::path config = UserFolders::pelloraSupport() / "config.json";
    ASSERT_TRUE(SimEnvironment::seedConfiguration(samples / "config.json", config));
    ASSERT_FALSE(SimEnvironment::seedConfiguration(samples / "config.json", config)); // never over one
    const fs::path transcript = UserFolders::library() / "Logs" / "SimClaude.log";
    start(transcript);
    EXPECT_EQ(delegate->store()->config().routes.size(), 3u);

    // Mail shows the samples newest first, the newest selected.
    ASSERT_EQ(desktop->mailWindow().messages().size(), 5u);
    EXPECT_EQ(desktop->mail().selection(), std::vector<fs::path>{samples / "Mail" / "01-northwind-invoice.eml"});

    pressSummary();

    EXPECT_TRUE(ui->alerts.empty() && ui->chooserCalls.empty());
    ASSERT_EQ(desktop->claude().sentMessages().size(), 1u);
    const auto& message = desktop->claude().sentMessages()[0];
    EXPECT_EQ(message.place, northwindChat);
    EXPECT_EQ(message.text, expectedText);
    ASSERT_EQ(message.files.size(), 1u); // the tiny logo is not saved
    EXPECT_EQ(message.files[0].filename(), "1-NW-2024-118.pdf");
    EXPECT_EQ(desktop->claudeWindow().placeTitle(), "Northwind invoices");

    const auto entries = activity();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].rule, "northwind.example.com");
    EXPECT_EQ(entries[0].actionName, "Summary & Next Steps");
    // Within the few virtual seconds a delivery takes.
    EXPECT_GE(entries[0].date, sys_days{2026y / 12 / 2} + 8h);
    EXPECT_LT(entries[0].date, sys_days{2026y / 12 / 2} + 8h + 10s);

    // What Claude received is written down, as private as the mail it came from.
    EXPECT_EQ(fs::status(transcript).permissions() & (fs::perms::group_all | fs::perms::others_all), fs::perms::none);
    const std::string text = pellora::testing::readFile(transcript);
    EXPECT_TRUE(text.starts_with("=== 2026-12-02T08:00:0")) << text.substr(0, 40);
    EXPECT_EQ(text.substr(std::min(text.size(), std::size_t(23))),
              "Z Claude received in chat(5f0c2a9e-1b7d-4c39-9a51-0d6e8b3f7a21)\n" + expectedText +
                  "\n[attachment] 1-NW-2024-118.pdf\n");
}

// With no routes yet, the real chooser window asks; the saved answer is stored and followed.
TEST_F(EndToEnd, TheChoiceSavedInTheChooserIsStoredAndFollowed) {
    start();
    // The newest sample, from Northwind to the user.
    pellora::testing::whenModal([](QWidget* window) {
        EXPECT_EQ(named<QLineEdit>(window, "Domain")->text(), "northwind.example.com");
        QTest::keyClick(named<QComboBox>(window, "Send it to"), Qt::Key_Home); // Existing chat
        QTest::keyClick(named<QComboBox>(window, "Chat"), Qt::Key_Down);
        QTest::mouseClick(named<QPushButton>(window, "Save"), Qt::LeftButton);
    });
    pressSummary();

    const Route saved{"northwind.example.com", MatchField::from, DestinationKind::chat, "Northwind invoices", {}, {}};
    EXPECT_EQ(Config::load(UserFolders::pelloraSupport() / "config.json").routes, std::vector<Route>{saved});
    const auto entries = activity();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(std::tuple(entries[0].rule, entries[0].destination), std::tuple("northwind.example.com", saved));
    EXPECT_TRUE(ui->alerts.empty());

    // The next email from there goes the same way without asking.
    pressSummary();
    EXPECT_EQ(ui->chooserCalls.size(), 1u);
    ASSERT_EQ(desktop->claude().sentMessages().size(), 2u);
    for (const auto& message : desktop->claude().sentMessages())
        EXPECT_EQ(message.place, northwindChat);
}

} // namespace
} // namespace pellora
