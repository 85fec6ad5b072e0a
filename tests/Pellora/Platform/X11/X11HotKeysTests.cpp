#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include <QAbstractEventDispatcher>
#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QEventLoop>
#include <QGuiApplication>
#include <QTimer>
#include <QtGui/qguiapplication_platform.h>
#include <gtest/gtest.h>

#include "App/ActionShortcuts.h"
#include "Pellora/Platform/X11/X11HotKeys.h"
#include "Pellora/Shell/HotKeyCenter.h"

// Xlib last: its macros (None, Bool, KeyPress…) clash with Qt's names.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <xcb/xcb.h>

namespace pellora {
namespace {

using Chord = std::vector<KeySym>;

// Runs Qt's event loop until Qt has handled every X event sent to it so far: a property
// change on a window of Qt's own connection comes back after everything queued before it.
class EventBarrier : public QAbstractNativeEventFilter {
public:
    EventBarrier()
        : connection_(qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection()),
          window_(xcb_generate_id(connection_)) {
        const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
        const std::uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_create_window(connection_, XCB_COPY_FROM_PARENT, window_, screen->root, 0, 0, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &events);
        QCoreApplication::instance()->installNativeEventFilter(this);
    }
    ~EventBarrier() override {
        QCoreApplication::instance()->removeNativeEventFilter(this);
        xcb_destroy_window(connection_, window_);
        xcb_flush(connection_);
    }

    bool pass() {
        const std::uint32_t round = ++sent_;
        xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, window_, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                            sizeof round, &round);
        xcb_flush(connection_);
        if (seen_ < round) {
            QEventLoop loop;
            loop_ = &loop;
            QTimer::singleShot(10000, &loop, &QEventLoop::quit); // only a broken server gets here
            loop.exec();
            loop_ = nullptr;
        }
        QCoreApplication::sendPostedEvents(); // presses hand their handler calls to the event loop
        return seen_ >= round;
    }

private:
    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        if (type == "xcb_generic_event_t" && (event->response_type & 0x7F) == XCB_PROPERTY_NOTIFY &&
            reinterpret_cast<const xcb_property_notify_event_t*>(event)->window == window_) {
            ++seen_;
            if (loop_)
                loop_->quit();
        }
        return false;
    }

    xcb_connection_t* connection_;
    xcb_window_t window_;
    std::uint32_t sent_ = 0;
    std::uint32_t seen_ = 0;
    QEventLoop* loop_ = nullptr;
};

int lastXError = 0;
int recordXError(Display*, XErrorEvent* error) {
    lastXError = error->error_code;
    return 0;
}

const unsigned superAlt = Mod4Mask | Mod1Mask;
Chord optionCommand(KeySym key) { return {XK_Super_L, XK_Alt_L, key}; }

// Another X client (a connection of its own) that grabs keys and types through XTest.
class X11HotKeysTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!X11HotKeys::available()) {
            // scripts/test always provides a server: there, a missing one is a failure.
            if (std::getenv("PELLORA_X11_REQUIRED"))
                FAIL() << "No X11 display although PELLORA_X11_REQUIRED is set";
            GTEST_SKIP() << "No X11 display: these tests need QT_QPA_PLATFORM=xcb and a DISPLAY "
                            "(scripts/test runs them on a private Xvfb).";
        }
        other_ = XOpenDisplay(nullptr);
        ASSERT_NE(other_, nullptr);
        int event, error, major, minor;
        ASSERT_TRUE(XTestQueryExtension(other_, &event, &error, &major, &minor));
        numLock_ = XkbKeysymToModifiers(other_, XK_Num_Lock);
        ASSERT_NE(numLock_, 0u) << "the server maps no modifier to Num Lock";
        setLocks(0);
        barrier_ = std::make_unique<EventBarrier>();
    }

    void TearDown() override {
        if (!other_)
            return;
        // Leaves the shared server as found: no key held, no lock on, no grab.
        char keys[32];
        XQueryKeymap(other_, keys);
        for (int code = 0; code < 256; ++code)
            if (keys[code / 8] & (1 << (code % 8)))
                XTestFakeKeyEvent(other_, code, False, CurrentTime);
        setLocks(0);
        XUngrabKey(other_, AnyKey, AnyModifier, DefaultRootWindow(other_));
        XCloseDisplay(other_);
    }

    KeyCode code(KeySym sym) const { return XKeysymToKeycode(other_, sym); }

    // Turns Caps Lock and Num Lock on or off (a mask of LockMask and numLock_).
    void setLocks(unsigned wanted) {
        XkbStateRec state;
        XkbGetState(other_, XkbUseCoreKbd, &state);
        for (const auto& [mask, sym] : {std::pair{unsigned(LockMask), XK_Caps_Lock}, std::pair{numLock_, XK_Num_Lock}})
            if ((state.locked_mods & mask) != (wanted & mask)) {
                XTestFakeKeyEvent(other_, code(sym), True, CurrentTime);
                XTestFakeKeyEvent(other_, code(sym), False, CurrentTime);
            }
        XSync(other_, False);
    }

    // Holds the keys down in order, releases them in reverse and waits until Qt has seen it all.
    void press(const Chord& chord) {
        for (KeySym sym : chord)
            XTestFakeKeyEvent(other_, code(sym), True, CurrentTime);
        for (auto sym = chord.rbegin(); sym != chord.rend(); ++sym)
            XTestFakeKeyEvent(other_, code(*sym), False, CurrentTime);
        XSync(other_, False);
        ASSERT_TRUE(barrier_->pass());
    }

    // Grabs the combination for the other client; false when the server refused it.
    bool grabElsewhere(KeySym sym, unsigned modifiers) {
        const auto previous = XSetErrorHandler(recordXError);
        lastXError = 0;
        XGrabKey(other_, code(sym), modifiers, DefaultRootWindow(other_), False, GrabModeAsync, GrabModeAsync);
        XSync(other_, False);
        XSetErrorHandler(previous);
        return lastXError == 0;
    }

    Display* other_ = nullptr;
    unsigned numLock_ = 0;
    std::unique_ptr<EventBarrier> barrier_;
};

