#include "Pellora/Claude/ClaudeBridge.h"

#include <algorithm>
#include <exception>
#include <filesystem>
#include <system_error>

#include "Pellora/Claude/ClaudeError.h"
#include "Pellora/Claude/ClaudeSidebar.h"
#include "Pellora/Claude/PasteboardSnapshot.h"
#include "Pellora/Platform/Accessibility.h"
#include "Pellora/Platform/Pasteboard.h"
#include "Pellora/Platform/Workspace.h"
#include "Pellora/Shell/Log.h"
#include "PelloraCore/ChatLink.h"
#include "PelloraCore/Text.h"

namespace pellora::ClaudeBridge {

namespace {

using Duration = Clock::Duration;

// A wait that cancellation does not fail: a fired token ends it at once.
QCoro::Task<void> pause(ClaudePlatform platform, Duration delay, CancelToken cancel) {
    if (cancel.isCancelled())
        co_return;
    try {
        co_await platform.clock.sleep(delay, cancel);
    } catch (const Cancelled&) {
    }
}

// Deadlines are kept in the clock's ticks, so a poll that lands exactly on one ends the wait.
Clock::Ticks deadlineAfter(const Clock& clock, Duration span) { return Clock::after(clock.nowTicks(), span); }

bool beforeDeadline(const Clock& clock, Clock::Ticks deadline) { return clock.nowTicks() < deadline; }

void press(KeyEvents& keys, std::uint16_t keyCode, std::uint64_t flags) {
    keys.postKeyStroke(keyCode, flags);
}

// Timing lines for the log: the seconds each stage took.
class Laps {
public:
    explicit Laps(Clock& clock) : clock_(clock), last_(clock.nowTicks()) {}

