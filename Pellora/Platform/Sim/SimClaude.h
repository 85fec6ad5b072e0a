#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <iosfwd>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Pellora/Platform/Clock.h"
#include "Pellora/Platform/Sim/SimApplication.h"
#include "Pellora/Platform/Sim/SimElement.h"

namespace pellora {

// A stand-in for the Claude desktop app, as far as we drive it: activation, deep links,
// Command-N / Command-V / Return, and a window tree with a sidebar of Claude's controls and
// chat rows, a project list and a message box. It exposes its window only after
// "AXManualAccessibility" is set on its application element, takes a while to focus the box
// after a chat opens, and receives long pastes in pieces, all on the desktop's clock. It
// records what it was handed and what it sent, so tests can assert on it.
//
//     auto claude = std::make_shared<SimClaude>();
//     claude->addChat("Invoices", "c-7");
//     claude->addProject("Acme", "Client work", "p-1");
//     claude->knobs.focusDelay = Clock::Duration(0.5);
//     desktop.install(claude);
class SimClaude : public SimApplication {
public:
    static constexpr const char* identifier = "com.anthropic.claudefordesktop";

    // What Claude is showing.
    struct Place {
        enum class Kind { newChat, chat, newChatInProject, incognito, projectList };
        Kind kind = Kind::newChat;
        std::string id; // of the chat or the project

        static Place newChat() { return {Kind::newChat, {}}; }
        static Place chat(std::string id) { return {Kind::chat, std::move(id)}; }
        static Place newChatInProject(std::string projectID) { return {Kind::newChatInProject, std::move(projectID)}; }
        static Place incognito() { return {Kind::incognito, {}}; }
        static Place projectList() { return {Kind::projectList, {}}; }

        bool operator==(const Place&) const = default;
        friend std::ostream& operator<<(std::ostream& out, const Place& place);
    };

    // Where a newly opened chat puts the keyboard focus.
    enum class Focus {
        messageBox, // as it should
        nowhere,    // the box never takes the focus
        button,     // a button next to the box takes it
    };

    // How a chat row is built in the sidebar.
    enum class Row {
        textInButton, // an unlabelled button holding a static text: pressing the text fails,
                      // pressing the button works
        link,         // a link labelled with the title
    };

    struct Knobs {
        Clock::Duration activationDelay{0.25};
        // From opening or starting a chat until the message box has the focus.
        Clock::Duration focusDelay{0.2};
        // From pressing "Projects" until the project cards show.
        Clock::Duration projectListDelay{0.3};
        // A pasted text arrives this many characters (code points) at a time; the first
        // piece at once, the next ones pastePieceInterval apart.
        std::size_t pastePieceSize = 4000;
        Clock::Duration pastePieceInterval{0.05};
        Focus focus = Focus::messageBox;
    };

    struct Chat {
        std::string title;
        std::string id;
        Row row = Row::textInButton;
    };

    struct Project {
        std::string name;
        std::string description; // shown below the name on its card when not empty
        std::string id;
    };

    // A message sent with Return.
    struct Message {
        Place place;
        std::string text;
        std::vector<std::filesystem::path> files;
        Clock::Duration time{0};
    };

    struct KeyStroke {
        std::uint16_t keyCode = 0;
        std::uint64_t flags = 0;
        Clock::Duration time{0};
        bool operator==(const KeyStroke&) const = default;
    };

    // Window frame in screen points.
    struct Frame {
        double x = 0, y = 0, width = 0, height = 0;
    };

    SimClaude();

    Knobs knobs;

    // Setup. Chats show top to bottom in the order added.
    void addChat(std::string title, std::string id, Row row = Row::textInButton);
    void addProject(std::string name, std::string description, std::string id);
    void setWindowFrame(double x, double y, double width, double height);
    Frame windowFrame() const { return frame_; }
    // Replaces what the message box holds, as if the user had typed it.
    void setMessageBoxText(std::string text) { setBoxText(std::move(text)); }

