#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <QCoro/QCoroTask>

#include "Pellora/Claude/ClaudePlatform.h"
#include "Pellora/Platform/CancelToken.h"
#include "Pellora/Platform/Clock.h"
#include "Pellora/Platform/KeyEvents.h"
#include "PelloraCore/ChatTarget.h"
#include "PelloraCore/Config.h"
#include "PelloraCore/Email.h"

namespace pellora {

// Puts one email into the Claude desktop app as a person would: opens the destination,
// waits for the message box, pastes the text and each attachment, sends when asked, and
// puts the user's pasteboard back.
namespace ClaudeBridge {

inline constexpr const char* bundleIdentifier = "com.anthropic.claudefordesktop";

// A shortcut's modifiers still held would turn our Command-V into something else.
inline constexpr std::uint64_t watchedModifiers = KeyEvents::anyModifier;
inline constexpr int modifierWaitRounds = 50;
inline constexpr Clock::Duration modifierWaitStep{0.020};

inline constexpr Clock::Duration activationDeadline{3.0};
inline constexpr Clock::Duration activationPoll{0.050};
inline constexpr Clock::Duration activationSettle{0.250};

// Before looking for the message box: a new chat is ready quickly; everything else gets
// Config::openDelay.
inline constexpr Clock::Duration newChatInputDelay{0.3};
inline constexpr Clock::Duration inputDeadline{3.0};
inline constexpr Clock::Duration inputPoll{0.100};

inline constexpr Clock::Duration settlePoll{0.120};
inline constexpr Clock::Duration settleDeadline{10.0};
// Fallback when nothing can be measured: min(characters / 30, cap) + base, in ms.
inline constexpr int settleFallbackCharactersPerMs = 30;
inline constexpr int settleFallbackCapMs = 1700;
inline constexpr int settleFallbackBaseMs = 300;

inline constexpr Clock::Duration attachmentPause{0.300};
inline constexpr double uploadBaseSeconds = 0.4;
inline constexpr double uploadBytesPerSecond = 4'000'000;
inline constexpr double uploadMaximumSeconds = 10.0;
inline constexpr Clock::Duration restorePause{0.300};

// Throws ClaudeError, Workspace::Error, or Cancelled when `cancel` fires during the
// attachment and final pauses. The pasteboard is restored on every way out once taken.
QCoro::Task<void> deliver(ClaudePlatform platform, Email email, ChatTarget target,
                          std::string instruction, bool sendAutomatically, Config config,
                          CancelToken cancel = {});

// Shows the destination without pasting; a new or incognito chat returns at once.
QCoro::Task<void> reveal(ClaudePlatform platform, ChatTarget target);

// The waits of a delivery. None fails; cancellation only cuts them short.

// Sleeps `minimumDelay`, then polls up to inputDeadline for a focused text input in Claude.
QCoro::Task<void> waitForInputReady(ClaudePlatform platform, Clock::Duration minimumDelay,
                                    CancelToken cancel = {});
// Until the focused input's length has read the same positive value three times in a row
// (or settleDeadline); a fixed wait by `characters` when nothing can be measured.
QCoro::Task<void> waitForPasteToSettle(ClaudePlatform platform, int characters,
                                       CancelToken cancel = {});
// The fixed wait used when the pasted length cannot be measured.
Clock::Duration fallbackSettle(int characters);
// Seconds to give Claude to upload the files; unreadable files count as empty.
double uploadWait(const std::vector<std::string>& paths);

} // namespace ClaudeBridge
} // namespace pellora