    void lap(const std::string& label) {
        const Clock::Ticks now = clock_.nowTicks();
        Log::write("  " + label + ": " + Log::seconds(Clock::toSeconds(now - last_).count()));
        last_ = now;
    }

private:
    Clock& clock_;
    Clock::Ticks last_;
};

QCoro::Task<void> waitForModifierRelease(ClaudePlatform platform, CancelToken cancel) {
    for (int round = 0; round < modifierWaitRounds; ++round) {
        if (platform.keys.modifierFlags() & watchedModifiers)
            co_await pause(platform, modifierWaitStep, cancel);
    }
}

// Launches Claude or brings it to the front; never fails on time.
QCoro::Task<void> activate(ClaudePlatform platform, std::filesystem::path appURL, CancelToken cancel) {
    co_await platform.workspace.openApplication(appURL);
    const Clock::Ticks deadline = deadlineAfter(platform.clock, activationDeadline);
    while (beforeDeadline(platform.clock, deadline) && !cancel.isCancelled()) {
        if (platform.workspace.frontmostApplication() == std::string(bundleIdentifier))
            break;
        co_await pause(platform, activationPoll, cancel);
    }
    co_await pause(platform, activationSettle, cancel);
}

QCoro::Task<void> openLink(ClaudePlatform platform, std::string url, std::filesystem::path appURL) {
    // A named vector: GCC miscompiles an initializer list held across a suspension.
    std::vector<std::string> urls;
    urls.push_back(std::move(url));
    co_await platform.workspace.openURLs(urls, appURL);
}

QCoro::Task<void> openChat(ClaudePlatform platform, ChatTarget target, std::filesystem::path appURL,
                           CancelToken cancel) {
    if (auto* link = target.as<ChatTarget::Link>()) {
        co_await openLink(platform, link->url, appURL);
    } else if (auto* sidebar = target.as<ChatTarget::Sidebar>()) {
        co_await activate(platform, appURL, cancel);
        if (!ClaudeSidebar::open(platform, sidebar->title))
            throw ClaudeError::chatNotFound(sidebar->title);
    } else if (auto* project = target.as<ChatTarget::Project>()) {
        if (project->link) {
            co_await openLink(platform, *project->link, appURL);
        } else {
            co_await activate(platform, appURL, cancel);
            if (!co_await ClaudeSidebar::openProject(platform, project->name))
                throw ClaudeError::projectNotFound(project->name);
        }
    } else if (target.is<ChatTarget::NewChat>()) {
        co_await activate(platform, appURL, cancel);
        press(platform.keys, KeyEvents::keyN, KeyEvents::command);
    } else if (target.is<ChatTarget::Incognito>()) {
        co_await openLink(platform, ChatLink::incognitoURL(), appURL);
    }
}

// Everything between taking the pasteboard and giving it back.
QCoro::Task<void> pasteAndSend(ClaudePlatform platform, Email email, ChatTarget target, std::string instruction,
                               bool sendAutomatically, Duration openDelay, std::filesystem::path appURL,
                               CancelToken cancel) {
    Laps laps(platform.clock);

    co_await waitForModifierRelease(platform, cancel);

    co_await openChat(platform, target, appURL, cancel);
    laps.lap("open chat");

    const bool newChat = target.is<ChatTarget::NewChat>();
    co_await waitForInputReady(platform, newChat ? newChatInputDelay : openDelay, cancel);
    laps.lap("wait for input");

    const std::string text = email.prompt(instruction);
    const int characters = int(Text::characterCount(text));
    platform.pasteboard.clear();
    platform.pasteboard.setString(text);
    press(platform.keys, KeyEvents::keyV, KeyEvents::command);
    co_await waitForPasteToSettle(platform, characters, cancel);
    laps.lap("paste " + std::to_string(characters) + " chars");

    if (!email.attachmentPaths.empty()) {
        for (const auto& path : email.attachmentPaths) {
            platform.pasteboard.clear();
            platform.pasteboard.writeFileURL(path);
            press(platform.keys, KeyEvents::keyV, KeyEvents::command);
            co_await platform.clock.sleep(attachmentPause, cancel);
        }
        co_await platform.clock.sleep(Duration(uploadWait(email.attachmentPaths)), cancel);
        laps.lap("attach " + std::to_string(email.attachmentPaths.size()) + " files");
    }

    if (sendAutomatically)
        press(platform.keys, KeyEvents::keyReturn, 0);

    // Claude reads the pasteboard asynchronously; give it time before taking it back.
    co_await platform.clock.sleep(restorePause, cancel);
}

} // namespace

QCoro::Task<void> deliver(ClaudePlatform platform, Email email, ChatTarget target, std::string instruction,
                          bool sendAutomatically, Config config, CancelToken cancel) {
    if (!platform.accessibility.isTrusted(true))
        throw ClaudeError::noAccessibility();
    auto appURL = platform.workspace.applicationLocation(bundleIdentifier);
    if (!appURL)
        throw ClaudeError::notInstalled();

    const PasteboardSnapshot snapshot = PasteboardSnapshot::capture(platform.pasteboard);
    std::exception_ptr failure;
    try {
        co_await pasteAndSend(platform, std::move(email), std::move(target), std::move(instruction),
                              sendAutomatically, Duration(config.openDelay), *appURL, cancel);
    } catch (...) {
        failure = std::current_exception();
    }
    snapshot.restore(platform.pasteboard);
    if (failure)
        std::rethrow_exception(failure);
}

QCoro::Task<void> reveal(ClaudePlatform platform, ChatTarget target) {
    if (target.is<ChatTarget::NewChat>() || target.is<ChatTarget::Incognito>())
        co_return;
    if (!platform.accessibility.isTrusted(true))
        throw ClaudeError::noAccessibility();
    auto appURL = platform.workspace.applicationLocation(bundleIdentifier);
    if (!appURL)
        throw ClaudeError::notInstalled();
    co_await openChat(platform, std::move(target), *appURL, {});
}

QCoro::Task<void> waitForInputReady(ClaudePlatform platform, Duration minimumDelay, CancelToken cancel) {
    co_await pause(platform, minimumDelay, cancel);
    const Clock::Ticks deadline = deadlineAfter(platform.clock, inputDeadline);
    while (beforeDeadline(platform.clock, deadline) && !cancel.isCancelled()) {
        if (ClaudeSidebar::focusedInputLength(platform))
            co_return;
        co_await pause(platform, inputPoll, cancel);
    }
}

QCoro::Task<void> waitForPasteToSettle(ClaudePlatform platform, int characters, CancelToken cancel) {
    if (!ClaudeSidebar::focusedInputLength(platform)) {
        co_await pause(platform, fallbackSettle(characters), cancel);
        co_return;
    }
    const Clock::Ticks deadline = deadlineAfter(platform.clock, settleDeadline);
    int last = -1;
    bool fresh = true;
    while (beforeDeadline(platform.clock, deadline) && !cancel.isCancelled()) {
        co_await pause(platform, settlePoll, cancel);
        int length = ClaudeSidebar::focusedInputLength(platform).value_or(last);
        if (length != last || length <= 0) {
            last = length;
            fresh = true;
        } else if (fresh) {
            fresh = false;
        } else {
            co_return;
        }
    }
}

Clock::Duration fallbackSettle(int characters) {
    int milliseconds = std::min(characters / settleFallbackCharactersPerMs, settleFallbackCapMs) + settleFallbackBaseMs;
    return Duration(milliseconds / 1000.0);
}

double uploadWait(const std::vector<std::string>& paths) {
    std::uintmax_t total = 0;
    for (const auto& path : paths) {
        std::error_code error;
        auto size = std::filesystem::file_size(path, error);
        if (!error)
            total += size;
    }
    return std::min(uploadBaseSeconds + double(total) / uploadBytesPerSecond, uploadMaximumSeconds);
}

} // namespace pellora::ClaudeBridge
