#pragma once

#include <string>

#include <QCoro/QCoroTask>

#include "Pellora/Claude/ClaudePlatform.h"
#include "Pellora/Platform/CancelToken.h"
#include "PelloraCore/ChatTarget.h"
#include "PelloraCore/Config.h"
#include "PelloraCore/Email.h"

namespace pellora {

// Puts one email into the Claude desktop app as a person would: opens the destination,
// waits for the message box, pastes the text and each attachment, sends when asked, and
// puts the user's pasteboard back.
namespace ClaudeBridge {

inline constexpr const char* bundleIdentifier = "com.anthropic.claudefordesktop";

// Throws ClaudeError, Workspace::Error, or Cancelled when `cancel` fires during the
// attachment and final pauses. The pasteboard is restored on every way out once taken.
QCoro::Task<void> deliver(ClaudePlatform platform, Email email, ChatTarget target,
                          std::string instruction, bool sendAutomatically, Config config,
                          CancelToken cancel = {});

// Shows the destination without pasting; a new or incognito chat returns at once.
QCoro::Task<void> reveal(ClaudePlatform platform, ChatTarget target);

} // namespace ClaudeBridge
} // namespace pellora
