// The sidebar reader against hand-built window trees: geometry, labels, the walk, pressing.

#include <gtest/gtest.h>

#include "ClaudeDesk.h"
#include "Pellora/Claude/ClaudeSidebar.h"

namespace pellora {
namespace {

using testing::ClaudeDesk;

// A Claude whose window tree the test builds element by element. The window sits at
// (100, 50), 1000 × 700; positions below are relative to its top left corner.
class TreeApp : public SimApplication {
public:
    std::shared_ptr<SimElement> root = SimElement::make("AXApplication");
    std::shared_ptr<SimElement> window = SimElement::make("AXWindow");
    std::vector<std::string> pressed;

    TreeApp() {
        window->setFrame(100, 50, 1000, 700);
        root->addChild(window);
        root->setAttribute("AXFocusedWindow", window->handle());
    }

    std::string bundleIdentifier() const override { return "com.anthropic.claudefordesktop"; }
    std::shared_ptr<SimElement> accessibilityRoot() override { return root; }

    // An element labelled by AXTitle, pressable unless told otherwise; presses are recorded
    // by `name` (the label when empty).
    std::shared_ptr<SimElement> add(std::string role, std::string title, double x, double y, double width = 200,
                                    double height = 30, std::shared_ptr<SimElement> parent = nullptr,
                                    bool pressable = true, std::string name = {}) {
        auto element = SimElement::make(std::move(role));
        if (!title.empty())
            element->setAttribute("AXTitle", title);
        element->setFrame(100 + x, 50 + y, width, height);
        if (pressable)
            element->setActionHandler("AXPress", [this, name = name.empty() ? title : name] {
                pressed.push_back(name);
                return true;
            });
        (parent ? parent : window)->addChild(element);
        return element;
    }
};

class ClaudeSidebarTest : public ::testing::Test {
protected:
    VirtualClock clock;
    MemoryPasteboard pasteboard;
    SimDesktop desktop{clock, pasteboard};
    std::shared_ptr<TreeApp> app = std::make_shared<TreeApp>();
    ClaudePlatform platform{desktop, desktop, desktop, pasteboard, clock};

    void SetUp() override {
        desktop.install(app);
        desktop.launch(app->bundleIdentifier());
    }

