#include <memory>
#include <string>
#include <vector>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include "App/FakeCheckin.h"
#include "App/ScriptedShellUI.h"
#include "Pellora/Platform/Sim/MemoryPasteboard.h"
#include "Pellora/Platform/Sim/SimDesktop.h"
#include "Pellora/Settings/PrivacyChoice.h"
#include "Pellora/Settings/PrivacyChoiceView.h"
#include "Pellora/Settings/PrivacyTab.h"
#include "Pellora/Settings/PrivacyTabModel.h"
#include "Pellora/Settings/Spinner.h"
#include "Pellora/Shell/ActivityStore.h"
#include "Pellora/Shell/ConfigStore.h"

namespace pellora {
namespace {

using testing::FakeServer;
using testing::ScriptedShellUI;
using Choice = ScriptedShellUI::Choice;

const std::vector<std::string> sharedLines{
    "• A random device ID, and the dates you first and last used the app",
    "• The app version, your macOS version and your language",
    "• Your IP address, and the country and city it points to",
};
const std::vector<std::string> minimalLines{
    "• A random device ID, and the dates you first and last used the app",
    "• Nothing else about your device: no IP address, location, versions or language are stored",
};
const Choice eraseConfirmation{
    "Erase your data on the server?",
    "Everything the server stores about this installation is deleted, including its device ID. "
    "Tovrin then starts again with a new device ID.",
    {"Cancel", "Erase"}};

struct PrivacyTabTest : ::testing::Test {
    VirtualClock clock;
    ScriptedShellUI ui;
    FakeServer server{clock};
    testing::FakeInstaller installer;
    ConfigStore store;
    UpdateManager updates{store, services()};
    PrivacyTabModel model{store, updates, ui, clock};

    UpdateManager::Services services() {
        UpdateManager::Services services{clock, ui, installer, Bundle{"/Applications/Tovrin.app", "app.tovrin.Tovrin", "1.2.0"}};
        services.systemVersion = "14.5.0";
        services.send = server.sender();
        return services;
    }

