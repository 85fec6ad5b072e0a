#include "X11HotKeys.h"

#include <algorithm>
#include <cstdlib>
#include <memory>

#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>
#include <xcb/xcb.h>

namespace pellora {
namespace {

// Keysyms of the modifier keys looked up in the server's modifier mapping.
constexpr xcb_keysym_t numLockKeysym = 0xff7f;
constexpr xcb_keysym_t superLeftKeysym = 0xffeb;
constexpr xcb_keysym_t superRightKeysym = 0xffec;
constexpr xcb_keysym_t altLeftKeysym = 0xffe9;
constexpr xcb_keysym_t altRightKeysym = 0xffea;

// Carbon's modifier bits besides Command and Option.
constexpr int shiftKey = 0x200;
constexpr int controlKey = 0x1000;

// The character keys of the US layout by macOS virtual key code (a is 0, s is 1, r is 15);
// their keysyms are the characters themselves. A zero marks a code that is not such a key.
constexpr char usLayoutKeys[] = "asdfhgzxcv\0bqweryt123465=97-80]ou[ip\0lj'k;\\,/nm.";
static_assert(sizeof usLayoutKeys == 49);

struct FreeReply {
    void operator()(void* reply) const { std::free(reply); }
};
template <typename T> using Reply = std::unique_ptr<T, FreeReply>;

// The server's keyboard and modifier mappings, read afresh for each registration.
class KeyboardMap {
public:
    explicit KeyboardMap(xcb_connection_t* connection) {
        const xcb_setup_t* setup = xcb_get_setup(connection);
        minKeycode_ = setup->min_keycode;
        const auto keyboardCookie = xcb_get_keyboard_mapping(
            connection, setup->min_keycode, setup->max_keycode - setup->min_keycode + 1);
        const auto modifierCookie = xcb_get_modifier_mapping(connection);
        Reply<xcb_get_keyboard_mapping_reply_t> keyboard(
            xcb_get_keyboard_mapping_reply(connection, keyboardCookie, nullptr));
        Reply<xcb_get_modifier_mapping_reply_t> modifiers(
            xcb_get_modifier_mapping_reply(connection, modifierCookie, nullptr));
        if (keyboard) {
            perKeycode_ = keyboard->keysyms_per_keycode;
            const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(keyboard.get());
            keysyms_.assign(syms, syms + xcb_get_keyboard_mapping_keysyms_length(keyboard.get()));
        }
        if (modifiers) {
            perModifier_ = modifiers->keycodes_per_modifier;
            const xcb_keycode_t* codes = xcb_get_modifier_mapping_keycodes(modifiers.get());
            modifierKeycodes_.assign(
                codes, codes + xcb_get_modifier_mapping_keycodes_length(modifiers.get()));
        }
    }

    // The keycode that produces `keysym`, preferring a key that gives it unshifted; 0 if none.
    xcb_keycode_t keycodeOf(xcb_keysym_t keysym) const {
        if (perKeycode_ == 0)
            return 0;
        for (std::size_t column = 0; column < perKeycode_; ++column)
            for (std::size_t index = column; index < keysyms_.size(); index += perKeycode_)
                if (keysyms_[index] == keysym)
                    return static_cast<xcb_keycode_t>(minKeycode_ + index / perKeycode_);
        return 0;
    }

    // The modifier mask that a key producing `keysym` sets; 0 when no modifier holds one.
    std::uint16_t modifierOf(xcb_keysym_t keysym) const {
        for (std::size_t slot = 0; slot < modifierKeycodes_.size(); ++slot) {
            const xcb_keycode_t keycode = modifierKeycodes_[slot];
            if (keycode != 0 && produces(keycode, keysym))
                return static_cast<std::uint16_t>(1u << (slot / perModifier_));
        }
        return 0;
    }

private:
    bool produces(xcb_keycode_t keycode, xcb_keysym_t keysym) const {
        if (keycode < minKeycode_)
            return false;
        const std::size_t first = std::size_t(keycode - minKeycode_) * perKeycode_;
        for (std::size_t index = first; index < first + perKeycode_ && index < keysyms_.size();
             ++index)
            if (keysyms_[index] == keysym)
                return true;
        return false;
    }

