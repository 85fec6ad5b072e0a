#include <string>
#include <vector>

#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <gtest/gtest.h>

#include "App/Desk.h"
#include "App/Driving.h"
#include "App/FakeCheckin.h"
#include "App/ScriptedShellUI.h"
#include "Pellora/Settings/PrivacyChoice.h"
#include "Pellora/Settings/PrivacyChoiceView.h"
#include "Pellora/Settings/PrivacyTab.h"
#include "Pellora/Settings/Spinner.h"
#include "Pellora/Shell/ActivityStore.h"
#include "Pellora/Shell/ConfigStore.h"

namespace pellora {
namespace {

using Choice = testing::ScriptedShellUI::Choice;

const std::vector<std::string> sharedLines{"• A random device ID, and the dates you first and last used the app",
                                           "• The app version, your macOS version and your language",
                                           "• Your IP address, and the country and city it points to"};
const std::vector<std::string> minimalLines{
    "• A random device ID, and the dates you first and last used the app",
    "• Nothing else about your device: no IP address, location, versions or language are stored"};
const Choice eraseConfirmation{"Erase your data on the server?",
                               "Everything the server stores about this installation is deleted, including its "
                               "device ID. Tovrin then starts again with a new device ID.",
                               {"Cancel", "Erase"}};

// A label under `root` showing exactly `text`.
QLabel* label(const QWidget& root, const std::string& text) {
    for (auto* label : root.findChildren<QLabel*>())
        if (label->text() == QString::fromStdString(text))
            return label;
    return nullptr;
}

struct PrivacyTabTest : ::testing::Test, testing::Desk {
    testing::ScriptedShellUI ui;
    testing::FakeServer server{clock};
    testing::FakeInstaller installer;
    ConfigStore store;
    ActivityStore activity;
    UpdateManager updates{store, {clock, ui, installer, Bundle{"/A/Tovrin.app", "app.tovrin", "1.2.0"}, {}, "14.5.0", server.sender()}};
    PrivacyTabModel model{store, updates, ui, clock};
    SettingsContext context{store, activity, updates, services(), ui};

