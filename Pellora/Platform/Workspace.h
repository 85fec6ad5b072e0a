#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <QCoro/QCoroTask>

#include "PelloraCore/UserError.h"

namespace pellora {

// The running applications, launching and activating them, and handing them links.
class Workspace {
public:
    struct RunningApplication {
        std::string bundleIdentifier;
        long long processIdentifier = 0;
        bool operator==(const RunningApplication&) const = default;
    };

    // An application or link that could not be opened; carries the platform's message.
    class Error : public UserError {
    public:
        explicit Error(std::string message) : message_(std::move(message)) {}
        std::string description() const override { return message_; }

    private:
        std::string message_;
    };

    virtual ~Workspace() = default;

    // Running instances with this bundle identifier; empty when none runs.
    virtual std::vector<RunningApplication> runningApplications(std::string_view bundleIdentifier) const = 0;
    // Location of the installed application, or absent.
    virtual std::optional<std::filesystem::path> applicationLocation(std::string_view bundleIdentifier) const = 0;
    // Launches the application or brings it to the front; answers later. Throws Error.
    virtual QCoro::Task<void> openApplication(const std::filesystem::path& application) = 0;
    // Hands the links to the application (launching it if needed) and brings it to the
    // front; answers later. Throws Error.
    virtual QCoro::Task<void> openURLs(const std::vector<std::string>& urls,
                                       const std::filesystem::path& application) = 0;
    // Bundle identifier of the application in front, or absent.
    virtual std::optional<std::string> frontmostApplication() const = 0;
    // Opens a link with its default handler (browser, Mail, file manager); false on failure.
    virtual bool openURL(const std::string& url) = 0;
    // Shows the file selected in the file browser; false on failure.
    virtual bool revealFile(const std::filesystem::path& file) = 0;
};

} // namespace pellora
