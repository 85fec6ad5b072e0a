#pragma once

#include "Pellora/Claude/ClaudePlatform.h"

namespace pellora {

class Accessibility;
class Clock;
class KeyEvents;
class Pasteboard;
class ScriptRunner;
class Workspace;

// The outside services the application runs on, chosen once by the composition root.
struct AppServices {
    Workspace& workspace;
    ScriptRunner& scripts;
    Accessibility& accessibility;
    KeyEvents& keys;
    Pasteboard& pasteboard;
    Clock& clock;

    ClaudePlatform claude() const { return {workspace, accessibility, keys, pasteboard, clock}; }
};

} // namespace pellora
