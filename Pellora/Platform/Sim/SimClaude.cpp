#include "Pellora/Platform/Sim/SimClaude.h"

#include <algorithm>
#include <optional>
#include <ostream>
#include <sstream>

#include <QByteArray>
#include <QUrl>

#include "Pellora/Platform/Pasteboard.h"
#include "Pellora/Platform/Sim/SimDesktop.h"
#include "PelloraCore/ChatLink.h"
#include "PelloraCore/Text.h"
#include "PelloraCore/Url.h"

namespace pellora {

namespace {

constexpr double sidebarWidth = 288;
constexpr double rowStep = 36;
constexpr double rowHeight = 32;

// The local files of a text/uri-list: one URI a line, "#" lines are comments.
std::vector<std::filesystem::path> filesOf(const std::string& uriList) {
    std::vector<std::filesystem::path> files;
    std::istringstream lines(uriList);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line.front() == '#')
            continue;
        const QUrl url = QUrl::fromEncoded(QByteArray::fromStdString(line), QUrl::StrictMode);
        if (url.isValid() && url.isLocalFile())
            files.emplace_back(url.toLocalFile().toStdString());
    }
    return files;
}

} // namespace

std::ostream& operator<<(std::ostream& out, const SimClaude::Place& place) {
    switch (place.kind) {
    case SimClaude::Place::Kind::newChat: return out << "newChat";
    case SimClaude::Place::Kind::chat: return out << "chat(" << place.id << ")";
    case SimClaude::Place::Kind::newChatInProject: return out << "newChatInProject(" << place.id << ")";
    case SimClaude::Place::Kind::incognito: return out << "incognito";
    case SimClaude::Place::Kind::projectList: return out << "projectList";
    }
    return out;
}

SimClaude::SimClaude() {
    root_ = SimElement::make("AXApplication");
    root_->setAttribute("AXTitle", std::string("Claude"));
    root_->setWriteHook([this](const std::string& name, const Accessibility::Value& value) {
        if (name != "AXManualAccessibility")
            return false;
        if (auto* on = std::get_if<bool>(&value); on && *on)
            expose(true);
        return true;
    });

    window_ = SimElement::make("AXWindow");
    window_->setAttribute("AXTitle", std::string("Claude"));

    sidebar_ = SimElement::make("AXGroup");
    window_->addChild(sidebar_);
    controls_.push_back(makeControl("Toggle sidebar", [] { return true; }));
    controls_.push_back(makeControl("New chat", [this] { go(Place::newChat()); return true; }));
    controls_.push_back(makeControl("Search", [] { return true; }));
    controls_.push_back(makeControl("Chats", [] { return true; }));
    controls_.push_back(makeControl("Projects", [this] { showProjectList(); return true; }));
    controls_.push_back(makeControl("Artifacts", [] { return true; }));
    for (const auto& control : controls_)
        sidebar_->addChild(control);
    recents_ = SimElement::make("AXStaticText");
    recents_->setAttribute("AXValue", std::string("Recents"));
    sidebar_->addChild(recents_);
    chatList_ = SimElement::make("AXGroup");
    sidebar_->addChild(chatList_);

    main_ = SimElement::make("AXGroup");
    window_->addChild(main_);
    projectList_ = SimElement::make("AXGroup");
    main_->addChild(projectList_);
    auto composer = SimElement::make("AXGroup");
    main_->addChild(composer);
    box_ = SimElement::make("AXTextArea");
    box_->setAttribute("AXValue", std::string());
    box_->setAttribute("AXDescription", std::string("Write your prompt to Claude"));
    composer->addChild(box_);
    addButton_ = SimElement::make("AXButton");
    addButton_->setAttribute("AXDescription", std::string("Add files"));
    addButton_->setActionHandler("AXPress", [] { return true; });
    composer->addChild(addButton_);
    sendButton_ = SimElement::make("AXButton");
    sendButton_->setAttribute("AXDescription", std::string("Send message"));
    sendButton_->setActionHandler("AXPress", [this] { send(); return true; });
    composer->addChild(sendButton_);

    layout();
}

std::shared_ptr<SimElement> SimClaude::makeControl(const std::string& title, std::function<bool()> press) {
    auto control = SimElement::make("AXButton");
    control->setAttribute("AXTitle", title);
    control->setActionHandler("AXPress", std::move(press));
    return control;
}

Clock& SimClaude::clock() const {
    return desktop()->clock();
}

void SimClaude::schedule(Clock::Duration delay, std::function<void()> fire) {
    clock().callAfter(delay, [alive = std::weak_ptr<int>(alive_), fire = std::move(fire)] {
        if (alive.lock())
            fire();
    });
}