    // Sidebar contents, in the order added.
    std::vector<Chat> chats() const;
    const std::vector<Project>& projects() const { return projects_; }

    // `onChange` is called after anything a window drawing this app would show has changed:
    // the place, the message box, attachments, messages sent, the project list, the sidebar,
    // the front. Returns the observer's number for removeObserver.
    int addObserver(std::function<void()> onChange);
    void removeObserver(int observer);

    // State.
    const Place& place() const { return place_; }
    std::string messageBoxText() const { return boxText_; }
    const std::vector<std::filesystem::path>& pendingAttachments() const { return attachments_; }
    bool messageBoxFocused() const;
    bool projectListShown() const { return !cards_.empty(); }
    bool treeExposed() const { return exposed_; }

    // Record.
    const std::vector<std::string>& receivedLinks() const { return links_; }
    const std::vector<KeyStroke>& receivedKeys() const { return keys_; }
    // Every place shown, in order (opening the same place twice records it twice).
    const std::vector<Place>& visitedPlaces() const { return visited_; }
    const std::vector<Message>& sentMessages() const { return sent_; }
    // Pastes that found no message box with the focus and went nowhere.
    int lostPastes() const { return lostPastes_; }

    // Elements, for tests that poke at the tree.
    std::shared_ptr<SimElement> applicationElement() const { return root_; }
    std::shared_ptr<SimElement> windowElement() const { return window_; }
    std::shared_ptr<SimElement> messageBoxElement() const { return box_; }

    // SimApplication
    std::string bundleIdentifier() const override { return identifier; }
    Clock::Duration activationDelay() const override { return knobs.activationDelay; }
    void didLaunch() override;
    void didQuit() override;
    void didBecomeFrontmost() override { changed(); }
    void openURLs(const std::vector<std::string>& urls) override;
    void keyStroke(std::uint16_t keyCode, std::uint64_t flags) override;
    std::shared_ptr<SimElement> accessibilityRoot() override { return root_; }

private:
    struct ChatRow {
        Chat chat;
        std::shared_ptr<SimElement> outer; // child of the chat list
        std::shared_ptr<SimElement> text;  // the static text, for textInButton rows
    };

    Clock& clock() const;
    // Runs `fire` after `delay` on the desktop's clock, unless this app is gone by then.
    void schedule(Clock::Duration delay, std::function<void()> fire);
    std::shared_ptr<SimElement> makeControl(const std::string& title, std::function<bool()> press);
    void layout();
    void expose(bool exposed);
    void setFocus(std::shared_ptr<SimElement> element);
    void setBoxText(std::string text);
    void changed() const;

    // Shows a place; the box empties and takes the focus after focusDelay.
    void go(Place place);
    void openLink(const std::string& url);
    void showProjectList();
    void paste();
    void pasteNextPiece(std::uint64_t generation);
    void send();

    Frame frame_{0, 25, 1280, 800};
    Place place_;
    std::string boxText_;
    std::u32string pendingPaste_;
    bool pieceScheduled_ = false;
    std::vector<std::filesystem::path> attachments_;
    bool exposed_ = false;
    std::shared_ptr<SimElement> focused_;
    // Bumped on every navigation, so timers of an earlier place do nothing.
    std::uint64_t generation_ = 0;

    std::vector<ChatRow> chats_;
    std::vector<Project> projects_;

    std::shared_ptr<SimElement> root_, window_, sidebar_, main_, chatList_, projectList_;
    std::vector<std::shared_ptr<SimElement>> controls_; // toolbar button first, then the sidebar controls
    std::shared_ptr<SimElement> recents_;
    std::vector<std::shared_ptr<SimElement>> cards_;
    std::shared_ptr<SimElement> box_, addButton_, sendButton_;

    std::vector<std::string> links_;
    std::vector<KeyStroke> keys_;
    std::vector<Place> visited_;
    std::vector<Message> sent_;
    int lostPastes_ = 0;
    std::map<int, std::function<void()>> observers_;
    int nextObserver_ = 1;

    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

} // namespace pellora
