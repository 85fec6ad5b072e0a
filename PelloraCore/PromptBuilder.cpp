#include "PromptBuilder.h"

#include "Text.h"

namespace pellora::PromptBuilder {

std::string compose(std::string_view actionPrompt,
                    const std::optional<std::string>& routeInstructions) {
    const std::string route = routeInstructions ? Text::trimmed(*routeInstructions) : std::string();
    if (route.empty())
        return std::string(actionPrompt);
    const std::string standing = "Standing instructions for this client:\n" + route;
    const std::string action = Text::trimmed(actionPrompt);
    if (action.empty())
        return standing;
    return action + "\n\n" + standing;
}

} // namespace pellora::PromptBuilder
