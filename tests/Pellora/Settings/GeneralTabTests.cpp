#include <QLocale>
#include <QPushButton>
#include <QSlider>
#include <QTest>

#include "Pellora/Settings/GeneralTab.h"
#include "Pellora/Settings/SwitchButton.h"
#include "SettingsFixture.h"

namespace pellora {
namespace {

using testing::named;
using GeneralTabTest = testing::SettingsFixture;

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
    for (const auto& [key, stored, shown] : {std::tuple{Qt::Key_Home, "0.4", "0.4s"}, std::tuple{Qt::Key_End, "3.0", "3.0s"},
                                             std::tuple{Qt::Key_Left, "2.9", "2.9s"}}) {
        QTest::keyClick(delay, key);
        EXPECT_NE(configText().find(std::string("\"openDelay\": ") + stored), std::string::npos) << configText();
        EXPECT_TRUE(labelTexts(&tab).contains(shown));
        EXPECT_EQ(delay->accessibleDescription(), shown);
    }

    // Granting in the system settings shows only after Recheck; nothing ever prompts. A
    // screen reader hears the status itself.
    desktop.setTrusted(true);
    EXPECT_TRUE(named<QLabel>(&tab, "Not allowed"));
    QTest::mouseClick(named<QPushButton>(&tab, "Recheck"), Qt::LeftButton);
    EXPECT_TRUE(named<QLabel>(&tab, "Allowed"));
    EXPECT_EQ(desktop.trustPrompts(), 0);
    QTest::mouseClick(named<QPushButton>(&tab, "Open Privacy Settings"), Qt::LeftButton);
    QTest::mouseClick(named<QPushButton>(&tab, "Donate on Revolut"), Qt::LeftButton);
    EXPECT_EQ(desktop.openedURLs(),
              (std::vector<std::string>{"x-apple.systempreferences:com.apple.preference.security?Privacy_Accessibility",
                                        "https://revolut.me/tovrin"}));

    // A change made elsewhere (the menu, a hand edit taken in) shows at once. A value off the
    // steps or outside the ends is shown as it is, on the nearest slider position, and left
    // alone until the slider moves.
    for (const auto& [stored, position, shown] : {std::tuple{1.25, 13, "1.2s"}, std::tuple{0.1, 4, "0.1s"},
                                                  std::tuple{12.0, 30, "12.0s"}}) {
        configure([&](Config& config) { config.autoSend = true, config.openDelay = stored; });
        EXPECT_TRUE(autoSend->isChecked());
        EXPECT_EQ(delay->value(), position);
        EXPECT_TRUE(labelTexts(&tab).contains(shown));
        EXPECT_EQ(configOnDisk().openDelay, stored);
    }
}

} // namespace
} // namespace pellora
