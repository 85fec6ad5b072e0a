#pragma once

namespace pellora {

class Accessibility;
class Clock;
class KeyEvents;
class Pasteboard;
class Workspace;

// The outside services that driving Claude needs, handed to ClaudeBridge and ClaudeSidebar.
struct ClaudePlatform {
    Workspace& workspace;
    Accessibility& accessibility;
    KeyEvents& keys;
    Pasteboard& pasteboard;
    Clock& clock;
};

} // namespace pellora
