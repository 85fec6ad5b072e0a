#include "Pellora/Claude/ClaudeError.h"

namespace pellora {

std::string ClaudeError::description() const {
    switch (kind_) {
    case Kind::chatNotFound:
        return "Couldn't find the chat \u201C" + subject_ +
               "\u201D in Claude's sidebar. Scroll it into view, or route this domain by chat link instead.";
    case Kind::projectNotFound:
        return "Couldn't find the project \u201C" + subject_ +
               "\u201D in Claude. Add the project's link in Settings \u2192 Routes for a more reliable match.";
    case Kind::notInstalled:
        return "The Claude desktop app was not found.";
    case Kind::noAccessibility:
        return "Accessibility permission is required to paste into Claude. Enable Tovrin in System "
               "Settings \u2192 Privacy & Security \u2192 Accessibility.";
    }
    return {};
}

} // namespace pellora
