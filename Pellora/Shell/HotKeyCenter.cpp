#include "HotKeyCenter.h"

#include "Pellora/Platform/HotKeys.h"

namespace pellora {

HotKeyCenter::HotKeyCenter(HotKeys& platform) : platform_(platform) {}

bool HotKeyCenter::registerHotKey(int keyCode, int modifiers, std::function<void()> handler) {
    if (!handlerInstalled_) {
        // Installed once, whatever happens to the registrations.
        handlerInstalled_ = true;
        platform_.installHandler([this](std::uint32_t id) { dispatch(id); });
    }
    const std::uint32_t id = nextID_++;
    if (!platform_.registerHotKey(keyCode, modifiers, id))
        return false;
    refs_.push_back(id);
    handlers_[id] = std::move(handler);
    return true;
}

void HotKeyCenter::dispatch(std::uint32_t id) const {
    const auto found = handlers_.find(id);
    if (found != handlers_.end())
        found->second();
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
