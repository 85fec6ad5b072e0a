#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Pellora/Platform/Clock.h"
#include "Pellora/Platform/ScriptRunner.h"
#include "Pellora/Platform/Sim/SimElement.h"

namespace pellora {

class SimDesktop;

// An outside application living in the simulated desktop. The desktop tells it what
// happens to it; it reacts on the desktop's clock.
class SimApplication {
public:
    virtual ~SimApplication() = default;

    virtual std::string bundleIdentifier() const = 0;

    // Set by the desktop when the application is installed.
    void attach(SimDesktop& desktop) { desktop_ = &desktop; }
    SimDesktop* desktop() const { return desktop_; }

    // How long after a launch or activation request the application comes to the front.
    virtual Clock::Duration activationDelay() const { return Clock::Duration(0); }

    virtual void didLaunch() {}
    virtual void didQuit() {}
    virtual void didBecomeFrontmost() {}
    virtual void didResignFrontmost() {}
    // Links handed over by the workspace (after a launch, when it was not running).
    virtual void openURLs(const std::vector<std::string>& urls) {}
    // A key stroke, delivered while this application is in front.
    virtual void keyStroke(std::uint16_t keyCode, std::uint64_t flags) {}

    // The root of its accessibility tree (the application element); null when it has none.
    virtual std::shared_ptr<SimElement> accessibilityRoot() { return nullptr; }

    // Answers a script addressed to it; absent when it does not take scripts at all.
    virtual std::optional<ScriptRunner::Outcome> runScript(const std::string& source) {
        return std::nullopt;
    }

private:
    SimDesktop* desktop_ = nullptr;
};

} // namespace pellora
