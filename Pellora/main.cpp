// The composition root: the one place that picks implementations. On Linux Tovrin runs on
// the simulated desktop (Mail and Claude as two windows); everything else is the real thing.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include <QApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QTimer>
#include <QWidget>

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
#include "Pellora/Shell/MenuPanel.h"
#include "Pellora/Shell/QtShellUI.h"
#include "Pellora/Shell/QtStatusBar.h"
#include "Pellora/Shell/Symbols.h"
#include "Pellora/Updates/ArchiveInstallerTools.h"
#include "Pellora/Updates/TransportError.h"
#include "Pellora/Updates/UpdateInstaller.h"
#include "Pellora/Updates/UpdatePipeline.h"

namespace {

using namespace pellora;

// For bench/AppBench only, set by it in the environment: with it, check-ins never leave the
// process, the stand-ins' Mail and Claude windows stay hidden (on a Mac they are other
// applications, not part of Tovrin's start or memory), the panel opens once launching has
// finished, and its first paint is announced on standard error. Without it nothing here runs.
constexpr const char* firstPaintVariable = "PELLORA_BENCH_FIRST_PAINT";
constexpr const char* firstPaintMarker = "pellora-bench: panel painted\n";

UpdateManager::Sender offlineCheckin() {
    return [](CheckinRequest, CancelToken) -> QCoro::Task<CheckinResponse> {
        throw TransportError("check-ins are off while benchmarking");
        co_return CheckinResponse{};
    };
}

// Offscreen there are no global shortcuts, and the launch alert saying so would wait for a
// click that never comes: a benchmark run takes them as registered instead, as on a Mac.
class AcceptingHotKeys : public HotKeys {
public:
    void installHandler(std::function<void(std::uint32_t)>) override {}
    bool registerHotKey(int, int, std::uint32_t) override { return true; }
};

// Global shortcuts where the windowing system has them: X11 (Wayland has none to give).
std::unique_ptr<HotKeys> platformHotKeys(bool benchmarking) {
    if (QGuiApplication::platformName() == "xcb")
        return std::make_unique<X11HotKeys>();
    if (benchmarking)
        return std::make_unique<AcceptingHotKeys>();
    return std::make_unique<UnavailableHotKeys>();
}

// Writes the marker once the panel's first paint has finished.
class FirstPaintMarker : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && !announced_) {
            announced_ = true;
            // Queued: the paint (and its flush to the screen) completes first.
            QTimer::singleShot(0, this, [] {
                std::fputs(firstPaintMarker, stderr);
                std::fflush(stderr);
            });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool announced_ = false;
};

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
    const bool benchmarking = std::getenv(firstPaintVariable) != nullptr;
    const auto hotKeys = platformHotKeys(benchmarking);
    ArchiveInstallerTools installerTools;
    UpdatePipeline installer({ui, desktop.services().workspace, UpdateInstaller::Host::current(installerTools),
                              [] { QCoreApplication::quit(); }});
    AppDelegate delegate(desktop.services(), ui,
                         AppDelegate::Parts{statusBar, *hotKeys, installer, bundle,
                                            benchmarking ? offlineCheckin() : UpdateManager::Sender{}});
    FirstPaintMarker firstPaint;
    if (benchmarking)
        QObject::connect(&delegate, &AppDelegate::launchStepDone, &firstPaint, [&](AppDelegate::LaunchStep step) {
            if (step != AppDelegate::LaunchStep::startUpdates || !statusBar.panel())
                return;
            statusBar.panel()->installEventFilter(&firstPaint);
            statusBar.showPopover();
        });

    if (!benchmarking)
        desktop.showWindows();
    // The launch notification comes once the event loop runs, as it does on a Mac.
    QTimer::singleShot(0, &delegate, &AppDelegate::applicationDidFinishLaunching);
    QApplication::exec();
    return 0;
}