TEST_F(X11HotKeysTest, EachActionsPressReachesOnlyItsHandlerWhateverTheLocks) {
    X11HotKeys platform;
    HotKeyCenter center(platform);
    std::vector<std::string> pressed;
    ASSERT_EQ(pellora::testing::registerActionShortcuts(center, pressed), std::vector<std::string>{});

    struct Case {
        Chord chord;
        std::vector<std::string> actions;
        unsigned locks = 0;
    };
    const std::vector<Case> cases{
        {optionCommand(XK_c), {"pasteOnly"}},
        {optionCommand(XK_r), {"reply"}},
        {optionCommand(XK_2), {"custom2"}, LockMask},
        {optionCommand(XK_s), {"summary"}, numLock_},
        {optionCommand(XK_d), {"research"}, LockMask | numLock_},
        {optionCommand(XK_1), {"custom1"}},
        // Other combinations call nothing.
        {optionCommand(XK_x), {}},
        {{XK_Super_L, XK_r}, {}},
        {{XK_Alt_L, XK_r}, {}},
        {{XK_r}, {}},
        {{XK_Shift_L, XK_Super_L, XK_Alt_L, XK_r}, {}},
        {{XK_Control_L, XK_Super_L, XK_Alt_L, XK_r}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(XKeysymToString(c.chord.back()) + std::string(" after ") + std::to_string(c.chord.size() - 1));
        setLocks(c.locks);
        pressed.clear();
        press(c.chord);
        EXPECT_EQ(pressed, c.actions);
    }
}

TEST_F(X11HotKeysTest, AGrabHeldElsewhereRefusesItsCombinationAloneAndNoGrabIsLeftBehind) {
    // One lock variant held elsewhere refuses the whole registration and frees what it got.
    for (const unsigned held : {unsigned(LockMask), numLock_, LockMask | numLock_}) {
        SCOPED_TRACE(held);
        ASSERT_TRUE(grabElsewhere(XK_c, superAlt | held));
        EXPECT_FALSE(X11HotKeys().registerHotKey(8, 0x900, 1));
        EXPECT_TRUE(grabElsewhere(XK_c, superAlt));
        XUngrabKey(other_, AnyKey, AnyModifier, DefaultRootWindow(other_));
    }
    // Every variant goes with the object.
    {
        X11HotKeys platform;
        ASSERT_TRUE(platform.registerHotKey(15, 0x900, 1));
        EXPECT_FALSE(grabElsewhere(XK_r, superAlt | LockMask));
    }
    for (const unsigned locks : {0u, unsigned(LockMask), numLock_, LockMask | numLock_})
        EXPECT_TRUE(grabElsewhere(XK_r, superAlt | locks)) << locks;
    XUngrabKey(other_, AnyKey, AnyModifier, DefaultRootWindow(other_));

    // A combination held elsewhere fails alone, is named in the alert, and reaches the holder.
    ASSERT_TRUE(grabElsewhere(XK_s, superAlt));
    X11HotKeys platform;
    HotKeyCenter center(platform);
    std::vector<std::string> pressed;
    EXPECT_EQ(HotKeyCenter::unavailableText(pellora::testing::registerActionShortcuts(center, pressed)),
              "⌥⌘S is already used by another app.");
    press(optionCommand(XK_s));
    press(optionCommand(XK_r));
    EXPECT_EQ(pressed, std::vector<std::string>{"reply"});
}

TEST_F(X11HotKeysTest, CarbonModifiersBecomeSuperAltShiftAndControlAndTheRestIsRefused) {
    struct Case {
        int keyCode;
        int modifiers;
        Chord chord; // empty: refused
    };
    // R three times: only the modifiers tell these apart. No key twice in a row: a release and
    // a press of one key within the same millisecond would pass for the key's auto-repeat.
    const std::vector<Case> cases{
        {15, 0x100, {XK_Super_L, XK_r}},
        {1, 0x300, {XK_Shift_L, XK_Super_L, XK_s}},
        {15, 0x800, {XK_Alt_L, XK_r}},
        {2, 0x1100, {XK_Control_L, XK_Super_L, XK_d}},
        {15, 0x900, {XK_Alt_L, XK_Super_L, XK_r}},
        {18, 0x1A00, {XK_Control_L, XK_Shift_L, XK_Alt_L, XK_1}},
        {15, 0x900, {}},  // already held here
        {36, 0x900, {}},  // Return
        {10, 0x900, {}},  // the ISO section key
        {122, 0x900, {}}, // F1
        {-1, 0x900, {}},
        {15, 0xD00, {}},  // Caps Lock's bit
        {15, 0x2900, {}}, // right Shift's bit
    };
    X11HotKeys platform;
    std::vector<std::uint32_t> ids;
    platform.installHandler([&](std::uint32_t id) { ids.push_back(id); });
    for (std::uint32_t id = 1; id <= cases.size(); ++id)
        EXPECT_EQ(platform.registerHotKey(cases[id - 1].keyCode, cases[id - 1].modifiers, id),
                  !cases[id - 1].chord.empty())
            << id;
    for (auto c = cases.rbegin(); c != cases.rend(); ++c)
        if (!c->chord.empty())
            press(c->chord);
    EXPECT_EQ(ids, (std::vector<std::uint32_t>{6, 5, 4, 3, 2, 1}));
}

// The server's own key repeat runs on the wall clock, so its events are handed to Qt's
// native event filters directly, with the timestamps it would give them.
TEST_F(X11HotKeysTest, AHeldKeyFiresOnceAndEachNewStrokeAgain) {
    X11HotKeys platform;
    std::vector<std::uint32_t> ids;
    platform.installHandler([&](std::uint32_t id) { ids.push_back(id); });
    ASSERT_TRUE(platform.registerHotKey(2, 0x900, 3));

    const xcb_window_t root = DefaultRootWindow(other_);
    const xcb_window_t own = root + 1; // any window but the root
    struct Event {
        std::uint8_t type;
        std::uint32_t time;
        xcb_window_t window;
    };
    const std::vector<Event> events{
        {XCB_KEY_PRESS, 100, root},
        {XCB_KEY_RELEASE, 600, root}, // repeat as a release and a press at one time
        {XCB_KEY_PRESS, 600, root},
        {XCB_KEY_PRESS, 630, root}, // repeat as a second press
        {XCB_KEY_RELEASE, 700, root},
        {XCB_KEY_PRESS, 900, own}, // typed into a window of the application: passed on
        {XCB_KEY_RELEASE, 950, own},
        {XCB_KEY_PRESS, 1200, root},
        {XCB_KEY_RELEASE, 1300, root},
    };
    for (const Event& e : events) {
        SCOPED_TRACE(e.time);
        xcb_key_press_event_t key{};
        key.response_type = e.type;
        key.detail = code(XK_d);
        key.time = e.time;
        key.root = root;
        key.event = e.window;
        key.state = superAlt;
        qintptr result = 0;
        EXPECT_EQ(QAbstractEventDispatcher::instance()->filterNativeEvent("xcb_generic_event_t", &key, &result),
                  e.window == root);
    }
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(ids, (std::vector<std::uint32_t>{3, 3}));
}

} // namespace
} // namespace pellora
