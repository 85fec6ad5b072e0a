#include <QLocale>
#include <QPushButton>
#include <QSlider>
#include <QTest>

#include "Pellora/Settings/GeneralTab.h"
#include "Pellora/Settings/SwitchButton.h"
#include "SettingsFixture.h"

namespace pellora {
namespace {

using GeneralTabTest = testing::SettingsFixture;

TEST_F(GeneralTabTest, TheDelayShowsTheStoredValueAndStoresWholeSteps) {
    struct Shown {
        double stored;
        int tenths;
        std::string text;
    };
    // A hand-edited value off the steps or outside the ends is shown as it is, on the nearest
    // slider position, and left alone until the slider moves.
    for (const Shown& c : {Shown{1.0, 10, "1.0s"}, Shown{0.4, 4, "0.4s"}, Shown{3.0, 30, "3.0s"},
                           Shown{1.25, 13, "1.2s"}, Shown{0.1, 4, "0.1s"}, Shown{12.0, 30, "12.0s"}}) {
        SCOPED_TRACE(c.stored);
        Config config;
        config.openDelay = c.stored;
        store.setConfig(config);
        GeneralTabModel model(store, desktop, desktop);
        EXPECT_EQ(model.delayTenths(), c.tenths);
        EXPECT_EQ(model.delayText(), c.text);
        EXPECT_EQ(configOnDisk().openDelay, c.stored);
    }

    struct Moved {
        int tenths;
        std::string onDisk;
        std::string text;
    };
    GeneralTabModel model(store, desktop, desktop);
    for (const Moved& c : {Moved{4, "\"openDelay\": 0.4", "0.4s"}, Moved{30, "\"openDelay\": 3.0", "3.0s"},
                           Moved{13, "\"openDelay\": 1.3", "1.3s"}, Moved{31, "\"openDelay\": 3.0", "3.0s"}}) {
        SCOPED_TRACE(c.tenths);
        model.setDelayTenths(c.tenths);
        EXPECT_NE(configText().find(c.onDisk), std::string::npos) << configText();
        EXPECT_EQ(model.delayText(), c.text);
    }
}

TEST_F(GeneralTabTest, SwitchesAndTheAccessibilityRowGoThroughTheStoreAndTheDesktop) {
    desktop.setTrusted(false);
    GeneralTabModel model(store, desktop, desktop);
    EXPECT_EQ(model.statusText(), "Not allowed");
    EXPECT_EQ(model.statusSymbol(), "exclamationmark.triangle.fill");

    // Granting in the system settings shows only after Recheck; nothing ever prompts.
    desktop.setTrusted(true);
    EXPECT_EQ(model.statusText(), "Not allowed");
    model.recheck();
    EXPECT_EQ(model.statusText(), "Allowed");
    EXPECT_EQ(model.statusSymbol(), "checkmark.circle.fill");
    EXPECT_EQ(desktop.trustPrompts(), 0);

    model.setAutoSend(false);
    EXPECT_FALSE(configOnDisk().autoSend);
    model.setKeepActivityLog(false);
    EXPECT_FALSE(configOnDisk().keepActivityLog);
    EXPECT_FALSE(configOnDisk().autoSend);
    model.setAutoSend(true);
    EXPECT_TRUE(configOnDisk().autoSend);

    model.openPrivacySettings();
    EXPECT_EQ(desktop.openedURLs(), std::vector<std::string>{
                                        "x-apple.systempreferences:com.apple.preference.security?Privacy_Accessibility"});
}

TEST_F(GeneralTabTest, TheTabShowsEveryTextAndEveryControlSaves) {
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany)); // a decimal comma locale
    desktop.setTrusted(false);
    GeneralTab tab(context);
    tab.resize(780, 640);
    tab.show();
    QLocale::setDefault(QLocale::c());

    EXPECT_EQ(labelTexts(&tab),
              (QStringList{"For actions that add a prompt, the message is submitted right after pasting. Actions set "
                           "to paste the email only never submit.",
                           "Records the date, subject, sender, route and prompt of each email on this Mac only. See "
                           "the Activity tab.",
                           "Speed", "Wait for Claude to load a chat", "1.0s",
                           "A shorter wait is faster but can paste before the chat has finished opening. New chats "
                           "ignore this.",
                           "Permissions", "Accessibility", "Not allowed",
                           "Accessibility lets Tovrin read Claude's chat list and paste into it.", "Support the app",
                           "If you like the app: it's free for now, but to keep it free I'd appreciate your donation. "
                           "Thank you very much!",
                           "Follow this link to send me money on Revolut:",
                           "The link opens in your browser. The app sends nothing to Revolut."}));

    auto* autoSend = named<SwitchButton>(&tab, "Send to Claude automatically");
    auto* keepLog = named<SwitchButton>(&tab, "Keep an activity log");
    auto* delay = named<QSlider>(&tab, "Wait for Claude to load a chat");
    ASSERT_TRUE(autoSend && keepLog && delay);
    EXPECT_TRUE(autoSend->isChecked());
    EXPECT_EQ(delay->width(), 160);

    QTest::mouseClick(autoSend, Qt::LeftButton);
    EXPECT_FALSE(configOnDisk().autoSend);
    QTest::keyClick(keepLog, Qt::Key_Space);
    EXPECT_FALSE(configOnDisk().keepActivityLog);
    QTest::keyClick(delay, Qt::Key_Home);
    EXPECT_EQ(configOnDisk().openDelay, 0.4);
    EXPECT_TRUE(labelTexts(&tab).contains("0.4s"));
    QTest::keyClick(delay, Qt::Key_End);
    EXPECT_EQ(configOnDisk().openDelay, 3.0);
    EXPECT_TRUE(labelTexts(&tab).contains("3.0s"));

    // A screen reader hears the status itself, not only the row's name.
    desktop.setTrusted(true);
    EXPECT_TRUE(named<QLabel>(&tab, "Not allowed"));
    QTest::mouseClick(named<QPushButton>(&tab, "Recheck"), Qt::LeftButton);
    EXPECT_TRUE(named<QLabel>(&tab, "Allowed"));
    QTest::mouseClick(named<QPushButton>(&tab, "Open Privacy Settings"), Qt::LeftButton);
    QTest::mouseClick(named<QPushButton>(&tab, "Donate on Revolut"), Qt::LeftButton);
    EXPECT_EQ(desktop.openedURLs(),
              (std::vector<std::string>{"x-apple.systempreferences:com.apple.preference.security?Privacy_Accessibility",
                                        "https://revolut.me/tovrin"}));

    // A change made elsewhere (the menu, a hand edit taken in) shows at once.
    Config config = store.config();
    config.autoSend = true;
    config.openDelay = 2.2;
    store.setConfig(config);
    EXPECT_TRUE(autoSend->isChecked());
    EXPECT_EQ(delay->value(), 22);
    EXPECT_TRUE(labelTexts(&tab).contains("2.2s"));
}

} // namespace
} // namespace pellora