void SimClaude::addChat(std::string title, std::string id, Row row) {
    ChatRow entry{Chat{std::move(title), std::move(id), row}, nullptr, nullptr};
    const std::string chatID = entry.chat.id;
    auto open = [this, chatID] {
        go(Place::chat(chatID));
        return true;
    };
    if (row == Row::link) {
        entry.outer = SimElement::make("AXLink");
        entry.outer->setAttribute("AXTitle", entry.chat.title);
        entry.outer->setActionHandler("AXPress", open);
    } else {
        entry.outer = SimElement::make("AXButton");
        entry.outer->setActionHandler("AXPress", open);
        entry.text = SimElement::make("AXStaticText");
        entry.text->setAttribute("AXValue", entry.chat.title);
        entry.outer->addChild(entry.text);
    }
    chatList_->addChild(entry.outer);
    chats_.push_back(std::move(entry));
    layout();
    changed();
}

void SimClaude::addProject(std::string name, std::string description, std::string id) {
    projects_.push_back(Project{std::move(name), std::move(description), std::move(id)});
    changed();
}

std::vector<SimClaude::Chat> SimClaude::chats() const {
    std::vector<Chat> chats;
    for (const auto& row : chats_)
        chats.push_back(row.chat);
    return chats;
}

int SimClaude::addObserver(std::function<void()> onChange) {
    observers_[nextObserver_] = std::move(onChange);
    return nextObserver_++;
}

void SimClaude::removeObserver(int observer) { observers_.erase(observer); }

void SimClaude::changed() const {
    // A copy: an observer may remove itself.
    const auto observers = observers_;
    for (const auto& [number, observer] : observers)
        observer();
}

void SimClaude::setWindowFrame(double x, double y, double width, double height) {
    frame_ = Frame{x, y, width, height};
    layout();
}

void SimClaude::layout() {
    const double x = frame_.x, y = frame_.y, width = frame_.width, height = frame_.height;
    window_->setFrame(x, y, width, height);
    sidebar_->setFrame(x, y, sidebarWidth, height);

    controls_.front()->setFrame(x + 12, y + 8, 28, 28); // in the title bar
    double top = y + 48;
    for (std::size_t i = 1; i < controls_.size(); ++i, top += rowStep)
        controls_[i]->setFrame(x + 8, top, sidebarWidth - 16, rowHeight);
    recents_->setFrame(x + 16, top + 8, 200, 20);
    top += 32;
    chatList_->setFrame(x, top, sidebarWidth, double(chats_.size()) * rowStep);
    for (const auto& row : chats_) {
        row.outer->setFrame(x + 8, top, sidebarWidth - 16, rowHeight);
        if (row.text)
            row.text->setFrame(x + 16, top + 8, sidebarWidth - 48, 16);
        top += rowStep;
    }

    // The conversation column is centred in the main area, well clear of the sidebar.
    const double mainX = x + sidebarWidth, mainWidth = width - sidebarWidth;
    const double columnWidth = std::max(200.0, std::min(mainWidth - 160, 720.0));
    const double columnX = mainX + (mainWidth - columnWidth) / 2;
    main_->setFrame(mainX, y, mainWidth, height);
    projectList_->setFrame(columnX, y + 80, columnWidth, double(cards_.size()) * 88);
    for (std::size_t i = 0; i < cards_.size(); ++i)
        cards_[i]->setFrame(columnX, y + 80 + double(i) * 88, columnWidth, 76);
    box_->setFrame(columnX, y + height - 150, columnWidth, 100);
    addButton_->setFrame(columnX, y + height - 44, 32, 32);
    sendButton_->setFrame(columnX + columnWidth - 32, y + height - 44, 32, 32);
}

void SimClaude::expose(bool exposed) {
    exposed_ = exposed;
    root_->removeAllChildren();
    root_->removeAttribute("AXWindows");
    root_->removeAttribute("AXFocusedWindow");
    root_->removeAttribute("AXFocusedUIElement");
    if (!exposed)
        return;
    root_->addChild(window_);
    root_->setAttribute("AXWindows", std::vector<Accessibility::Element>{window_->handle()});
    root_->setAttribute("AXFocusedWindow", window_->handle());
    setFocus(focused_);
}

bool SimClaude::messageBoxFocused() const {
    return focused_ == box_;
}

void SimClaude::setFocus(std::shared_ptr<SimElement> element) {
    if (focused_)
        focused_->setAttribute("AXFocused", false);
    focused_ = std::move(element);
    if (focused_)
        focused_->setAttribute("AXFocused", true);
    if (exposed_ && focused_)
        root_->setAttribute("AXFocusedUIElement", focused_->handle());
    else
        root_->removeAttribute("AXFocusedUIElement");
    changed();
}

void SimClaude::setBoxText(std::string text) {
    boxText_ = std::move(text);
    box_->setAttribute("AXValue", boxText_);
    changed();
}

void SimClaude::didLaunch() {
    // A fresh window shows a new chat.
    go(Place::newChat());
}

