#include "Pellora/Claude/ClaudeSidebar.h"

#include <algorithm>

#include "Pellora/Claude/ClaudeBridge.h"
#include "PelloraCore/Text.h"

namespace pellora::ClaudeSidebar {

namespace {

template <std::size_t N> bool contains(const std::array<std::string_view, N>& list, std::string_view value) {
    return std::find(list.begin(), list.end(), value) != list.end();
}

template <class T> std::optional<T> attributeAs(Accessibility& accessibility, const Element& element, std::string_view name) {
    auto value = accessibility.attribute(element, name);
    if (!value)
        return std::nullopt;
    if (auto* typed = std::get_if<T>(&*value))
        return *typed;
    return std::nullopt;
}

// Claude exposes its full tree only when asked; the answer tells nothing useful.
Element rootElement(Accessibility& accessibility, const Workspace::RunningApplication& app) {
    Element root = accessibility.applicationElement(app.processIdentifier);
    if (root)
        accessibility.setAttribute(root, "AXManualAccessibility", Accessibility::Value(true));
    return root;
}

Element mainWindow(Accessibility& accessibility, const Element& root) {
    if (auto focused = attributeAs<Element>(accessibility, root, "AXFocusedWindow"); focused && *focused)
        return *focused;
    if (auto windows = attributeAs<std::vector<Element>>(accessibility, root, "AXWindows"); windows && !windows->empty())
        return windows->front();
    return {};
}

bool inSidebar(const Rect& rect, const Rect& window) {
    return rect.left() < window.left() + sidebarWidth &&
           rect.right() < window.left() + sidebarWidth + sidebarOverhang;
}

} // namespace

std::optional<std::string> label(Accessibility& accessibility, const Element& element) {
    for (auto name : labelAttributes) {
        auto text = attributeAs<std::string>(accessibility, element, name);
        if (!text)
            continue;
        std::string trimmed = Text::trimmed(*text);
        if (!trimmed.empty())
            return trimmed;
    }
    return std::nullopt;
}

std::optional<Rect> frame(Accessibility& accessibility, const Element& element) {
    auto position = attributeAs<Accessibility::Point>(accessibility, element, "AXPosition");
    if (!position)
        return std::nullopt;
    auto size = attributeAs<Accessibility::Size>(accessibility, element, "AXSize");
    if (!size)
        return std::nullopt;
    return Rect{position->x, position->y, size->width, size->height};
}

std::optional<std::string> role(Accessibility& accessibility, const Element& element) {
    return attributeAs<std::string>(accessibility, element, "AXRole");
}

void walk(Accessibility& accessibility, const Element& element, const std::vector<Element>& path, int depth,
          const Visitor& visit) {
    if (depth > maximumDepth)
        return;
    visit(element, path);
    auto children = attributeAs<std::vector<Element>>(accessibility, element, "AXChildren");
    if (!children || children->empty())
        return;
    std::vector<Element> childPath = path;
    childPath.push_back(element);
    for (const auto& child : *children)
        walk(accessibility, child, childPath, depth + 1, visit);
}

std::vector<Item> collect(Accessibility& accessibility, const Workspace::RunningApplication& app, Scope scope) {
    Element root = rootElement(accessibility, app);
    if (!root)
        return {};
    Element window = mainWindow(accessibility, root);
    if (!window)
        return {};
    auto windowFrame = frame(accessibility, window);
    if (!windowFrame)
        return {};

    std::vector<Item> items;
    walk(accessibility, window, {}, 0, [&](const Element& element, const std::vector<Element>& path) {
        auto elementRole = role(accessibility, element);
        if (!elementRole || !contains(rowRoles, *elementRole))
            return;
        auto title = label(accessibility, element);
        if (!title)
            return;
        auto rect = frame(accessibility, element);
        if (!rect)
            return;
        if (scope == Scope::sidebarOnly && !inSidebar(*rect, *windowFrame))
            return;
        items.push_back(Item{element, std::move(*title), *rect, *windowFrame, path});
    });
    std::stable_sort(items.begin(), items.end(),
                     [](const Item& a, const Item& b) { return a.rect.top() < b.rect.top(); });
    return items;
}

bool isChatRow(const Item& item) {
    std::size_t length = Text::characterCount(item.title);
    if (length < minimumTitleLength || length > maximumTitleLength)
        return false;
    if (contains(chromeLabels, Text::lowercased(item.title)))
        return false;
    if (!(item.window.top() + topMargin < item.rect.top()))
        return false;
    return item.rect.height > minimumRowHeight && item.rect.height < maximumRowHeight;
}

std::vector<std::string> chatTitles(ClaudePlatform platform) {
    if (!platform.accessibility.isTrusted(false))
        return {};
    auto app = runningApp(platform);
    if (!app)
        return {};
    std::vector<std::string> titles;
    for (const auto& item : collect(platform.accessibility, *app, Scope::sidebarOnly)) {
        if (isChatRow(item) && std::find(titles.begin(), titles.end(), item.title) == titles.end())
            titles.push_back(item.title);
    }
    return titles;
}

bool open(ClaudePlatform platform, const std::string& title) {
    auto app = runningApp(platform);
    if (!app)
        return false;
    for (const auto& item : collect(platform.accessibility, *app, Scope::sidebarOnly)) {
        if (isChatRow(item) && item.title == title)
            return press(platform.accessibility, item);
    }
    return false;
}

QCoro::Task<bool> openProject(ClaudePlatform platform, std::string name) {
    auto app = runningApp(platform);
    if (!app)
        co_return false;

    for (const auto& item : collect(platform.accessibility, *app, Scope::sidebarOnly)) {
        if (Text::lowercased(item.title) == "projects") {
            press(platform.accessibility, item);
            break;
        }
    }

    co_await platform.clock.sleep(projectListPause);

    // Claude may have quit during the pause; the collect below then finds nothing.
    const std::string wanted = Text::lowercased(name);
    const std::string wantedFirstLine = wanted + "\n";
    for (const auto& item : collect(platform.accessibility, *app, Scope::wholeWindow)) {
        std::string title = Text::lowercased(item.title);
        if (title == wanted || title.starts_with(wantedFirstLine))
            co_return press(platform.accessibility, item);
    }
    co_return false;
}

std::optional<int> focusedInputLength(ClaudePlatform platform) {
    auto app = runningApp(platform);
    if (!app)
        return std::nullopt;
    Element root = rootElement(platform.accessibility, *app);
    if (!root)
        return std::nullopt;
    auto focused = attributeAs<Element>(platform.accessibility, root, "AXFocusedUIElement");
    if (!focused || !*focused)
        return std::nullopt;
    auto focusedRole = role(platform.accessibility, *focused);
    if (!focusedRole || !contains(inputRoles, *focusedRole))
        return std::nullopt;
    auto value = attributeAs<std::string>(platform.accessibility, *focused, "AXValue");
    if (!value)
        return 0;
    return int(Text::characterCount(*value));
}

bool press(Accessibility& accessibility, const Item& item) {
    if (accessibility.performAction(item.element, "AXPress"))
        return true;
    std::size_t tried = 0;
    for (auto ancestor = item.path.rbegin(); ancestor != item.path.rend() && tried < pressAncestors; ++ancestor, ++tried) {
        if (accessibility.performAction(*ancestor, "AXPress"))
            return true;
    }
    return false;
}

std::optional<Workspace::RunningApplication> runningApp(ClaudePlatform platform) {
    auto running = platform.workspace.runningApplications(ClaudeBridge::bundleIdentifier);
    if (running.empty())
        return std::nullopt;
    return running.front();
}

} // namespace ClaudeSidebar
