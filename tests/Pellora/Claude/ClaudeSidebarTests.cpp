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

// Claude replaced by a TreeApp, running.
class ClaudeSidebarTest : public testing::ClaudeDeskTest {
protected:
    std::shared_ptr<TreeApp> app = std::make_shared<TreeApp>();

    void SetUp() override {
        desktop.install(app);
        desktop.launch(app->bundleIdentifier());
    }

    std::vector<std::string> titles() { return ClaudeSidebar::chatTitles(platform); }
};

TEST_F(ClaudeSidebarTest, ChatRowsByRoleLabelPlaceHeightAndTitle) {
    std::string accented120; // e + combining acute: one character, three bytes
    for (int i = 0; i < 120; ++i)
        accented120 += "e\u0301";
    const struct {
        const char* role;
        std::string title;
        double x, y, width, height;
        bool chat;
    } rows[] = {
        {"AXButton", "Top at 40", 10, 40, 200, 30, false},
        {"AXButton", "Top at 40.5", 10, 40.5, 200, 30, true},
        // The sidebar strip: starts left of 340, ends left of 380.
        {"AXButton", "Left 339 right 379", 339, 60, 40, 30, true},
        {"AXButton", "Left 339 right 380", 339, 70, 41, 30, false},
        {"AXButton", "Left 340 right 360", 340, 80, 20, 30, false},
        {"AXButton", "Left 0 right 379", 0, 90, 379, 30, true},
        {"AXButton", "Height 8", 10, 100, 200, 8, false},
        {"AXButton", "Height 80", 10, 130, 200, 80, false},
        // Claude's own controls, in any case; a label that merely starts like one is a chat.
        {"AXButton", "SEARCH", 10, 140, 200, 30, false},
        {"AXButton", "New Chat", 10, 150, 200, 30, false},
        {"AXButton", "ReCeNtS", 10, 170, 200, 30, false},
        {"AXButton", "Code review", 10, 190, 200, 30, true},
        {"AXStaticText", "a", 10, 200, 200, 30, false},
        {"AXStaticText", "ab", 10, 210, 200, 30, true},
        {"AXStaticText", accented120, 10, 220, 200, 30, true},
        {"AXStaticText", accented120 + "e\u0301", 10, 230, 200, 30, false},
        {"AXGroup", "A group", 10, 240, 200, 30, false},
        {"AXTextArea", "A text area", 10, 250, 200, 30, false},
        {"AXLink", "AXLink", 10, 260, 200, 30, true},
        {"AXRow", "AXRow", 10, 270, 200, 30, true},
        {"AXCell", "AXCell", 10, 280, 200, 30, true},
        {"AXMenuItem", "AXMenuItem", 10, 290, 200, 30, true},
        {"AXButton", "", 10, 300, 200, 30, false},
    };
    std::vector<std::string> chats;
    for (const auto& row : rows) {
        app->add(row.role, row.title, row.x, row.y, row.width, row.height);
        if (row.chat)
            chats.push_back(row.title);
    }
    app->add("AXButton", "No frame", 10, 310)->removeAttribute("AXSize");

    EXPECT_EQ(titles(), chats);
}

TEST_F(ClaudeSidebarTest, ATitleTwiceIsListedOnceAndOnlyTheExactTitleOpensTheUpperOne) {
    app->add("AXButton", "Budget", 10, 200, 200, 30, nullptr, true, "lower");
    app->add("AXButton", "Budget", 10, 100, 200, 30, nullptr, true, "upper");
    app->add("AXButton", "Search", 10, 300);

    EXPECT_EQ(titles(), std::vector<std::string>{"Budget"});
    for (const char* title : {"budget", " Budget", "Search"})
        EXPECT_FALSE(ClaudeSidebar::open(platform, title)) << title;
    EXPECT_TRUE(app->pressed.empty());
    EXPECT_TRUE(ClaudeSidebar::open(platform, "Budget"));
    EXPECT_EQ(app->pressed, std::vector<std::string>{"upper"});
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
    app->add("AXButton", "Project card", 500, 80); // outside the sidebar

    auto collect = [&](ClaudeSidebar::Scope scope) {
        return ClaudeSidebar::collect(desktop, *ClaudeSidebar::runningApp(platform), scope);
    };
    auto titlesOf = [](const std::vector<ClaudeSidebar::Item>& items) {
        std::vector<std::string> titles;
        for (const auto& item : items)
            titles.push_back(item.title);
        return titles;
    };
    const auto items = collect(ClaudeSidebar::Scope::sidebarOnly);
    EXPECT_EQ(titlesOf(items), (std::vector<std::string>{"First", "Beta", "Alpha", "Third"}));
    EXPECT_EQ(items.at(1).rect, (ClaudeSidebar::Rect{110, 150, 200, 30}));
    EXPECT_EQ(items.at(1).window, (ClaudeSidebar::Rect{100, 50, 1000, 700}));
    EXPECT_EQ(items.at(1).path, (std::vector<Accessibility::Element>{app->window->handle(), group->handle()}));
    EXPECT_EQ(titlesOf(collect(ClaudeSidebar::Scope::wholeWindow)),
              (std::vector<std::string>{"First", "Project card", "Beta", "Alpha", "Third"}));
}

