#pragma once

#include <functional>
#include <string>
#include <vector>

#include "Pellora/Settings/RouteEditor.h"
#include "Pellora/Shell/ChooserResult.h"
#include "PelloraCore/Router.h"

namespace pellora {

// Asks, in a small modal window built from the route editor, where an email without a route
// goes. Decides nothing itself: the caller stores, sends or cancels.
namespace RouteChooser {

// Blocks in a modal loop until the user answers; `cancel` when the window closes without
// one of the editor's buttons. `loadChats` lists the chat titles of Claude's sidebar.
ChooserResult ask(const Router::RouteSuggestion& suggestion, const std::string& previewPrompt,
                  std::function<std::vector<std::string>()> loadChats);

// What the chooser hands the editor: its texts, the starting route and the suggestion (no
// callbacks yet).
RouteEditor::Inputs editorInputs(const Router::RouteSuggestion& suggestion, const std::string& previewPrompt,
                                 std::function<std::vector<std::string>()> loadChats);

} // namespace RouteChooser
} // namespace pellora
