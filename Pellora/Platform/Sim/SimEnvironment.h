#pragma once

#include <filesystem>
#include <memory>
#include <optional>

#include "Pellora/Shell/AppServices.h"

namespace pellora {

class Clock;
class Pasteboard;
class SimClaude;
class SimClaudeWindow;
class SimDesktop;
class SimMail;
class SimMailWindow;

// Tovrin's surroundings on Linux: a simulated desktop with Mail (running, showing a folder of
// .eml files) and Claude (running, with a few chats and projects), drawn as two ordinary
// windows, "Mail" and "Claude". The application and the end-to-end test build the same one.
class SimEnvironment {
public:
    // `samples` holds "Mail/" (the .eml files shown first) and "config.json" (a configuration
    // whose routes fit those messages and Claude's chats); empty for none, and Mail starts
    // with no folder open. With a `transcript`, every message
    // Claude sends is also appended to that file, for people and scripts to read.
    SimEnvironment(Clock& clock, Pasteboard& pasteboard, std::filesystem::path samples,
                   std::optional<std::filesystem::path> transcript = std::nullopt);
    ~SimEnvironment();

    // The services Tovrin runs on: this desktop for everything but the pasteboard and clock.
    AppServices services();

    SimDesktop& desktop() { return *desktop_; }
    SimMail& mail() { return *mail_; }
    SimClaude& claude() { return *claude_; }
    SimMailWindow& mailWindow() { return *mailWindow_; }
    SimClaudeWindow& claudeWindow() { return *claudeWindow_; }

    // Shows both windows side by side on the primary screen.
    void showWindows();

    // Writes the sample configuration to `configFile` when there is no file there yet, so a
    // first run routes the sample messages; an existing configuration is never touched.
    // True when it wrote one.
    static bool seedConfiguration(const std::filesystem::path& sampleConfig, const std::filesystem::path& configFile);

private:
    void writeTranscript();

    Pasteboard& pasteboard_;
    Clock& clock_;
    std::unique_ptr<SimDesktop> desktop_;
    std::shared_ptr<SimMail> mail_;
    std::shared_ptr<SimClaude> claude_;
    std::unique_ptr<SimMailWindow> mailWindow_;
    std::unique_ptr<SimClaudeWindow> claudeWindow_;
    std::optional<std::filesystem::path> transcript_;
    std::size_t transcribed_ = 0;
    int observer_ = 0;
};

} // namespace pellora
