#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <utility>
#include <vector>

#include <QAbstractNativeEventFilter>
#include <QObject>

#include "Pellora/Platform/HotKeys.h"

struct xcb_connection_t;

namespace pellora {

// System-wide shortcuts on X11: passive key grabs on the root windows of Qt's own X
// connection, so the presses arrive through Qt's native event filter on the main thread.
// Command is Super and Option is Alt. Without an X11 connection every registration fails.
class X11HotKeys : public HotKeys, private QAbstractNativeEventFilter {
public:
    X11HotKeys();
    ~X11HotKeys() override;
    X11HotKeys(const X11HotKeys&) = delete;
    X11HotKeys& operator=(const X11HotKeys&) = delete;

    // Whether the application runs on an X server, where keys can be grabbed.
    static bool available();

    void installHandler(std::function<void(std::uint32_t id)> handler) override;
    // Fails for a key code that is not a character key of the US layout, a modifier bit
    // other than Command, Option, Shift and Control, a combination this object already
    // holds, and a combination another client has grabbed.
    bool registerHotKey(int keyCode, int modifiers, std::uint32_t id) override;

private:
    struct Grab {
        std::uint8_t keycode;
        // Every modifier mask grabbed: the combination alone and with Caps Lock and Num Lock.
        std::vector<std::uint16_t> variants;
        std::uint32_t id;
    };

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;
    void ungrab(std::uint8_t keycode, const std::vector<std::uint16_t>& variants) const;
    const Grab* grabFor(std::uint8_t keycode, std::uint16_t state) const;
    bool isRoot(std::uint32_t window) const;

    xcb_connection_t* connection_ = nullptr;
    std::vector<std::uint32_t> roots_;
    std::vector<Grab> grabs_;
    std::function<void(std::uint32_t)> handler_;
    bool filterInstalled_ = false;
    // Grabbed keys held down, and the last release (keycode, server time): both tell a
    // key's auto-repeat from a new stroke.
    std::set<std::uint8_t> held_;
    std::optional<std::pair<std::uint8_t, std::uint32_t>> lastRelease_;
    // Owns the queued calls of the handler, so none runs after this object is gone.
    QObject dispatchContext_;
};

} // namespace pellora