    void storeChoice(AnalyticsChoice choice) { testing::configure(store, [&](Config& config) { config.analyticsChoice = choice; }); }
};

TEST_F(PrivacyTabTest, UpdateRowsFollowTheManager) {
    EXPECT_EQ(model.installedVersion(), "1.2.0");
    EXPECT_EQ(model.lastChecked("en_US", "UTC"), "Not yet");
    EXPECT_FALSE(model.showsStatusLine() || model.showsPrivacyPolicy());
    model.checkNow();
    EXPECT_EQ(model.statusLine(), "You're up to date (version 1.2.0).");
    EXPECT_TRUE(model.showsStatusLine());
    EXPECT_EQ(model.lastChecked("en-US", "UTC"), "Jan 1, 2026, 12:00\u202FAM");
    EXPECT_EQ(model.lastChecked("de-DE", "Europe/Berlin"), "01.01.2026, 01:00");
}

TEST_F(PrivacyTabTest, TheStoredChoiceDecidesWhatShowsAndChoosingTellsTheServer) {
    const std::tuple<AnalyticsChoice, AnalyticsChoice, std::vector<std::string>> shown[] = {
        {AnalyticsChoice::unset, AnalyticsChoice::notShared, minimalLines},
        {AnalyticsChoice::notShared, AnalyticsChoice::notShared, minimalLines},
        {AnalyticsChoice::shared, AnalyticsChoice::shared, sharedLines}};
    for (const auto& [stored, choice, lines] : shown) {
        storeChoice(stored);
        EXPECT_EQ(model.shownChoice(), choice);
        EXPECT_EQ(model.storedItems(), lines);
    }
    storeChoice(AnalyticsChoice::unset);
    model.choose(AnalyticsChoice::notShared); // what an unset choice shows already
    EXPECT_EQ(store.config().analyticsChoice, AnalyticsChoice::unset);
    clock.advanceBy(Clock::Duration(60));
    model.choose(AnalyticsChoice::shared);
    model.choose(AnalyticsChoice::notShared);
    EXPECT_EQ(store.config().analyticsChoice, AnalyticsChoice::notShared);
    EXPECT_EQ(store.config().analyticsChoiceDate, 788918460.0);
    ASSERT_EQ(server.requests.size(), 2u);
    EXPECT_EQ(std::pair(server.requests[0].analytics, server.requests[1].analytics), std::pair(true, false));
    EXPECT_EQ(server.requests[1].event, CheckinRequest::Event::consentChange);
}

TEST_F(PrivacyTabTest, OnlyEraseInTheConfirmationErases) {
    for (const auto& [answer, requests] : {std::pair(-1, 0u), std::pair(0, 0u), std::pair(1, 1u)}) {
        ui.choices.clear();
        ui.choiceAnswers = {answer};
        model.confirmErase();
        EXPECT_EQ(ui.choices, std::vector<Choice>{eraseConfirmation});
        EXPECT_EQ(server.requests.size(), requests);
    }
    EXPECT_EQ(server.requests[0].action, "erase");
    EXPECT_EQ(updates.status(), "Your data was erased from the server.");
}

TEST_F(PrivacyTabTest, TheTabShowsTheModelAndItsControlsDriveIt) {
    PrivacyTab tab(context);
    tab.show();
    auto* check = testing::named<QPushButton>(&tab, "Check for Updates Now");
    auto* share = testing::named<QRadioButton>(&tab, "Share analytics");
    auto* spinner = tab.findChild<Spinner*>();
    ASSERT_TRUE(check && share && spinner);
    EXPECT_EQ(testing::tabStops(check), (std::vector<std::string>{"Check for Updates Now", "Share analytics",
                                                                  "Don't share analytics",
                                                                  "Erase My Data on the Server…"}));
    EXPECT_TRUE(testing::named<QRadioButton>(&tab, "Don't share analytics")->isChecked());
    for (const std::string text : {"Updates", "Installed version", "Last checked", "Not yet", "Privacy",
                                   "The app checks once a week and asks before it downloads anything. Updating "
                                   "restarts the app.",
                                   "What is stored on the server", minimalLines[1].c_str()})
        EXPECT_TRUE(label(tab, text)) << text;

    server.replies = {testing::FakeServer::after(2)};
    QTest::mouseClick(check, Qt::LeftButton);
    EXPECT_EQ(std::pair(check->isEnabled(), spinner->isVisible()), std::pair(false, true));
    clock.advanceBy(Clock::Duration(2));
    EXPECT_EQ(std::pair(check->isEnabled(), spinner->isVisible()), std::pair(true, false));
    EXPECT_TRUE(label(tab, "You're up to date (version 1.2.0).")->isVisible());
    EXPECT_FALSE(label(tab, "Not yet"));

    QTest::mouseClick(share, Qt::LeftButton, {}, QPoint(8, share->height() / 2));
    EXPECT_EQ(store.config().analyticsChoice, AnalyticsChoice::shared);
    EXPECT_TRUE(label(tab, sharedLines[2]));
    ui.choices.clear();
    QTest::mouseClick(testing::named<QPushButton>(&tab, "Erase My Data on the Server…"), Qt::LeftButton);
    EXPECT_EQ(ui.choices, std::vector<Choice>{eraseConfirmation});
    EXPECT_EQ(server.requests.size(), 2u); // the check and the consent change; erasing was cancelled
}

TEST(PrivacyChoiceView, ATitleBarOnlyWindowOnTopWhoseEveryWayOutAnswers) {
    enum Way { share, dontShare, escape, close };
    for (const auto& [way, answer] : {std::pair(share, AnalyticsChoice::shared), std::pair(dontShare, AnalyticsChoice::notShared),
                                      std::pair(escape, AnalyticsChoice::notShared), std::pair(close, AnalyticsChoice::notShared)}) {
        PrivacyChoiceView view;
        view.show();
        way == share ? QTest::mouseClick(view.shareButton(), Qt::LeftButton)
        : way == dontShare ? QTest::mouseClick(view.dontShareButton(), Qt::LeftButton)
        : way == escape ? QTest::keyClick(&view, Qt::Key_Escape) : void(view.close());
        EXPECT_FALSE(view.isVisible());
        EXPECT_EQ(view.answer(), answer) << way;
    }
    PrivacyChoiceView view;
    EXPECT_EQ(std::pair(view.windowTitle(), view.width()), std::pair(QStringLiteral("Tovrin"), 680));
    EXPECT_EQ(view.windowFlags() & (Qt::WindowStaysOnTopHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                                    Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint),
              Qt::WindowStaysOnTopHint | Qt::WindowTitleHint);
    for (const std::string text :
         {"Help improve Tovrin?", "Optionally, choose what else you're happy to share:",
          "Used to understand how the app is used and to give support.", "Share analytics", "Don't share analytics",
          "Your emails never leave your Mac",
          "Your emails, attachments and prompts are never sent to the developer or to any server of ours. They go "
          "straight from Mail into the Claude app on this Mac, and nowhere else. Once they are in Claude, Claude "
          "handles them under its own terms, exactly as if you had pasted them yourself.",
          sharedLines[2].c_str(), minimalLines[1].c_str()})
        EXPECT_TRUE(label(view, text)) << text;
    EXPECT_FALSE(label(view, "Read the privacy policy"));
    for (const auto& [visible, height] : {std::pair<std::optional<int>, int>{std::nullopt, 740}, {800, 740}, {700, 640}})
        EXPECT_EQ(PrivacyChoiceView::windowHeight(visible), height);

    // Asking runs the window modally until an answer.
    for (const bool share : {true, false}) {
        testing::whenModal([share](QWidget* modal) {
            auto* view = qobject_cast<PrivacyChoiceView*>(modal);
            share ? QTest::mouseClick(view->shareButton(), Qt::LeftButton) : QTest::keyClick(view, Qt::Key_Escape);
        });
        EXPECT_EQ(PrivacyChoice::ask(), share ? AnalyticsChoice::shared : AnalyticsChoice::notShared);
    }
}

} // namespace
} // namespace pellora
