#include "SimEnvironment.h"

#include <exception>
#include <sstream>
#include <system_error>

#include <QGuiApplication>
#include <QScreen>

#include "Pellora/Platform/Sim/SimClaude.h"
#include "Pellora/Platform/Sim/SimClaudeWindow.h"
#include "Pellora/Platform/Sim/SimDesktop.h"
#include "Pellora/Platform/Sim/SimMail.h"
#include "Pellora/Platform/Sim/SimMailWindow.h"
#include "PelloraCore/AppendOnlyFile.h"
#include "PelloraCore/Config.h"
#include "PelloraCore/IsoDate.h"

namespace pellora {

SimEnvironment::SimEnvironment(Clock& clock, Pasteboard& pasteboard, std::filesystem::path samples,
                               std::optional<std::filesystem::path> transcript)
    : pasteboard_(pasteboard), clock_(clock), desktop_(std::make_unique<SimDesktop>(clock, pasteboard)),
      mail_(std::make_shared<SimMail>()), claude_(std::make_shared<SimClaude>()), transcript_(std::move(transcript)) {
    // The chats and projects the sample configuration routes to.
    claude_->addChat("Northwind invoices", "5f0c2a9e-1b7d-4c39-9a51-0d6e8b3f7a21");
    claude_->addChat("Garden club", "a8d41c07-3e6f-4b92-8c15-7f2e9d0b6a34");
    claude_->addChat("Trip to Lisbon", "c93e7b12-64a0-4d8f-b2c5-1e8f0a7d3b56");
    claude_->addChat("Weekly planning", "e1b6f3d8-2c47-4a9e-9f03-5d7a1c8e2b90");
    claude_->addProject("Harbour Street renovation", "Builders, permits and invoices",
                        "7b2e4f91-0c3d-4e6a-8b57-2f9d1a6c4e83");
    claude_->addProject("Reading group", "", "0a9f6e3c-5d21-4b8e-a7c4-6e1f2d9b3a57");

    desktop_->install(mail_);
    desktop_->install(claude_);
    desktop_->launch(SimMail::identifier);
    desktop_->launch(SimClaude::identifier);
    mail_->setAccountAddresses({"sam.rivera@example.net"});

    mailWindow_ = std::make_unique<SimMailWindow>(*mail_);
    claudeWindow_ = std::make_unique<SimClaudeWindow>(*claude_);
    if (!samples.empty())
        mailWindow_->openFolder(samples / "Mail");
    if (transcript_)
        observer_ = claude_->addObserver([this] { writeTranscript(); });
}

SimEnvironment::~SimEnvironment() {
    // The windows observe the applications; they go first.
    claudeWindow_.reset();
    mailWindow_.reset();
    claude_->removeObserver(observer_);
}

void SimEnvironment::writeTranscript() {
    const auto& sent = claude_->sentMessages();
    if (sent.size() <= transcribed_)
        return;
    std::error_code ignored;
    std::filesystem::create_directories(transcript_->parent_path(), ignored);
    for (; transcribed_ < sent.size(); ++transcribed_) {
        const auto& message = sent[transcribed_];
        std::ostringstream entry;
        entry << "=== " << IsoDate::format(clock_.wallNow()) << " Claude received in " << message.place << "\n"
              << message.text << "\n";
        for (const auto& file : message.files)
            entry << "[attachment] " << file.filename().string() << "\n";
        // Emails are private: the file is the owner's alone, as Tovrin's own log is.
        try {
            AppendOnlyFile::appendLine(*transcript_, entry.str());
        } catch (const std::exception&) {
            // A demo transcript that cannot be written is not worth stopping for.
        }
    }
}

AppServices SimEnvironment::services() {
    return AppServices{*desktop_, *desktop_, *desktop_, *desktop_, pasteboard_, clock_};
}

void SimEnvironment::showWindows() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1280, 800);
    // Below the top edge, where the tray panel opens.
    const int top = area.top() + 40;
    const int height = std::min(720, area.height() - 60);
    const int mailWidth = std::min(560, area.width() / 2 - 20);
    mailWindow_->setGeometry(area.left() + 10, top, mailWidth, height);
    claudeWindow_->setGeometry(area.left() + mailWidth + 30, top, std::min(760, area.width() - mailWidth - 40), height);
    mailWindow_->show();
    claudeWindow_->show();
}

bool SimEnvironment::seedConfiguration(const std::filesystem::path& sampleConfig,
                                       const std::filesystem::path& configFile) {
    std::error_code error;
    if (std::filesystem::exists(configFile, error) || error || !std::filesystem::is_regular_file(sampleConfig, error))
        return false;
    try {
        // Read and written as a configuration, so the file gets the store's format and care.
        Config::load(sampleConfig).save(configFile);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

} // namespace pellora
