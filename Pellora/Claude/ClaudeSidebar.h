#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <QCoro/QCoroTask>

#include "Pellora/Claude/ClaudePlatform.h"
#include "Pellora/Platform/Accessibility.h"
#include "Pellora/Platform/Clock.h"
#include "Pellora/Platform/Workspace.h"

namespace pellora {

// Reads the running Claude app's window through the accessibility interface, knowing
// nothing of Claude's internals: one generic walk collects labelled, clickable elements with
// their frames, and geometry tells the sidebar from the rest of the window. Never fails:
// every accessibility failure reduces to an empty list, false or nothing.
namespace ClaudeSidebar {

using Element = Accessibility::Element;

// Screen points, origin top left, y growing downwards.
struct Rect {
    double x = 0, y = 0, width = 0, height = 0;

    double left() const { return x; }
    double top() const { return y; }
    double right() const { return x + width; }
    double bottom() const { return y + height; }
    bool operator==(const Rect&) const = default;
};

// One labelled element found in Claude's window.
struct Item {
    Element element;
    std::string title;         // trimmed, never empty
    Rect rect;                 // the element's frame
    Rect window;               // the frame of the window the walk started from
    std::vector<Element> path; // ancestors from the window down to the parent
};

enum class Scope { sidebarOnly, wholeWindow };

inline constexpr double sidebarWidth = 340.0;
// How far past sidebarWidth a sidebar element may reach.
inline constexpr double sidebarOverhang = 40.0;
inline constexpr std::array<std::string_view, 6> rowRoles{
    "AXButton", "AXLink", "AXStaticText", "AXRow", "AXCell", "AXMenuItem"};
inline constexpr std::array<std::string_view, 3> inputRoles{"AXTextArea", "AXTextField", "AXComboBox"};
// Claude's own controls, compared in lower case.
inline constexpr std::array<std::string_view, 16> chromeLabels{
    "new chat", "chats",     "projects", "artifacts", "search",         "recents", "starred",  "settings",
    "claude",   "cowork",    "code",     "customize", "toggle sidebar", "close",   "minimize", "zoom"};
inline constexpr std::array<std::string_view, 3> labelAttributes{"AXTitle", "AXValue", "AXDescription"};
// The window is depth 0; deeper elements are neither visited nor descended into.
inline constexpr int maximumDepth = 29;
inline constexpr std::size_t minimumTitleLength = 2;
inline constexpr std::size_t maximumTitleLength = 120;
// Band at the window's top (toolbar) that never holds chat rows.
inline constexpr double topMargin = 40.0;
// Chat rows are strictly taller than the first and strictly shorter than the second.
inline constexpr double minimumRowHeight = 8.0;
inline constexpr double maximumRowHeight = 80.0;
// Between opening the project list and reading it.
inline constexpr Clock::Duration projectListPause{0.7};
// Candidates tried after the element itself when pressing.
inline constexpr std::size_t pressAncestors = 3;

// The element's label: the first of labelAttributes that is a string not empty after
// trimming, trimmed (inner line breaks kept).
std::optional<std::string> label(Accessibility& accessibility, const Element& element);
// "AXPosition" and "AXSize"; both must be readable.
std::optional<Rect> frame(Accessibility& accessibility, const Element& element);
std::optional<std::string> role(Accessibility& accessibility, const Element& element);

// Depth-first, parent before children; stops below maximumDepth. `path` holds the ancestors
// of `element`.
using Visitor = std::function<void(const Element& element, const std::vector<Element>& path)>;
void walk(Accessibility& accessibility, const Element& element, const std::vector<Element>& path,
          int depth, const Visitor& visit);

// Labelled, framed elements with a row role from Claude's focused (else first) window,
// sorted stably by top edge. Asks Claude to expose its full tree first.
std::vector<Item> collect(Accessibility& accessibility, const Workspace::RunningApplication& app, Scope scope);

// A sidebar item that looks like a chat: a title of 2 to 120 characters that is not one of
// Claude's controls, below the window's top margin, and a row-sized height.
bool isChatRow(const Item& item);

// Chat titles top to bottom, each once. Empty when not trusted (asked without prompting) or
// Claude is not running.
std::vector<std::string> chatTitles(ClaudePlatform platform);

// Presses the uppermost chat row titled exactly `title`; false when none or not pressable.
bool open(ClaudePlatform platform, const std::string& title);

// Presses the "Projects" control, pauses for the list to appear, then presses the first
// element whose label is the name (ignoring case), alone or on its first line. Runs on the
// caller's (main) thread; the pause is a suspension on the clock and ignores cancellation.
QCoro::Task<bool> openProject(ClaudePlatform platform, std::string name);

// Characters in the text input that has the focus in Claude; nothing when no text input
// has it (or Claude is not running).
std::optional<int> focusedInputLength(ClaudePlatform platform);

// "AXPress" on the element, then on up to pressAncestors nearest ancestors; true at the
// first success.
bool press(Accessibility& accessibility, const Item& item);

// The first running Claude.
std::optional<Workspace::RunningApplication> runningApp(ClaudePlatform platform);

} // namespace ClaudeSidebar
} // namespace pellora