TEST_F(ClaudeSidebarTest, LabelPrefersTitleThenValueThenDescriptionAndTrims) {
    auto element = SimElement::make("AXButton");
    auto label = [&] { return ClaudeSidebar::label(desktop, element->handle()); };
    EXPECT_EQ(label(), std::nullopt);
    element->setAttribute("AXDescription", std::string("Description"));
    EXPECT_EQ(label(), "Description");
    element->setAttribute("AXValue", std::string("\n Line one\nLine two \u00A0"));
    EXPECT_EQ(label(), "Line one\nLine two");
    element->setAttribute("AXTitle", std::string(" \t "));
    EXPECT_EQ(label(), "Line one\nLine two");
    element->setAttribute("AXTitle", true);
    EXPECT_EQ(label(), "Line one\nLine two");
    element->setAttribute("AXTitle", std::string("Title"));
    EXPECT_EQ(label(), "Title");
}

TEST_F(ClaudeSidebarTest, PressFallsBackToAtMostThreeAncestorsNearestFirst) {
    // button > group > group > text: the button is the third ancestor of the text.
    auto button = app->add("AXButton", "", 10, 100, 200, 30, nullptr, true, "button");
    auto g1 = app->add("AXGroup", "", 10, 100, 200, 30, button, false);
    auto g2 = app->add("AXGroup", "", 10, 100, 200, 30, g1, false);
    app->add("AXStaticText", "Three up", 10, 100, 200, 30, g2, false);
    // button > three groups > text: the button is the fourth ancestor, out of reach.
    auto parent = app->add("AXButton", "", 10, 200, 200, 30, nullptr, true, "far button");
    for (int i = 0; i < 3; ++i)
        parent = app->add("AXGroup", "", 10, 200, 200, 30, parent, false);
    app->add("AXStaticText", "Four up", 10, 200, 200, 30, parent, false);

    EXPECT_TRUE(ClaudeSidebar::open(platform, "Three up"));
    EXPECT_FALSE(ClaudeSidebar::open(platform, "Four up"));
    EXPECT_EQ(app->pressed, std::vector<std::string>{"button"});
}

TEST_F(ClaudeSidebarTest, FocusedInputLength) {
    EXPECT_EQ(ClaudeSidebar::focusedInputLength(platform), std::nullopt); // nothing focused
    auto focus = [&](const char* role, std::optional<Accessibility::Value> value) {
        auto element = SimElement::make(role);
        if (value)
            element->setAttribute("AXValue", *value);
        app->root->setAttribute("AXFocusedUIElement", element->handle());
        return ClaudeSidebar::focusedInputLength(platform);
    };
    EXPECT_EQ(focus("AXTextArea", std::string("h\u00E9llo w\u00F6rld!")), 12); // 14 bytes
    EXPECT_EQ(focus("AXTextArea", true), 0);
    EXPECT_EQ(focus("AXTextArea", std::nullopt), 0);
    EXPECT_EQ(focus("AXComboBox", std::string("")), 0);
    EXPECT_EQ(focus("AXTextField", std::string("ab")), 2);
    EXPECT_EQ(focus("AXButton", std::string("Send")), std::nullopt);
}

TEST_F(ClaudeSidebarTest, NothingWithoutAFramedWindowTrustOrClaude) {
    app->add("AXButton", "Budget", 10, 100);
    auto box = SimElement::make("AXTextField");
    app->root->setAttribute("AXFocusedUIElement", box->handle());
    EXPECT_EQ(titles(), std::vector<std::string>{"Budget"});
    EXPECT_EQ(app->root->attribute("AXManualAccessibility"), std::optional<Accessibility::Value>(true));

    // The focused window, else the first one; it needs a frame.
    app->root->removeAttribute("AXFocusedWindow");
    EXPECT_TRUE(titles().empty());
    auto other = SimElement::make("AXWindow");
    app->root->setAttribute("AXWindows", std::vector<Accessibility::Element>{app->window->handle(), other->handle()});
    EXPECT_EQ(titles(), std::vector<std::string>{"Budget"});
    app->window->removeAttribute("AXPosition");
    EXPECT_TRUE(titles().empty());
    app->window->setFrame(100, 50, 1000, 700);

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
