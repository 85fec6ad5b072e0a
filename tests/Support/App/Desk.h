#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Files.h"
#include "Pellora/Platform/Sim/MemoryPasteboard.h"
#include "Pellora/Platform/Sim/SimDesktop.h"
#include "Pellora/Platform/Sim/SimMail.h"
#include "Pellora/Platform/Sim/VirtualClock.h"
#include "Pellora/Platform/UserFolders.h"
#include "Pellora/Shell/AppServices.h"
#include "Pellora/Shell/ConfigStore.h"
#include "Pellora/Shell/Log.h"
#include "TestHome.h"

namespace pellora::testing {

// The simulated desktop in virtual time, with an in-memory pasteboard and Mail installed.
struct Desk {
    VirtualClock clock;
    MemoryPasteboard pasteboard;
    SimDesktop desktop{clock, pasteboard};
    std::shared_ptr<SimMail> mail = std::make_shared<SimMail>();
    int messages = 0;

    Desk() { desktop.install(mail); }
    AppServices services() { return {desktop, desktop, desktop, desktop, pasteboard, clock}; }

    // Mail running, its messages owned by these addresses.
    void runMail(std::vector<std::string> accounts) {
        desktop.launch(SimMail::identifier);
        mail->setAccountAddresses(std::move(accounts));
    }
    // Selects these .eml texts in Mail, in order.
    void select(const std::vector<std::string>& texts) {
        std::vector<std::filesystem::path> files;
        for (const auto& text : texts) {
            files.push_back(testHome() / "messages" / (std::to_string(++messages) + ".eml"));
            writeFile(files.back(), text);
        }
        mail->setSelection(files);
    }
};

// Changes the store's document as a settings control does: all of it read, changed, assigned.
inline void configure(ConfigStore& store, const std::function<void(Config&)>& change) {
    Config config = store.config();
    change(config);
    store.setConfig(config);
}

// The attachment folders ("Pellora-" and a UUID) in the temporary folder.
inline std::vector<std::string> attachmentFolders() {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(UserFolders::temporary()))
        if (entry.path().filename().string().starts_with("Pellora-"))
            names.push_back(entry.path().filename().string());
    return names;
}

// The log's messages, each line without its time stamp.
inline std::vector<std::string> logMessages() {
    std::vector<std::string> messages = readLines(Log::file());
    for (auto& line : messages)
        line.erase(0, line.find(' ') + 1);
    return messages;
}

} // namespace pellora::testing
