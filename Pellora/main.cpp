// The composition root: the one place that picks implementations. On Linux Tovrin runs on
// the simulated desktop (Mail and Claude as two windows); everything else is the real thing.

#include <filesystem>
#include <memory>
#include <string>

#include <QApplication>
#include <QGuiApplication>
#include <QTimer>

#include "Pellora/Platform/Bundle.h"
#include "Pellora/Platform/HotKeys.h"
#include "Pellora/Platform/QtClock.h"
#include "Pellora/Platform/QtPasteboard.h"
#include "Pellora/Platform/Sim/SimEnvironment.h"
#include "Pellora/Platform/UnavailableHotKeys.h"
#include "Pellora/Platform/UserFolders.h"
#include "Pellora/Platform/X11/X11HotKeys.h"
#include "Pellora/Shell/AppDelegate.h"
#include "Pellora/Shell/Brand.h"
#include "Pellora/Shell/Log.h"
#include "Pellora/Shell/QtShellUI.h"
#include "Pellora/Shell/QtStatusBar.h"
#include "Pellora/Shell/Symbols.h"
#include "Pellora/Updates/ArchiveInstallerTools.h"
#include "Pellora/Updates/UpdateInstaller.h"
#include "Pellora/Updates/UpdatePipeline.h"

namespace {

using namespace pellora;

// Global shortcuts where the windowing system has them: X11 (Wayland has none to give).
std::unique_ptr<HotKeys> platformHotKeys() {
    if (QGuiApplication::platformName() == "xcb")
        return std::make_unique<X11HotKeys>();
    return std::make_unique<UnavailableHotKeys>();
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Tovrin");
    // A status item only: closing Mail or Claude does not end Tovrin.
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setWindowIcon(QIcon(Symbols::tinted("envelope.arrow.triangle.branch", 64, Brand::accent())));

    const auto bundle = Bundle::containing(QCoreApplication::applicationFilePath().toStdString());
    // The samples ship inside the application folder; a loose binary has none (and never
    // takes a config.json or Mail folder from wherever it was started).
    const std::filesystem::path samples = bundle ? bundle->resources() / "Samples" : std::filesystem::path();
    if (bundle)
        SimEnvironment::seedConfiguration(samples / "config.json", UserFolders::pelloraSupport() / "config.json");

    QtClock clock;
    QtPasteboard pasteboard;
    // What Claude receives is also written down, next to Tovrin's own log.
    SimEnvironment desktop(clock, pasteboard, samples, UserFolders::library() / "Logs" / "SimClaude.log");
    QtStatusBar statusBar;
    QtShellUI ui(desktop.services(), statusBar);
    const auto hotKeys = platformHotKeys();
    ArchiveInstallerTools installerTools;
    UpdatePipeline installer({ui, desktop.services().workspace, UpdateInstaller::Host::current(installerTools),
                              [] { QCoreApplication::quit(); }});
    AppDelegate delegate(desktop.services(), ui, AppDelegate::Parts{statusBar, *hotKeys, installer, bundle});

    desktop.showWindows();
    // The launch notification comes once the event loop runs, as it does on a Mac.
    QTimer::singleShot(0, &delegate, &AppDelegate::applicationDidFinishLaunching);
    QApplication::exec();
    return 0;
}
