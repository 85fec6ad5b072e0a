#include <QAccessible>
#include <QScreen>
#include <QTest>

#include "Pellora/Settings/GeneralTab.h"
#include "Pellora/Settings/RoutesTab.h"
#include "Pellora/Settings/SettingsTabButton.h"
#include "Pellora/Settings/SettingsView.h"
#include "Pellora/Settings/SettingsWindowController.h"
#include "Pellora/Settings/SwitchButton.h"
#include "SettingsFixture.h"

namespace pellora {
namespace {

using testing::named;
using SettingsWindowTest = testing::SettingsFixture;

TEST_F(SettingsWindowTest, OpensOnRoutesAtMost700HighLeaving60OfTheScreenAndComesBackOnTheLastTab) {
    for (const auto& [available, height] : std::vector<std::pair<std::optional<int>, int>>{
             {600, 540}, {1000, 700}, {759, 699}, {std::nullopt, 700}})
        EXPECT_EQ(SettingsWindowController::contentHeight(available), height) << available.value_or(-1);
    SettingsWindowController controller(context);
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

    // Coming back to the window shows a config.json edited by hand meanwhile.
    auto* autoSend = named<SwitchButton>(view->tabContent(), "Send to Claude automatically");
    ASSERT_TRUE(autoSend && autoSend->isChecked());
    std::filesystem::create_directories(store.url().parent_path());
    std::ofstream(store.url()) << R"({"autoSend": false})";
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(view, &activate);
    EXPECT_FALSE(autoSend->isChecked());
}

TEST_F(SettingsWindowTest, TheTabBarIsACentredRowOfSelectablePageTabsInTheAccent) {
    const QPalette original = QApplication::palette();
    for (const auto& [window, accent] : {std::pair{QColor(236, 236, 236), qRgb(13, 71, 161)},
                                         std::pair{QColor(40, 40, 40), qRgb(66, 165, 245)}}) {
        QPalette palette = original;
        palette.setColor(QPalette::Window, window);
        QApplication::setPalette(palette);
        SettingsView view(context);
        const auto inked = [&](SettingsTabID tab) {
            const QImage image = view.tabButton(tab)->grab().toImage().convertToFormat(QImage::Format_RGB32);
            const auto* pixels = reinterpret_cast<const QRgb*>(image.constBits());
            const auto* end = pixels + image.width() * image.height();
            return std::find(pixels, end, accent) != end;
        };
        EXPECT_TRUE(inked(SettingsTabID::routes) && !inked(SettingsTabID::general)) << window.name().toStdString();
    }
    QApplication::setPalette(original);

    SettingsView view(context);
    view.resize(780, 540);
    view.show();
    std::vector<QRect> buttons;
    std::vector<std::pair<QString, std::string_view>> labels;
    for (SettingsTabID tab : SettingsTabID::allCases()) {
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(view.tabButton(tab));
        EXPECT_EQ(accessible->role(), QAccessible::PageTab);
        labels.emplace_back(accessible->text(QAccessible::Name), tab.symbol());
        buttons.push_back(view.tabButton(tab)->geometry());
    }
    EXPECT_EQ(labels, (std::vector<std::pair<QString, std::string_view>>{{"Routes", "arrow.triangle.branch"},
                                                                         {"Prompts", "text.bubble"},
                                                                         {"Activity", "clock.arrow.circlepath"},
                                                                         {"General", "gearshape"},
                                                                         {"Privacy", "lock.shield.fill"}}));
    // 5 × 118 + 4 × 6 = 614 wide, centred in 780, 14 below the top.
    EXPECT_EQ(buttons, (std::vector<QRect>{{83, 14, 118, 54}, {207, 14, 118, 54}, {331, 14, 118, 54},
                                           {455, 14, 118, 54}, {579, 14, 118, 54}}));

    // One tab is selected for assistive technology; the arrow keys and its press action move it.
    const auto selected = [&](SettingsTabID tab) {
        return bool(QAccessible::queryAccessibleInterface(view.tabButton(tab))->state().selected);
    };
    EXPECT_TRUE(selected(SettingsTabID::routes));
    QApplication::setActiveWindow(&view);
    view.tabButton(SettingsTabID::routes)->setFocus();
    QTest::keyClick(view.tabButton(SettingsTabID::routes), Qt::Key_Right);
    EXPECT_TRUE(selected(SettingsTabID::prompts) && !selected(SettingsTabID::routes));
    QAccessible::queryAccessibleInterface(view.tabButton(SettingsTabID::activity))
        ->actionInterface()
        ->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(view.selectedTab(), SettingsTabID::activity);
}

} // namespace
} // namespace pellora
