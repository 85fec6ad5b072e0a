// The composition root: the one place that picks implementations. On Linux Tovrin runs on
// the simulated desktop (Mail and Claude as two windows); everything else is the real thing.

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <utility>

#include <QAbstractNativeEventFilter>
#include <QApplication>
#include <QGuiApplication>
#include <QTimer>
#include <X11/Xlib.h>
#include <X11/keysym.h>
#include <xcb/xcb.h>

#include "Pellora/Platform/Bundle.h"
#include "Pellora/Platform/HotKeys.h"
#include "Pellora/Platform/QtClock.h"
#include "Pellora/Platform/QtPasteboard.h"
#include "Pellora/Platform/Sim/SimEnvironment.h"
#include "Pellora/Platform/UserFolders.h"
#include "Pellora/Shell/AppDelegate.h"
#include "Pellora/Shell/Brand.h"
#include "Pellora/Shell/Log.h"
#include "Pellora/Shell/QtShellUI.h"
#include "Pellora/Shell/QtStatusBar.h"
#include "Pellora/Shell/Symbols.h"
#include "Pellora/Updates/InstallPipeline.h"

namespace {

using namespace pellora;

// Stands in until the update installer is built: says so and changes nothing.
class InstallerNotAvailable : public InstallPipeline {
public:
    QCoro::Task<void> install(const UpdateInfo&, std::function<void(const std::string&)>) override {
        Log::write("update installer: not available yet");
        co_return;
    }
};

// Stands in until the X11 shortcuts are in the library: grabs Super (Command) + Alt (Option)
// with each key on the root window, also with Caps Lock and Num Lock held.
class GrabbedHotKeys : public HotKeys, public QAbstractNativeEventFilter {
public:
    GrabbedHotKeys() {
        if (auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>()) {
            display_ = x11->display();
            connection_ = x11->connection();
        }
    }
    void installHandler(std::function<void(std::uint32_t)> handler) override {
        handler_ = std::move(handler);
        qApp->installNativeEventFilter(this);
    }
    bool registerHotKey(int keyCode, int modifiers, std::uint32_t id) override {
        static const std::map<int, KeySym> keys{{15, XK_r}, {1, XK_s}, {2, XK_d}, {18, XK_1}, {19, XK_2}, {8, XK_c}};
        const auto key = keys.find(keyCode);
        if (!connection_ || !display_ || key == keys.end())
            return false;
        const auto code = XKeysymToKeycode(display_, key->second);
        std::uint16_t mask = 0;
        if (modifiers & commandKey)
            mask |= XCB_MOD_MASK_4;
        if (modifiers & optionKey)
            mask |= XCB_MOD_MASK_1;
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
        const std::uint16_t lockMasks[]{0, XCB_MOD_MASK_LOCK, XCB_MOD_MASK_2, XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2};
        for (const std::uint16_t locks : lockMasks) {
            const auto cookie = xcb_grab_key_checked(connection_, 1, root, mask | locks, code, XCB_GRAB_MODE_ASYNC,
                                                     XCB_GRAB_MODE_ASYNC);
            if (xcb_generic_error_t* error = xcb_request_check(connection_, cookie)) {
                free(error); // BadAccess: another client holds it
                return false;
            }
        }
        grabs_[{code, mask}] = id;
        return true;
    }
    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
        if (type != "xcb_generic_event_t")
            return false;
        auto* event = static_cast<xcb_generic_event_t*>(message);
        if ((event->response_type & 0x7f) != XCB_KEY_PRESS)
            return false;
        auto* press = reinterpret_cast<xcb_key_press_event_t*>(event);
        const std::uint16_t state = press->state & ~(XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2);
        const auto found = grabs_.find({press->detail, state});
        if (found == grabs_.end() || !handler_)
            return false;
        handler_(found->second);
        return true;
    }

private:
    Display* display_ = nullptr;
    xcb_connection_t* connection_ = nullptr;
    std::map<std::pair<xcb_keycode_t, std::uint16_t>, std::uint32_t> grabs_;
    std::function<void(std::uint32_t)> handler_;
};

// Where there is no X11 (Wayland), no global shortcut can be had.
class NoHotKeys : public HotKeys {
public:
    void installHandler(std::function<void(std::uint32_t)>) override {}
    bool registerHotKey(int, int, std::uint32_t) override { return false; }
};

std::unique_ptr<HotKeys> platformHotKeys() {
    if (QGuiApplication::platformName() == "xcb")
        return std::make_unique<GrabbedHotKeys>();
    return std::make_unique<NoHotKeys>();
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Tovrin");
    // A status item only: closing Mail or Claude does not end Tovrin.
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setWindowIcon(QIcon(Symbols::tinted("envelope.arrow.triangle.branch", 64, Brand::accent())));

    const auto bundle = Bundle::containing(QCoreApplication::applicationFilePath().toStdString());
    const std::filesystem::path samples = bundle ? bundle->resources() / "Samples" : std::filesystem::path();
    SimEnvironment::seedConfiguration(samples / "config.json", UserFolders::pelloraSupport() / "config.json");

    QtClock clock;
    QtPasteboard pasteboard;
    // What Claude receives is also written down, next to Tovrin's own log.
    SimEnvironment desktop(clock, pasteboard, samples, UserFolders::library() / "Logs" / "SimClaude.log");
    QtStatusBar statusBar;
    QtShellUI ui(desktop.services(), statusBar);
    const auto hotKeys = platformHotKeys();
    InstallerNotAvailable installer;
    AppDelegate delegate(desktop.services(), ui, AppDelegate::Parts{statusBar, *hotKeys, installer, bundle});

    desktop.showWindows();
    // The launch notification comes once the event loop runs, as it does on a Mac.
    QTimer::singleShot(0, &delegate, &AppDelegate::applicationDidFinishLaunching);
    QApplication::exec();
    return 0;
}
