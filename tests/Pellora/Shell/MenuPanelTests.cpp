#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QTest>
#include <gtest/gtest.h>

#include "App/Desk.h"
#include "App/Driving.h"
#include "Pellora/Platform/Bundle.h"
#include "Pellora/Shell/ConfigStore.h"
#include "Pellora/Shell/MenuBarIcon.h"
#include "Pellora/Shell/MenuPanel.h"
#include "Pellora/Shell/MenuPanelButton.h"
#include "Pellora/Shell/MenuPanelModel.h"
#include "Pellora/Shell/MenuPanelRow.h"
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

    void configure(const std::function<void(Config&)>& change) { testing::configure(store, change); }
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

TEST(MenuPanelPlacement, BelowTheIconAndOnTheScreen) {
    struct Case {
        const char* name;
        QRect anchor;
        QPoint position;
    };
    const std::vector<Case> cases{
        {"centred below the icon", QRect(600, 0, 24, 24), QPoint(462, 28)},
        {"kept inside the right edge", QRect(1250, 0, 24, 24), QPoint(980, 28)},
        {"kept inside the left edge", QRect(4, 0, 24, 24), QPoint(0, 28)},
        {"above an icon at the bottom", QRect(1200, 776, 24, 24), QPoint(980, 512)},
        {"no position from the tray", QRect(), QPoint(972, 4)},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        EXPECT_EQ(MenuPanel::placement(test.anchor, QRect(0, 0, 1280, 800), QSize(300, 260)), test.position);
    }
}

// The real widget, offscreen: rows follow the model, clicks and Return reach the callbacks,
// and every control can be reached and named.
TEST_F(MenuPanelRules, TheWidgetDrawsTheModelAndPassesChoicesOn) {
    MenuPanel panel(model);
    panel.popUp(QRect());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&panel));
    EXPECT_EQ(panel.width(), 300);

    auto rows = [&] {
        std::vector<MenuPanelRow*> visible;
        for (auto* row : panel.findChildren<MenuPanelRow*>())
            if (row->isVisible())
                visible.push_back(row);
        return visible;
    };
    const auto footer = panel.findChildren<MenuPanelButton*>();
    ASSERT_EQ(rows().size(), 4u);
    EXPECT_EQ(rows()[1]->accessibleDescription(), "⌥⌘S");
    QTest::mouseClick(rows()[1], Qt::LeftButton);
    QTest::keyClick(rows()[0], Qt::Key_Return);
    for (auto* button : footer)
        QTest::mouseClick(button, Qt::LeftButton);
    QTest::keyClick(footer[1], Qt::Key_Return);
    EXPECT_EQ(calls, (std::vector<std::string>{"send summary", "send reply", "updates", "settings", "support", "quit",
                                               "settings"}));

    // A new action shows without reopening the panel.
    configure([](Config& c) {
        c.setName("Translate", Action::custom1);
        c.setInstruction("Translate this.", Action::custom1);
    });
    EXPECT_EQ(pellora::testing::tabStops(rows()[0]),
              (std::vector<std::string>{"Draft a Reply", "Summary & Next Steps", "Deep Dive & Research", "Translate",
                                        "Paste Only", "Check for Updates", "Settings", "Support the App",
                                        "Quit Tovrin"}));

    // While sending: "Sending…" with progress.
    state.setBusy(true);
    EXPECT_TRUE(panel.findChild<QProgressBar*>()->isVisible());
    bool sendingShown = false;
    for (auto* label : panel.findChildren<QLabel*>())
        sendingShown = sendingShown || (label->isVisible() && label->text() == "Sending…");
    EXPECT_TRUE(sendingShown);
    state.setBusy(false);
    EXPECT_FALSE(panel.findChild<QProgressBar*>()->isVisible());

    // Secondary text follows a change of appearance: 60 % of the new text colour.
    const QPalette before = QApplication::palette();
    QPalette dark = before;
    dark.setColor(QPalette::Window, QColor(40, 40, 40));
    dark.setColor(QPalette::WindowText, QColor(230, 230, 230));
    QApplication::setPalette(dark);
    QApplication::processEvents();
    for (auto* label : panel.findChildren<QLabel*>())
        if (label->text() == "Send to Claude")
            EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(230, 230, 230, 153));
    QApplication::setPalette(before);

    QTest::keyClick(&panel, Qt::Key_Escape);
    EXPECT_FALSE(panel.isVisible());
}

TEST(MenuBarIcon, TheBundlesTemplateImageInTheTextColourElseTheSymbol) {
    const auto app = pellora::testing::testHome() / "Tovrin.app";
    std::filesystem::create_directories(app / "Contents" / "Resources");
    const Bundle bundle{app, "app.tovrin.Tovrin", "1.4.2"};
    const QString png = QString::fromStdString((bundle.resources() / "MenuBarIcon.png").string());

    EXPECT_FALSE(MenuBarIcon::load(bundle).isTemplate()); // no resource yet
    std::ofstream(png.toStdString()) << "not a picture";
    EXPECT_FALSE(MenuBarIcon::load(bundle).isTemplate());

    // A shape: an opaque black square in the middle, the rest transparent.
    QImage shape(20, 20, QImage::Format_ARGB32);
    shape.fill(Qt::transparent);
    for (int y = 5; y < 15; ++y)
        for (int x = 5; x < 15; ++x)
            shape.setPixelColor(x, y, Qt::black);
    ASSERT_TRUE(shape.save(png, "PNG"));

    const MenuBarIcon icon = MenuBarIcon::load(bundle);
    EXPECT_TRUE(icon.isTemplate());
    const QImage busy = icon.pixmap(QColor(200, 10, 10), 0.45).toImage().convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(busy.size(), QSize(20, 20));
    // 45 % of opaque, in the colour (within the rounding of premultiplied alpha).
    const QColor inside = busy.pixelColor(10, 10);
    EXPECT_NEAR(inside.alpha(), 115, 1);
    EXPECT_NEAR(inside.red(), 200, 2);
    EXPECT_NEAR(inside.green(), 10, 2);
    EXPECT_EQ(busy.pixelColor(1, 1).alpha(), 0);
    const QPixmap sharp = icon.pixmap(QColor(255, 255, 255), 1.0, 2.0);
    EXPECT_EQ(sharp.size(), QSize(40, 40)); // no @2x file: the 1x shape scaled
    EXPECT_EQ(sharp.toImage().pixelColor(20, 20), QColor(255, 255, 255));

    const MenuBarIcon fallback = MenuBarIcon::load(std::nullopt);
    EXPECT_FALSE(fallback.isTemplate());
    EXPECT_EQ(fallback.accessibilityDescription(), "Tovrin");
    const QImage drawn = fallback.pixmap(QColor(0, 0, 255), 1.0).toImage();
    int inked = 0, otherColour = 0;
    for (int y = 0; y < drawn.height(); ++y)
        for (int x = 0; x < drawn.width(); ++x)
            if (drawn.pixelColor(x, y).alpha() > 200) {
                ++inked;
                otherColour += drawn.pixelColor(x, y).rgb() != QColor(0, 0, 255).rgb();
            }
    EXPECT_GT(inked, 20);
    EXPECT_EQ(otherColour, 0);
}

} // namespace
} // namespace pellora