    std::vector<std::string> titles() { return ClaudeSidebar::chatTitles(platform); }
};

TEST_F(ClaudeSidebarTest, SidebarStripEndsAt340AndReachesLessThan380) {
    app->add("AXButton", "Left 339 right 379", 339, 100, 40, 30);
    app->add("AXButton", "Left 339 right 380", 339, 140, 41, 30);
    app->add("AXButton", "Left 340 right 360", 340, 180, 20, 30);
    app->add("AXButton", "Left 0 right 379", 0, 220, 379, 30);

    EXPECT_EQ(titles(), (std::vector<std::string>{"Left 339 right 379", "Left 0 right 379"}));
}

TEST_F(ClaudeSidebarTest, ClaudesOwnControlsAreNotChatsInAnyCase) {
    int y = 50;
    for (const char* label : {"SEARCH", "New Chat", "toggle sidebar", "Projects", "ReCeNtS", "Searching",
                              "Code review"})
        app->add("AXButton", label, 10, y += 40);

    EXPECT_EQ(titles(), (std::vector<std::string>{"Searching", "Code review"}));
}

TEST_F(ClaudeSidebarTest, TitlesOfTwoTo120Characters) {
    std::string accented120, accented121; // e + combining acute: one character, three bytes
    for (int i = 0; i < 120; ++i)
        accented120 += "e\u0301";
    accented121 = accented120 + "e\u0301";
    app->add("AXStaticText", "a", 10, 100);
    app->add("AXStaticText", "ab", 10, 140);
    app->add("AXStaticText", accented120, 10, 180);
    app->add("AXStaticText", accented121, 10, 220);

    EXPECT_EQ(titles(), (std::vector<std::string>{"ab", accented120}));
}

TEST_F(ClaudeSidebarTest, RowsBetween8And80PointsTallBelowTheTopMargin) {
    app->add("AXButton", "Height 8", 10, 100, 200, 8);
    app->add("AXButton", "Height 8.5", 10, 140, 200, 8.5);
    app->add("AXButton", "Height 79.5", 10, 180, 200, 79.5);
    app->add("AXButton", "Height 80", 10, 300, 200, 80);
    app->add("AXButton", "Top at 40", 10, 40);
    app->add("AXButton", "Top at 40.5", 10, 40.5);

    EXPECT_EQ(titles(), (std::vector<std::string>{"Top at 40.5", "Height 8.5", "Height 79.5"}));
}

TEST_F(ClaudeSidebarTest, OnlyRowRolesWithALabelAndAFrameCount) {
    app->add("AXGroup", "A group", 10, 100);
    app->add("AXTextArea", "A text area", 10, 140);
    double y = 180;
    for (const char* role : {"AXButton", "AXLink", "AXStaticText", "AXRow", "AXCell", "AXMenuItem"})
        app->add(role, role, 10, y += 40);
    app->add("AXButton", "", 10, 500); // no label
    auto frameless = app->add("AXButton", "No frame", 10, 540);
    frameless->removeAttribute("AXSize");

    EXPECT_EQ(titles(),
              (std::vector<std::string>{"AXButton", "AXLink", "AXStaticText", "AXRow", "AXCell", "AXMenuItem"}));
}

TEST_F(ClaudeSidebarTest, ATitleTwiceIsListedOnceAndTheUpperOneOpens) {
    app->add("AXButton", "Budget", 10, 200, 200, 30, nullptr, true, "lower");
    app->add("AXButton", "Budget", 10, 100, 200, 30, nullptr, true, "upper");

    EXPECT_EQ(titles(), std::vector<std::string>{"Budget"});
    EXPECT_TRUE(ClaudeSidebar::open(platform, "Budget"));
    EXPECT_EQ(app->pressed, std::vector<std::string>{"upper"});
}

TEST_F(ClaudeSidebarTest, OpenMatchesTheTitleExactly) {
    app->add("AXButton", "Budget", 10, 100);

    EXPECT_FALSE(ClaudeSidebar::open(platform, "budget"));
    EXPECT_FALSE(ClaudeSidebar::open(platform, " Budget"));
    EXPECT_FALSE(ClaudeSidebar::open(platform, "Search"));
    EXPECT_TRUE(app->pressed.empty());
}

TEST_F(ClaudeSidebarTest, TheWalkStopsBelowDepth29) {
    // Window at depth 0; groups at depths 1 to 28; rows at 29 (seen) and 30 (not).
    auto parent = app->window;
    for (int depth = 1; depth <= 28; ++depth)
        parent = app->add("AXGroup", "", 0, 0, 1000, 700, parent, false);
    auto deepest = app->add("AXButton", "Depth 29", 10, 100, 200, 30, parent);
    app->add("AXButton", "Depth 30", 10, 140, 200, 30, deepest);

    EXPECT_EQ(titles(), std::vector<std::string>{"Depth 29"});
}

TEST_F(ClaudeSidebarTest, ItemsSortByTopEdgeKeepingTheWalkOrderOnTies) {
    auto group = app->add("AXGroup", "", 0, 0, 300, 700, nullptr, false);
    app->add("AXButton", "Third", 10, 300, 200, 30, group);
    app->add("AXButton", "Beta", 10, 100, 200, 30, group);
    app->add("AXButton", "Alpha", 10, 100, 200, 30, group);
    app->add("AXButton", "First", 10, 60);

    auto running = ClaudeSidebar::runningApp(platform);
    ASSERT_TRUE(running);
    auto items = ClaudeSidebar::collect(desktop, *running, ClaudeSidebar::Scope::sidebarOnly);
    std::vector<std::string> order;
    for (const auto& item : items)
        order.push_back(item.title);
    EXPECT_EQ(order, (std::vector<std::string>{"First", "Beta", "Alpha", "Third"}));
    EXPECT_EQ(items[1].rect, (ClaudeSidebar::Rect{110, 150, 200, 30}));
    EXPECT_EQ(items[1].window, (ClaudeSidebar::Rect{100, 50, 1000, 700}));
    EXPECT_EQ(items[1].path, (std::vector<Accessibility::Element>{app->window->handle(), group->handle()}));
}

TEST_F(ClaudeSidebarTest, WholeWindowScopeHasNoPositionTest) {
    app->add("AXButton", "Sidebar row", 10, 100);
    app->add("AXButton", "Project card", 500, 100);

    auto items = ClaudeSidebar::collect(desktop, *ClaudeSidebar::runningApp(platform), ClaudeSidebar::Scope::wholeWindow);
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[1].title, "Project card");
}

TEST_F(ClaudeSidebarTest, LabelPrefersTitleThenValueThenDescriptionAndTrims) {
    auto element = SimElement::make("AXButton");
    element->setAttribute("AXDescription", std::string("Description"));
    EXPECT_EQ(ClaudeSidebar::label(desktop, element->handle()), "Description");
    element->setAttribute("AXValue", std::string("\n Line one\nLine two \u00A0"));
    EXPECT_EQ(ClaudeSidebar::label(desktop, element->handle()), "Line one\nLine two");
    element->setAttribute("AXTitle", std::string(" \t "));
    EXPECT_EQ(ClaudeSidebar::label(desktop, element->handle()), "Line one\nLine two");
    element->setAttribute("AXTitle", true);
    EXPECT_EQ(ClaudeSidebar::label(desktop, element->handle()), "Line one\nLine two");
    element->setAttribute("AXTitle", std::string("Title"));
    EXPECT_EQ(ClaudeSidebar::label(desktop, element->handle()), "Title");

    EXPECT_EQ(ClaudeSidebar::label(desktop, SimElement::make("AXButton")->handle()), std::nullopt);
}

TEST_F(ClaudeSidebarTest, WindowIsTheFocusedOneElseTheFirstAndNeedsAFrame) {
    app->add("AXButton", "In the window", 10, 100);
    app->root->removeAttribute("AXFocusedWindow");
    EXPECT_TRUE(titles().empty());

    auto other = SimElement::make("AXWindow");
    app->root->setAttribute("AXWindows", std::vector<Accessibility::Element>{app->window->handle(), other->handle()});
    EXPECT_EQ(titles(), std::vector<std::string>{"In the window"});

    app->window->removeAttribute("AXPosition");
    EXPECT_TRUE(titles().empty());
}

TEST_F(ClaudeSidebarTest, AsksClaudeForItsFullTree) {
    titles();
    EXPECT_EQ(app->root->attribute("AXManualAccessibility"), std::optional<Accessibility::Value>(true));
}

TEST_F(ClaudeSidebarTest, PressFallsBackToAtMostThreeAncestorsNearestFirst) {
    // button > group > group > text: the button is the third ancestor of the text.
    auto button = app->add("AXButton", "", 10, 100, 200, 30, nullptr, true, "button");
    auto g1 = app->add("AXGroup", "", 10, 100, 200, 30, button, false);
    auto g2 = app->add("AXGroup", "", 10, 100, 200, 30, g1, false);
    app->add("AXStaticText", "Three up", 10, 100, 200, 30, g2, false);
    // button > four groups > text: out of reach.
    auto far = app->add("AXButton", "", 10, 200, 200, 30, nullptr, true, "far button");
    auto parent = far;
    for (int i = 0; i < 3; ++i)
        parent = app->add("AXGroup", "", 10, 200, 200, 30, parent, false);
    app->add("AXStaticText", "Four up", 10, 200, 200, 30, parent, false);

    EXPECT_TRUE(ClaudeSidebar::open(platform, "Three up"));
    EXPECT_FALSE(ClaudeSidebar::open(platform, "Four up"));
    EXPECT_EQ(app->pressed, std::vector<std::string>{"button"});
}

TEST_F(ClaudeSidebarTest, FocusedInputLength) {
    auto focus = [&](std::shared_ptr<SimElement> element) {
        app->root->setAttribute("AXFocusedUIElement", element->handle());
        return ClaudeSidebar::focusedInputLength(platform);
    };
    EXPECT_EQ(ClaudeSidebar::focusedInputLength(platform), std::nullopt); // nothing focused

    auto box = SimElement::make("AXTextArea");
    box->setAttribute("AXValue", std::string("h\u00E9llo w\u00F6rld!")); // 12 characters, 14 bytes
    EXPECT_EQ(focus(box), 12);
    box->setAttribute("AXValue", true);
    EXPECT_EQ(focus(box), 0);
    box->removeAttribute("AXValue");
    EXPECT_EQ(focus(box), 0);

    auto field = SimElement::make("AXComboBox");
    field->setAttribute("AXValue", std::string(""));
    EXPECT_EQ(focus(field), 0);
    auto button = SimElement::make("AXButton");
    button->setAttribute("AXValue", std::string("Send"));
    EXPECT_EQ(focus(button), std::nullopt);
}

TEST_F(ClaudeSidebarTest, NothingWhenNotTrustedOrNotRunning) {
    app->add("AXButton", "Budget", 10, 100);
    auto box = SimElement::make("AXTextField");
    app->root->setAttribute("AXFocusedUIElement", box->handle());

    desktop.setTrusted(false);
    EXPECT_TRUE(titles().empty());
    EXPECT_EQ(desktop.trustPrompts(), 0);

    desktop.setTrusted(true);
    desktop.quit(app->bundleIdentifier());
    EXPECT_TRUE(titles().empty());
    EXPECT_FALSE(ClaudeSidebar::open(platform, "Budget"));
    EXPECT_FALSE(testing::runInVirtualTime(clock, ClaudeSidebar::openProject(platform, "Budget")));
    EXPECT_EQ(ClaudeSidebar::focusedInputLength(platform), std::nullopt);
}

// Against SimClaude: the project list shows after "Projects" is pressed; the reader pauses
// 700 ms before reading it.
TEST(ClaudeSidebarProjects, OpensAProjectCardAfterThePause) {
    ClaudeDesk desk;
    desk.claude->addProject("Acme Corp", "Client work", "p-1");
    desk.startClaude();

    EXPECT_SECONDS(desk.run(ClaudeSidebar::openProject(desk.platform, "ACME CORP")), 0.7);
    EXPECT_EQ(desk.claude->place(), SimClaude::Place::newChatInProject("p-1"));

    desk.claude->knobs.projectListDelay = Clock::Duration(0.8); // slower than the pause
    EXPECT_FALSE(testing::runInVirtualTime(desk.clock, ClaudeSidebar::openProject(desk.platform, "Acme Corp")));
}

} // namespace
} // namespace pellora
