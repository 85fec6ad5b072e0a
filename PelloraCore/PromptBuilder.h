#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace pellora::PromptBuilder {

// The instruction placed above an email: the action's prompt, then the route's standing
// instructions. Without route instructions the action prompt passes through untouched.
std::string compose(std::string_view actionPrompt,
                    const std::optional<std::string>& routeInstructions);

} // namespace pellora::PromptBuilder
