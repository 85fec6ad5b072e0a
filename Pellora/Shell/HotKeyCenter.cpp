#include "HotKeyCenter.h"

#include "Pellora/Platform/HotKeys.h"

namespace pellora {

HotKeyCenter::HotKeyCenter(HotKeys& platform) : platform_(platform) {}

bool HotKeyCenter::registerHotKey(int keyCode, int modifiers, std::function<void()> handler) {
    if (!handlerInstalled_) {
        // Installed once, whatever happens to the registrations.
        handlerInstalled_ = true;
        // A press reported after the registry is gone finds no handlers and does nothing.
        platform_.installHandler([weak = std::weak_ptr<Handlers>(handlers_)](std::uint32_t id) {
            const auto handlers = weak.lock();
            if (!handlers)
                return;
            // A refused registration's identifier has no handler and is ignored.
            const auto found = handlers->find(id);
            if (found != handlers->end())
                found->second();
        });
    }
    const std::uint32_t id = nextID_++;
    if (!platform_.registerHotKey(keyCode, modifiers, id))
        return false;
    refs_.push_back(id);
    (*handlers_)[id] = std::move(handler);
    return true;
}

int HotKeyCenter::keyCode(Action action) {
    switch (action) {
    case Action::reply: return 0x0F;
    case Action::summary: return 0x01;
    case Action::research: return 0x02;
    case Action::custom1: return 0x12;
    case Action::custom2: return 0x13;
    case Action::pasteOnly: return 0x08;
    }
    return 0;
}

std::string HotKeyCenter::unavailableText(const std::vector<std::string>& shownForms) {
    std::string text;
    for (const auto& shown : shownForms) {
        if (!text.empty())
            text += ", ";
        text += shown;
    }
    // Singular whatever the count, as the alert has always read.
    return text + " is already used by another app.";
}

} // namespace pellora
