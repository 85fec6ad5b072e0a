#include <QAccessible>
#include <QApplication>
#include <QPalette>
#include <QScreen>
#include <QTest>

#include "Pellora/Settings/GeneralTab.h"
#include "Pellora/Settings/RoutesTab.h"
#include "Pellora/Settings/SettingsTabButton.h"
#include "Pellora/Settings/SettingsView.h"
#include "Pellora/Settings/SettingsWindowController.h"
#include "Pellora/Settings/SwitchButton.h"
#include "Pellora/Shell/Brand.h"
#include "SettingsFixture.h"

namespace pellora {
namespace {

using SettingsWindowTest = testing::SettingsFixture;

TEST(SettingsWindow, HeightIsAtMost700AndLeaves60OfTheScreen) {
    struct Case {
        std::optional<int> available;
        int height;
    };
    for (const Case& c : {Case{600, 540}, Case{1000, 700}, Case{760, 700}, Case{759, 699}, Case{std::nullopt, 700}}) {
        SCOPED_TRACE(c.available.value_or(-1));
        EXPECT_EQ(SettingsWindowController::contentHeight(c.available), c.height);
    }
}

TEST(SettingsWindow, TabsHaveTheirTitlesAndSymbolsInBarOrder) {
    struct Row {
        std::string raw, title, symbol;
        bool operator==(const Row&) const = default;
    };
    std::vector<Row> rows;
    for (SettingsTabID tab : SettingsTabID::allCases())
        rows.push_back({std::string(tab.rawValue()), std::string(tab.title()), std::string(tab.symbol())});
    EXPECT_EQ(rows, (std::vector<Row>{{"routes", "Routes", "arrow.triangle.branch"},
                                      {"prompts", "Prompts", "text.bubble"},
                                      {"activity", "Activity", "clock.arrow.circlepath"},
                                      {"general", "General", "gearshape"},
                                      {"account", "Privacy", "lock.shield.fill"}}));
    EXPECT_EQ(SettingsTabID::fromRawValue("general"), SettingsTabID(SettingsTabID::general));
    EXPECT_EQ(SettingsTabID::fromRawValue("privacy"), std::nullopt);
}

TEST_F(SettingsWindowTest, OpensOnRoutesAndComesBackOnTheLastTab) {
    SettingsWindowController controller(context);
    EXPECT_EQ(controller.window(), nullptr);
    controller.show();
    QWidget* window = controller.window();
    ASSERT_TRUE(window);
    EXPECT_EQ(window->windowTitle(), "Tovrin Settings");
    const int available = QGuiApplication::primaryScreen()->availableGeometry().height();
    EXPECT_EQ(window->size(), QSize(780, std::min(700, available - 60)));
    EXPECT_EQ(window->minimumSize(), window->maximumSize());
    EXPECT_FALSE(window->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    EXPECT_TRUE(window->windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_EQ(ui.activations, 1);

    SettingsView* view = controller.view();
    EXPECT_EQ(view->selectedTab(), SettingsTabID::routes);
    EXPECT_TRUE(qobject_cast<RoutesTab*>(view->tabContent()));
    QTest::mouseClick(view->tabButton(SettingsTabID::general), Qt::LeftButton, {}, QPoint(3, 50));
    EXPECT_TRUE(qobject_cast<GeneralTab*>(view->tabContent()));

    // The platform's close-window keys close it as its close button does.
    QApplication::setActiveWindow(window);
    QTest::keyClick(window, Qt::Key_W, Qt::ControlModifier);
    EXPECT_FALSE(window->isVisible());
    controller.show();
    EXPECT_EQ(controller.window(), window);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(view->selectedTab(), SettingsTabID::general);
    EXPECT_EQ(ui.activations, 2);
}

TEST_F(SettingsWindowTest, TheTabBarIsACentredRowOfSelectableTabs) {
    SettingsView view(context);
    view.resize(780, 540);
    view.show();
    std::vector<int> lefts;
    for (SettingsTabID tab : SettingsTabID::allCases()) {
        auto* button = view.tabButton(tab);
        EXPECT_EQ(button->size(), QSize(118, 54));
        lefts.push_back(button->geometry().left());
        EXPECT_EQ(button->geometry().top(), 14);
    }
    // 5 × 118 + 4 × 6 = 614 wide, centred in 780.
    EXPECT_EQ(lefts, (std::vector<int>{83, 207, 331, 455, 579}));

    // Assistive technology sees page tabs, one of them selected; the keyboard moves along.
    const auto selected = [&](SettingsTabID tab) {
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(view.tabButton(tab));
        EXPECT_EQ(accessible->role(), QAccessible::PageTab);
        EXPECT_EQ(accessible->text(QAccessible::Name), QString::fromUtf8(tab.title().data()));
        return bool(accessible->state().selected);
    };
    EXPECT_TRUE(selected(SettingsTabID::routes));
    EXPECT_FALSE(selected(SettingsTabID::prompts));
    QApplication::setActiveWindow(&view);
    view.tabButton(SettingsTabID::routes)->setFocus();
    QTest::keyClick(view.tabButton(SettingsTabID::routes), Qt::Key_Right);
    EXPECT_EQ(view.selectedTab(), SettingsTabID::prompts);
    EXPECT_TRUE(selected(SettingsTabID::prompts));
    EXPECT_FALSE(selected(SettingsTabID::routes));
    QAccessible::queryAccessibleInterface(view.tabButton(SettingsTabID::activity))
        ->actionInterface()
        ->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(view.selectedTab(), SettingsTabID::activity);
}

TEST_F(SettingsWindowTest, TheSelectedTabIsDrawnInTheAccentOfTheAppearance) {
    const auto inks = [](QWidget* button) {
        std::set<QRgb> colours;
        const QImage image = button->grab().toImage();
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                colours.insert(image.pixel(x, y) & 0xFFFFFF);
        return colours;
    };
    const QPalette original = QApplication::palette();
    for (const auto& [window, accent] : {std::pair{QColor(236, 236, 236), QColor(13, 71, 161)},
                                         std::pair{QColor(40, 40, 40), QColor(66, 165, 245)}}) {
        SCOPED_TRACE(window.name().toStdString());
        QPalette palette = original;
        palette.setColor(QPalette::Window, window);
        QApplication::setPalette(palette);
        SettingsView view(context);
        view.resize(780, 540);
        EXPECT_TRUE(inks(view.tabButton(SettingsTabID::routes)).contains(accent.rgb() & 0xFFFFFF));
        EXPECT_FALSE(inks(view.tabButton(SettingsTabID::general)).contains(accent.rgb() & 0xFFFFFF));
    }
    QApplication::setPalette(original);
}

TEST_F(SettingsWindowTest, AConfigEditedByHandShowsWhenTheWindowIsActivatedAgain) {
    SettingsView view(context);
    view.selectTab(SettingsTabID::general);
    auto* autoSend = named<SwitchButton>(view.tabContent(), "Send to Claude automatically");
    ASSERT_TRUE(autoSend);
    EXPECT_TRUE(autoSend->isChecked());

    std::filesystem::create_directories(store.url().parent_path());
    std::ofstream(store.url()) << R"({"autoSend": false, "openDelay": 2.5})";
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(&view, &activate);
    EXPECT_FALSE(autoSend->isChecked());
    EXPECT_EQ(store.config().openDelay, 2.5);
}

} // namespace
} // namespace pellora
