#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "Pellora/Platform/Accessibility.h"
#include "Pellora/Platform/Clock.h"
#include "Pellora/Platform/KeyEvents.h"
#include "Pellora/Platform/Pasteboard.h"
#include "Pellora/Platform/ScriptRunner.h"
#include "Pellora/Platform/Workspace.h"
#include "Pellora/Platform/Sim/SimApplication.h"

namespace pellora {

// A small simulated desktop that stands in for the macOS-only services: installed and
// running applications, which one is in front, key strokes to the front application,
// accessibility (with trust) and scripting. It hosts SimMail and SimClaude. Everything it
// does over time runs on the Clock.
class SimDesktop : public Workspace, public Accessibility, public KeyEvents, public ScriptRunner {
public:
    struct KeyStroke {
        std::uint16_t keyCode = 0;
        std::uint64_t flags = 0;
        Clock::Duration time{0};
        std::string target; // bundle identifier of the front application; "" when none
        bool operator==(const KeyStroke&) const = default;
    };

    SimDesktop(Clock& clock, Pasteboard& pasteboard);
    ~SimDesktop() override; // withdraws its pending calls from the clock

    Clock& clock() const { return clock_; }
    Pasteboard& pasteboard() const { return pasteboard_; }

    // Applications. Installing does not launch; the location defaults to
    // /Applications/<bundle identifier>.app.
    void install(std::shared_ptr<SimApplication> application,
                 std::optional<std::filesystem::path> location = std::nullopt);
    void uninstall(const std::string& bundleIdentifier);
    SimApplication* application(const std::string& bundleIdentifier) const;
    // Starts it without bringing it to the front (no-op when running).
    void launch(const std::string& bundleIdentifier);
    void quit(const std::string& bundleIdentifier);
    bool isRunning(const std::string& bundleIdentifier) const;
    // Brings a running application to the front at once.
    void setFrontmost(const std::string& bundleIdentifier);
    // Makes every open request for this application fail with `message` (absent: succeed).
    void setOpenFailure(const std::string& bundleIdentifier, std::optional<std::string> message);

    // Accessibility trust, and how often a prompt was shown.
    void setTrusted(bool trusted) { trusted_ = trusted; }
    int trustPrompts() const { return trustPrompts_; }
    int trustChecks() const { return trustChecks_; }

    // Modifier keys held by the user; holdModifiers releases them after `duration`.
    void setModifierFlags(std::uint64_t flags) { modifierFlags_ = flags; }
    void holdModifiers(std::uint64_t flags, Clock::Duration duration);

    // Everything posted, in order.
    const std::vector<KeyStroke>& keyStrokes() const { return keyStrokes_; }
    // Links handed to applications through openURLs and openURL, in order.
    const std::vector<std::string>& openedURLs() const { return openedURLs_; }
    const std::vector<std::filesystem::path>& revealedFiles() const { return revealedFiles_; }

    // Workspace
    std::vector<RunningApplication> runningApplications(std::string_view bundleIdentifier) const override;
    std::optional<std::filesystem::path> applicationLocation(std::string_view bundleIdentifier) const override;
    QCoro::Task<void> openApplication(const std::filesystem::path& application) override;
    QCoro::Task<void> openURLs(const std::vector<std::string>& urls,
                               const std::filesystem::path& application) override;
    std::optional<std::string> frontmostApplication() const override;
    bool openURL(const std::string& url) override;
    bool revealFile(const std::filesystem::path& file) override;

    // Accessibility
    bool isTrusted(bool prompt) override;
    Element applicationElement(long long processIdentifier) override;
    std::optional<Value> attribute(const Element& element, std::string_view name) override;
    bool setAttribute(const Element& element, std::string_view name, const Value& value) override;
    bool performAction(const Element& element, std::string_view action) override;

    // KeyEvents
    std::uint64_t modifierFlags() const override { return modifierFlags_; }
    void postKeyStroke(std::uint16_t keyCode, std::uint64_t flags) override;

    // ScriptRunner: hands the script to the running applications that take scripts.
    Outcome run(const std::string& source) override;

private:
    struct Installed {
        std::shared_ptr<SimApplication> application;
        std::filesystem::path location;
        bool running = false;
        long long processIdentifier = 0;
        std::optional<std::string> openFailure;
    };

    Installed* find(const std::string& bundleIdentifier);
    const Installed* find(const std::string& bundleIdentifier) const;
    Installed* findAt(const std::filesystem::path& location);
    // The application installed there, or the workspace's error for opening it.
    Installed& openable(const std::filesystem::path& location);
    // Launches when needed, then brings it to the front after its activation delay.
    void activate(Installed& installed);
    // callAfter that the destructor can withdraw.
    void schedule(Clock::Duration delay, std::function<void()> fire);

    Clock& clock_;
    Pasteboard& pasteboard_;
    std::map<std::string, Installed> installed_;
    std::string frontmost_;
    long long nextProcessIdentifier_ = 1000;
    bool trusted_ = true;
    int trustPrompts_ = 0;
    int trustChecks_ = 0;
    std::uint64_t modifierFlags_ = 0;
    std::vector<KeyStroke> keyStrokes_;
    std::vector<std::string> openedURLs_;
    std::vector<std::filesystem::path> revealedFiles_;
    std::set<Clock::TimerId> scheduled_;
};

} // namespace pellora
