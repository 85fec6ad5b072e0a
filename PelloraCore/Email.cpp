#include "Email.h"

#include <string_view>
#include <utility>

namespace pellora {
namespace {

std::string joined(const std::vector<std::string>& parts, std::string_view separator) {
    std::string result;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0)
            result += separator;
        result += parts[i];
    }
    return result;
}

// The text after the final "/", ignoring trailing slashes.
std::string_view lastPathComponent(std::string_view path) {
    while (!path.empty() && path.back() == '/')
        path.remove_suffix(1);
    const auto slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

} // namespace

Email::Email(std::string sender, std::string subject, std::string date, std::vector<std::string> to,
             std::vector<std::string> cc, std::string body, std::vector<std::string> attachmentPaths,
             std::string messageID, std::optional<std::filesystem::path> attachmentFolder,
             std::vector<std::string> accountAddresses)
    : sender(std::move(sender)), subject(std::move(subject)), date(std::move(date)), to(std::move(to)),
      cc(std::move(cc)), body(std::move(body)), attachmentPaths(std::move(attachmentPaths)),
      messageID(std::move(messageID)), attachmentFolder(std::move(attachmentFolder)),
      accountAddresses(std::move(accountAddresses)) {}

std::string Email::prompt(const std::string& instruction) const {
    std::vector<std::string> lines;
    // Tested exactly: an instruction of spaces is still an instruction.
    if (!instruction.empty()) {
        lines.push_back(instruction);
        lines.emplace_back();
    }
    lines.push_back("From: " + sender);
    lines.push_back("To: " + joined(to, ", "));
    if (!cc.empty())
        lines.push_back("Cc: " + joined(cc, ", "));
    lines.push_back("Date: " + date);
    lines.push_back("Subject: " + subject);
    lines.emplace_back();
    lines.push_back(body);
    if (!attachmentPaths.empty()) {
        std::vector<std::string> names;
        for (const auto& path : attachmentPaths)
            names.emplace_back(lastPathComponent(path));
        lines.emplace_back();
        lines.push_back("Attachments: " + joined(names, ", "));
    }
    return joined(lines, "\n");
}

} // namespace pellora
