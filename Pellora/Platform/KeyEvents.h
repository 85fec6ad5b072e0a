#pragma once

#include <cstdint>

namespace pellora {

// Synthetic key strokes that reach the application in front, and the modifier keys held.
class KeyEvents {
public:
    // Modifier flags as the platform reports them.
    enum Modifier : std::uint64_t {
        shift = 0x20000,
        control = 0x40000,
        option = 0x80000,
        command = 0x100000,
    };
    static constexpr std::uint64_t anyModifier = 0x1E0000;

    // Virtual key codes used by the application.
    enum Key : std::uint16_t {
        keyV = 9,
        keyN = 45,
        keyReturn = 36,
    };

    virtual ~KeyEvents() = default;
    // The modifier keys held down at this moment.
    virtual std::uint64_t modifierFlags() const = 0;
    // One key stroke: key down, then key up, both with `flags`; no pause between them.
    virtual void postKeyStroke(std::uint16_t keyCode, std::uint64_t flags) = 0;
};

} // namespace pellora
