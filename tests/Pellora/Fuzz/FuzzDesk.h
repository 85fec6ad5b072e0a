#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "Fuzz/FuzzTarget.h"
#include "Pellora/Platform/Sim/MemoryPasteboard.h"
#include "Pellora/Platform/Sim/SimDesktop.h"
#include "Pellora/Platform/Sim/SimMail.h"
#include "Pellora/Platform/Sim/VirtualClock.h"
#include "Pellora/Platform/UserFolders.h"

namespace pellora::fuzz {

// Mail running on a simulated desktop, for the targets that read what Mail answers.
struct MailDesk {
    VirtualClock clock;
    MemoryPasteboard pasteboard;
    SimDesktop desktop{clock, pasteboard};
    std::shared_ptr<SimMail> mail = std::make_shared<SimMail>();

    MailDesk() {
        desktop.install(mail);
        desktop.launch(SimMail::identifier);
        mail->setAccountAddresses({"me@example.com"});
    }
};

// The attachment folders in the temporary directory.
inline std::vector<std::filesystem::path> attachmentFolders() {
    std::vector<std::filesystem::path> folders;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(UserFolders::temporary(), error))
        if (entry.path().filename().string().starts_with("Pellora-"))
            folders.push_back(entry.path());
    return folders;
}

// Each input is judged alone: folders an earlier one left (its promise broken) go first.
inline void removeAttachmentFolders() {
    for (const auto& folder : attachmentFolders())
        std::filesystem::remove_all(folder);
}

// A folder the reader made: private, directly in the temporary directory, named by a UUID.
inline void checkAttachmentFolder(const std::filesystem::path& folder) {
    const std::string name = folder.filename().string();
    FUZZ_CHECK(folder.parent_path() == UserFolders::temporary());
    FUZZ_CHECK(name.size() == 8 + 36 && name.starts_with("Pellora-"));
    FUZZ_CHECK(name.find_first_of("abcdef", 8) == std::string::npos);
    FUZZ_CHECK(std::filesystem::is_directory(folder));
    FUZZ_CHECK(std::filesystem::status(folder).permissions() == std::filesystem::perms::owner_all);
}

} // namespace pellora::fuzz
