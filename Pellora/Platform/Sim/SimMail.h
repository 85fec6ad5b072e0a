#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "Pellora/Platform/Sim/SimApplication.h"

namespace pellora {

// Mail's stand-in. Its messages are .eml files; it answers exactly one script, the mail
// reader's, the way Mail does: the selected message's nine items, with its attachments saved
// into the folder named in the script. The content is what Mail shows: every inline text part
// (one rendering of each alternative), always valid UTF-8. Launch and quit it through the desktop.
class SimMail : public SimApplication {
public:
    static constexpr const char* identifier = "com.apple.mail";

    // What Mail's window shows of a message: its line in the list and its content.
    struct Listing {
        std::string sender; // "Name <address>"
        std::string subject;
        std::optional<std::chrono::sys_seconds> date; // absent without a Date header
        std::string content;                           // as the script's content item
        std::vector<std::string> attachmentNames;      // small images included
    };

    std::string bundleIdentifier() const override { return identifier; }

    // An .eml file as Mail shows it; absent when it cannot be read as a message.
    static std::optional<Listing> listing(const std::filesystem::path& message);

    // The selected messages in Mail's order, as .eml files (read when a script asks).
    void setSelection(std::vector<std::filesystem::path> messages) { selection_ = std::move(messages); }
    const std::vector<std::filesystem::path>& selection() const { return selection_; }
    // The addresses of the account that owns the selected message.
    void setAccountAddresses(std::vector<std::string> addresses) { accountAddresses_ = std::move(addresses); }

    // Fails every script with the platform's automation-permission message.
    void setRefusesAutomation(bool refuses) { refusesAutomation_ = refuses; }
    // Saving fails for the attachment at this 1-based position in the message (skipped
    // images count) or with this name; its number is used up all the same.
    void failSavingAttachment(int position) { failingPosition_ = position; }
    void failSavingAttachment(std::string name) { failingName_ = std::move(name); }
    // Answers only the first `count` items of the result (absent: all nine).
    void setResultItemLimit(std::optional<int> count) { itemLimit_ = count; }

    // Scripts addressed to Mail so far.
    int scriptsRun() const { return scriptsRun_; }

    std::optional<ScriptRunner::Outcome> runScript(const std::string& source) override;

private:
    ScriptRunner::Outcome readSelection(const std::filesystem::path& folder);

    std::vector<std::filesystem::path> selection_;
    std::vector<std::string> accountAddresses_;
    bool refusesAutomation_ = false;
    std::optional<int> failingPosition_;
    std::optional<std::string> failingName_;
    std::optional<int> itemLimit_;
    int scriptsRun_ = 0;
};

} // namespace pellora