void SimClaude::didQuit() {
    ++generation_;
    pendingPaste_.clear();
    pieceScheduled_ = false;
    setFocus(nullptr);
    expose(false);
    projectList_->removeAllChildren();
    cards_.clear();
    attachments_.clear();
    setBoxText({});
}

void SimClaude::go(Place place) {
    const std::uint64_t generation = ++generation_;
    place_ = place;
    visited_.push_back(place);
    pendingPaste_.clear();
    pieceScheduled_ = false;
    attachments_.clear();
    setBoxText({});
    setFocus(nullptr);
    projectList_->removeAllChildren();
    cards_.clear();
    layout();
    changed();
    if (place.kind == Place::Kind::projectList)
        return;

    schedule(knobs.focusDelay, [this, generation] {
        if (generation != generation_)
            return;
        switch (knobs.focus) {
        case Focus::messageBox: setFocus(box_); break;
        case Focus::button: setFocus(addButton_); break;
        case Focus::nowhere: break;
        }
    });
}

void SimClaude::showProjectList() {
    go(Place::projectList());
    const std::uint64_t generation = generation_;
    schedule(knobs.projectListDelay, [this, generation] {
        if (generation != generation_)
            return;
        for (const auto& project : projects_) {
            auto card = SimElement::make("AXButton");
            card->setAttribute("AXTitle", project.description.empty() ? project.name
                                                                      : project.name + "\n" + project.description);
            const std::string projectID = project.id;
            card->setActionHandler("AXPress", [this, projectID] {
                go(Place::newChatInProject(projectID));
                return true;
            });
            projectList_->addChild(card);
            cards_.push_back(card);
        }
        layout();
        changed();
    });
}

void SimClaude::openURLs(const std::vector<std::string>& urls) {
    for (const auto& url : urls) {
        links_.push_back(url);
        openLink(url);
    }
}

void SimClaude::openLink(const std::string& url) {
    auto link = Url::parse(url);
    if (!link || Text::lowercased(link->scheme) != "claude" || !link->host ||
        Text::lowercased(*link->host) != ChatLink::chatWebHost())
        return;
    const std::string& path = link->path;
    auto idAfter = [&](std::string_view prefix) -> std::optional<std::string> {
        if (!path.starts_with(prefix) || path.size() == prefix.size())
            return std::nullopt;
        std::string id = path.substr(prefix.size());
        if (id.find('/') != std::string::npos)
            return std::nullopt;
        return id;
    };
    if (auto id = idAfter("/chat/"))
        go(Place::chat(*id));
    else if (auto id = idAfter("/project/"))
        go(Place::newChatInProject(*id));
    else if (path == "/new")
        go(link->query == std::optional<std::string>("incognito") ? Place::incognito() : Place::newChat());
}

void SimClaude::keyStroke(std::uint16_t keyCode, std::uint64_t flags) {
    keys_.push_back(KeyStroke{keyCode, flags, clock().now()});
    const bool command = flags & KeyEvents::command;
    if (command && keyCode == KeyEvents::keyN)
        go(Place::newChat());
    else if (command && keyCode == KeyEvents::keyV)
        paste();
    else if (!command && keyCode == KeyEvents::keyReturn && focused_ == box_)
        send();
}

void SimClaude::paste() {
    for (const auto& item : desktop()->pasteboard().items()) {
        if (focused_ != box_) {
            ++lostPastes_;
            return;
        }
        if (auto uris = item.find(Pasteboard::fileURLType); uris != item.end()) {
            for (auto& file : filesOf(uris->second))
                attachments_.push_back(std::move(file));
            changed();
        } else if (auto text = item.find(Pasteboard::plainTextType); text != item.end()) {
            pendingPaste_ += Text::codePoints(text->second);
            if (!pieceScheduled_)
                pasteNextPiece(generation_);
        }
    }
}

void SimClaude::pasteNextPiece(std::uint64_t generation) {
    if (generation != generation_)
        return; // the place changed; its paste went with it
    pieceScheduled_ = false;
    if (pendingPaste_.empty())
        return;
    const std::size_t size = std::min(std::max<std::size_t>(knobs.pastePieceSize, 1), pendingPaste_.size());
    setBoxText(boxText_ + Text::utf8(std::u32string_view(pendingPaste_).substr(0, size)));
    pendingPaste_.erase(0, size);
    if (pendingPaste_.empty())
        return;
    pieceScheduled_ = true;
    schedule(knobs.pastePieceInterval, [this, generation] { pasteNextPiece(generation); });
}

void SimClaude::send() {
    if (boxText_.empty() && attachments_.empty())
        return;
    sent_.push_back(Message{place_, boxText_, attachments_, clock().now()});
    attachments_.clear();
    setBoxText({});
}

} // namespace pellora