    void storeChoice(AnalyticsChoice choice) {
        Config config = store.config();
        config.analyticsChoice = choice;
        store.setConfig(config);
    }
};

TEST_F(PrivacyTabTest, TheUpdateRowsFollowTheManager) {
    EXPECT_EQ(model.installedVersion(), "1.2.0");
    EXPECT_EQ(model.lastChecked("en_US", "UTC"), "Not yet");
    EXPECT_TRUE(model.canCheckNow());
    EXPECT_FALSE(model.showsSpinner());
    EXPECT_FALSE(model.showsStatusLine());

    server.replies = {FakeServer::after(3)};
    model.checkNow();
    EXPECT_FALSE(model.canCheckNow());
    EXPECT_TRUE(model.showsSpinner());
    clock.advanceBy(Clock::Duration(3));
    EXPECT_TRUE(model.canCheckNow());
    EXPECT_FALSE(model.showsSpinner());
    EXPECT_TRUE(model.showsStatusLine());
    EXPECT_EQ(model.statusLine(), "You're up to date (version 1.2.0).");
    EXPECT_EQ(model.lastChecked("en_US", "UTC"), "Jan 1, 2026, 12:00\u202FAM");
    EXPECT_EQ(model.lastChecked("de_DE", "Europe/Berlin"), "01.01.2026, 01:00");
    EXPECT_FALSE(model.showsPrivacyPolicy());
}

TEST_F(PrivacyTabTest, TheChoiceShownAndTheListFollowTheStoredChoice) {
    const struct {
        AnalyticsChoice stored;
        AnalyticsChoice shown;
        const std::vector<std::string>& lines;
    } cases[] = {
        {AnalyticsChoice::unset, AnalyticsChoice::notShared, minimalLines},
        {AnalyticsChoice::notShared, AnalyticsChoice::notShared, minimalLines},
        {AnalyticsChoice::shared, AnalyticsChoice::shared, sharedLines},
    };
    for (const auto& c : cases) {
        storeChoice(c.stored);
        EXPECT_EQ(model.shownChoice(), c.shown) << c.stored.rawValue();
        EXPECT_EQ(model.storedItems(), c.lines) << c.stored.rawValue();
    }
}

TEST_F(PrivacyTabTest, ChoosingStoresTheChoiceWithItsDateAndTellsTheServer) {
    model.choose(AnalyticsChoice::notShared); // already what an unset choice shows
    EXPECT_TRUE(server.requests.empty());
    EXPECT_EQ(store.config().analyticsChoice, AnalyticsChoice::unset);

    clock.advanceBy(Clock::Duration(60));
    model.choose(AnalyticsChoice::shared);
    EXPECT_EQ(store.config().analyticsChoice, AnalyticsChoice::shared);
    EXPECT_EQ(store.config().analyticsChoiceDate, 788918460.0);
    ASSERT_EQ(server.requests.size(), 1u);
    EXPECT_EQ(server.requests[0].event, CheckinRequest::Event::consentChange);
    EXPECT_TRUE(server.requests[0].analytics);

    model.choose(AnalyticsChoice::notShared);
    EXPECT_EQ(store.config().analyticsChoice, AnalyticsChoice::notShared);
    ASSERT_EQ(server.requests.size(), 2u);
    EXPECT_FALSE(server.requests[1].analytics);
    EXPECT_EQ(updates.status(), "");
}

TEST_F(PrivacyTabTest, OnlyTheEraseButtonOfTheConfirmationErases) {
    const struct {
        int answer;
        std::size_t requests;
        std::string status;
    } cases[] = {
        {-1, 0, ""},
        {0, 0, ""}, // Cancel
        {1, 1, "Your data was erased from the server."},
    };
    for (const auto& c : cases) {
        ui.choices.clear();
        ui.choiceAnswers = {c.answer};
        model.confirmErase();
        clock.runUntilIdle();
        EXPECT_EQ(ui.choices, std::vector<Choice>{eraseConfirmation});
        EXPECT_EQ(server.requests.size(), c.requests) << c.answer;
        EXPECT_EQ(updates.status(), c.status);
    }
    EXPECT_EQ(server.requests[0].action, "erase");
}

template <class Widget> Widget* withText(QWidget& parent, const QString& text) {
    for (auto* widget : parent.findChildren<Widget*>())
        if (widget->text() == text)
            return widget;
    return nullptr;
}

TEST_F(PrivacyTabTest, TheTabDrivesTheModelThroughItsWidgets) {
    MemoryPasteboard pasteboard;
    SimDesktop desktop{clock, pasteboard};
    ActivityStore activity;
    SettingsContext context{store, activity, updates, AppServices{desktop, desktop, desktop, desktop, pasteboard, clock}, ui};
    PrivacyTab tab(context);
    tab.resize(640, 900);
    tab.show();

    auto* check = withText<QPushButton>(tab, "Check for Updates Now");
    auto* share = withText<QRadioButton>(tab, "Share analytics");
    auto* dontShare = withText<QRadioButton>(tab, "Don't share analytics");
    auto* erase = withText<QPushButton>(tab, "Erase My Data on the Server…");
    auto* spinner = tab.findChild<Spinner*>();
    ASSERT_TRUE(check && share && dontShare && erase && spinner);
    for (QWidget* control : std::vector<QWidget*>{check, share, dontShare, erase, spinner})
        EXPECT_FALSE(control->accessibleName().isEmpty());
    EXPECT_TRUE(withText<QLabel>(tab, "Not yet"));
    EXPECT_TRUE(withText<QLabel>(tab, "1.2.0"));
    EXPECT_TRUE(dontShare->isChecked());
    EXPECT_TRUE(withText<QLabel>(tab, QString::fromStdString(minimalLines[1])));
    EXPECT_FALSE(withText<QLabel>(tab, "Privacy policy"));
    EXPECT_FALSE(spinner->isVisible());

    server.replies = {FakeServer::after(2)};
    QTest::mouseClick(check, Qt::LeftButton);
    EXPECT_FALSE(check->isEnabled());
    EXPECT_TRUE(spinner->isVisible());
    clock.advanceBy(Clock::Duration(2));
    EXPECT_TRUE(check->isEnabled());
    EXPECT_FALSE(spinner->isVisible());
    auto* status = withText<QLabel>(tab, "You're up to date (version 1.2.0).");
    ASSERT_TRUE(status);
    EXPECT_TRUE(status->isVisible());
    EXPECT_FALSE(withText<QLabel>(tab, "Not yet"));

    QTest::mouseClick(share, Qt::LeftButton, {}, QPoint(8, share->height() / 2));
    EXPECT_EQ(store.config().analyticsChoice, AnalyticsChoice::shared);
    EXPECT_TRUE(withText<QLabel>(tab, QString::fromStdString(sharedLines[2])));
    EXPECT_EQ(server.requests.back().event, CheckinRequest::Event::consentChange);

    ui.choices.clear(); // the manual check's alert
    ui.choiceAnswers = {0};
    QTest::mouseClick(erase, Qt::LeftButton);
    EXPECT_EQ(ui.choices, std::vector<Choice>{eraseConfirmation});
    EXPECT_EQ(server.requests.size(), 2u);
}

TEST(PrivacyChoiceView, EachWayOutGivesItsAnswer) {
    enum class Way { share, dontShare, escape, close };
    const std::pair<Way, AnalyticsChoice> cases[] = {
        {Way::share, AnalyticsChoice::shared},
        {Way::dontShare, AnalyticsChoice::notShared},
        {Way::escape, AnalyticsChoice::notShared},
        {Way::close, AnalyticsChoice::notShared},
    };
    for (const auto& [way, answer] : cases) {
        PrivacyChoiceView view;
        view.show();
        switch (way) {
        case Way::share: QTest::mouseClick(view.shareButton(), Qt::LeftButton); break;
        case Way::dontShare: QTest::mouseClick(view.dontShareButton(), Qt::LeftButton); break;
        case Way::escape: QTest::keyClick(&view, Qt::Key_Escape); break;
        case Way::close: view.close(); break;
        }
        EXPECT_FALSE(view.isVisible());
        EXPECT_EQ(view.answer(), answer) << int(way);
    }
}

TEST(PrivacyChoiceView, ATitleBarOnlyWindowOnTopWithItsTexts) {
    PrivacyChoiceView view;
    EXPECT_EQ(view.windowTitle(), "Tovrin");
    EXPECT_EQ(view.width(), 680);
    const auto flags = view.windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowTitleHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowCloseButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
    for (const char* text : {"Help improve Tovrin?", "Optionally, choose what else you're happy to share:",
                             "Used to understand how the app is used and to give support.", "Share analytics",
                             "Don't share analytics", "Your emails never leave your Mac"})
        EXPECT_TRUE(withText<QLabel>(view, QString::fromUtf8(text))) << text;
    EXPECT_TRUE(withText<QLabel>(view, QString::fromStdString(sharedLines[0])));
    EXPECT_TRUE(withText<QLabel>(view, QString::fromStdString(minimalLines[1])));
    EXPECT_FALSE(withText<QLabel>(view, "Read the privacy policy"));

    const std::pair<std::optional<int>, int> heights[] = {{std::nullopt, 740}, {1200, 740}, {800, 740}, {700, 640}, {500, 440}};
    for (const auto& [visible, height] : heights)
        EXPECT_EQ(PrivacyChoiceView::windowHeight(visible), height);
}

TEST(PrivacyChoice, AskRunsTheWindowModallyUntilAnAnswer) {
    const std::pair<bool, AnalyticsChoice> cases[] = {{true, AnalyticsChoice::shared}, {false, AnalyticsChoice::notShared}};
    for (const auto& [share, answer] : cases) {
        QTimer::singleShot(0, [share = share] {
            auto* view = qobject_cast<PrivacyChoiceView*>(QApplication::activeModalWidget());
            ASSERT_TRUE(view);
            if (share)
                QTest::mouseClick(view->shareButton(), Qt::LeftButton);
            else
                QTest::keyClick(view, Qt::Key_Escape);
        });
        EXPECT_EQ(PrivacyChoice::ask(), answer);
    }
}

} // namespace
} // namespace pellora
