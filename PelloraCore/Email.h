#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace pellora {

// One email as read from Mail.
struct Email {
    std::string sender;
    std::string subject;
    std::string date;
    std::vector<std::string> to;
    std::vector<std::string> cc;
    std::string body;
    std::vector<std::string> attachmentPaths;
    std::string messageID;
    std::optional<std::filesystem::path> attachmentFolder;
    std::vector<std::string> accountAddresses;

    Email(std::string sender, std::string subject, std::string date, std::vector<std::string> to,
          std::vector<std::string> cc, std::string body, std::vector<std::string> attachmentPaths,
          std::string messageID, std::optional<std::filesystem::path> attachmentFolder,
          std::vector<std::string> accountAddresses);

    // The complete text pasted into Claude, with `instruction` above the email.
    std::string prompt(const std::string& instruction) const;

    bool operator==(const Email&) const = default;
};

} // namespace pellora