    xcb_keycode_t minKeycode_ = 0;
    std::size_t perKeycode_ = 0;
    std::vector<xcb_keysym_t> keysyms_;
    std::size_t perModifier_ = 1;
    std::vector<xcb_keycode_t> modifierKeycodes_;
};

std::uint16_t modifierOr(const KeyboardMap& map, xcb_keysym_t left, xcb_keysym_t right,
                         std::uint16_t fallback) {
    if (const std::uint16_t mask = map.modifierOf(left))
        return mask;
    if (const std::uint16_t mask = map.modifierOf(right))
        return mask;
    return fallback;
}

// Returns once the server has carried out every request sent before, so a released grab is
// free for other clients when the caller goes on.
void roundTrip(xcb_connection_t* connection) {
    Reply<xcb_get_input_focus_reply_t>(
        xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
}

xcb_connection_t* qtConnection() {
    const auto* app = qGuiApp;
    if (!app)
        return nullptr;
    const auto* x11 = app->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

// Shift, Lock, Control and Mod1 to Mod5: the bits of a key event's state that are keys.
constexpr std::uint16_t keyModifierBits = 0xFF;

} // namespace

X11HotKeys::X11HotKeys() : connection_(qtConnection()) {
    if (!connection_)
        return;
    for (auto it = xcb_setup_roots_iterator(xcb_get_setup(connection_)); it.rem;
         xcb_screen_next(&it))
        roots_.push_back(it.data->root);
}

X11HotKeys::~X11HotKeys() {
    if (filterInstalled_ && QCoreApplication::instance())
        QCoreApplication::instance()->removeNativeEventFilter(this);
    // The connection dies with the application; only a live one is told.
    if (connection_ && qtConnection() == connection_) {
        for (const Grab& grab : grabs_)
            ungrab(grab.keycode, grab.variants);
        roundTrip(connection_);
    }
}

bool X11HotKeys::available() {
    return qtConnection() != nullptr;
}

void X11HotKeys::installHandler(std::function<void(std::uint32_t)> handler) {
    handler_ = std::move(handler);
    if (!filterInstalled_ && connection_ && QCoreApplication::instance()) {
        QCoreApplication::instance()->installNativeEventFilter(this);
        filterInstalled_ = true;
    }
}

bool X11HotKeys::registerHotKey(int keyCode, int modifiers, std::uint32_t id) {
    if (!connection_ || keyCode < 0 || keyCode >= int(sizeof usLayoutKeys - 1) ||
        usLayoutKeys[keyCode] == '\0')
        return false;

    const KeyboardMap map(connection_);
    const xcb_keycode_t keycode = map.keycodeOf(static_cast<unsigned char>(usLayoutKeys[keyCode]));
    if (keycode == 0)
        return false;

    // Command and Option are whichever modifiers the server gives Super and Alt.
    const struct {
        int carbon;
        std::uint16_t x;
    } translation[] = {
        {HotKeys::commandKey, modifierOr(map, superLeftKeysym, superRightKeysym, XCB_MOD_MASK_4)},
        {HotKeys::optionKey, modifierOr(map, altLeftKeysym, altRightKeysym, XCB_MOD_MASK_1)},
        {shiftKey, XCB_MOD_MASK_SHIFT},
        {controlKey, XCB_MOD_MASK_CONTROL},
    };
    std::uint16_t mask = 0;
    int untranslated = modifiers;
    for (const auto& entry : translation) {
        if (untranslated & entry.carbon) {
            mask |= entry.x;
            untranslated &= ~entry.carbon;
        }
    }
    if (untranslated != 0)
        return false;

    // X counts Caps Lock and Num Lock as modifiers: without these variants the shortcut
    // would go dead whenever either is on.
    const std::uint16_t numLock = map.modifierOf(numLockKeysym);
    std::vector<std::uint16_t> variants;
    for (const std::uint16_t locks : {std::uint16_t(0), std::uint16_t(XCB_MOD_MASK_LOCK), numLock,
                                      std::uint16_t(XCB_MOD_MASK_LOCK | numLock)}) {
        const std::uint16_t variant = mask | locks;
        if (std::find(variants.begin(), variants.end(), variant) == variants.end())
            variants.push_back(variant);
    }

    // A combination this object already holds: X would quietly let the second grab replace
    // the first, leaving one of the two registrations dead.
    for (const Grab& grab : grabs_)
        if (grab.keycode == keycode &&
            std::find(grab.variants.begin(), grab.variants.end(), mask) != grab.variants.end())
            return false;

    std::vector<xcb_void_cookie_t> cookies;
    for (const std::uint32_t root : roots_)
        for (const std::uint16_t variant : variants)
            cookies.push_back(xcb_grab_key_checked(connection_, 0, root, variant, keycode,
                                                   XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    bool refused = roots_.empty();
    for (const auto& cookie : cookies) {
        // BadAccess: another client holds this combination.
        if (Reply<xcb_generic_error_t> error{xcb_request_check(connection_, cookie)})
            refused = true;
    }
    if (refused) {
        // Releases only what this client got; other clients' grabs are left as they are.
        ungrab(keycode, variants);
        roundTrip(connection_);
        return false;
    }
    grabs_.push_back(Grab{keycode, std::move(variants), id});
    return true;
}

void X11HotKeys::ungrab(std::uint8_t keycode, const std::vector<std::uint16_t>& variants) const {
    for (const std::uint32_t root : roots_)
        for (const std::uint16_t variant : variants)
            xcb_ungrab_key(connection_, keycode, root, variant);
}

const X11HotKeys::Grab* X11HotKeys::grabFor(std::uint8_t keycode, std::uint16_t state) const {
    const std::uint16_t pressed = state & keyModifierBits;
    for (const Grab& grab : grabs_)
        if (grab.keycode == keycode &&
            std::find(grab.variants.begin(), grab.variants.end(), pressed) != grab.variants.end())
            return &grab;
    return nullptr;
}

bool X11HotKeys::isRoot(std::uint32_t window) const {
    return std::find(roots_.begin(), roots_.end(), window) != roots_.end();
}

bool X11HotKeys::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t")
        return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    const std::uint8_t type = event->response_type & 0x7F;
    if (type != XCB_KEY_PRESS && type != XCB_KEY_RELEASE)
        return false;
    // Key presses and releases share one layout. Only grabs report keys on a root window:
    // keys typed into the application's own windows pass by.
    const auto* key = reinterpret_cast<const xcb_key_press_event_t*>(event);
    if (!isRoot(key->event))
        return false;

    if (type == XCB_KEY_RELEASE) {
        lastRelease_ = {key->detail, key->time};
        return held_.erase(key->detail) > 0 || grabFor(key->detail, key->state) != nullptr;
    }

    const Grab* grab = grabFor(key->detail, key->state);
    if (!grab)
        return false;
    // A key held down repeats: the server either presses it again, or (as it does for Qt's
    // connection) sends a release and a press with one timestamp. One stroke fires once.
    const bool repeated =
        held_.count(key->detail) > 0 ||
        (lastRelease_ && lastRelease_->first == key->detail && lastRelease_->second == key->time);
    held_.insert(key->detail);
    lastRelease_.reset();
    if (repeated)
        return true;
    // The handler runs from the event loop, never inside Qt's event dispatch.
    const std::uint32_t id = grab->id;
    QMetaObject::invokeMethod(
        &dispatchContext_,
        [this, id] {
            if (handler_)
                handler_(id);
        },
        Qt::QueuedConnection);
    return true;
}

} // namespace pellora
