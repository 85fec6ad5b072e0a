// One delivery from end to end as the application runs it: the send flow reads the selected
// message from the simulated Mail (a 60,000-character body, three attachments), routes it,
// the Claude bridge pastes it into the simulated Claude and sends it, the activity log and the
// configuration are written. Time is virtual, so Claude's and the bridge's mandated waits cost
// nothing: what is measured is the work around them. Target: 5 ms of CPU time.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include <QByteArray>
#include <QCoreApplication>
#include <QThreadPool>

#include "Pellora/Platform/Sim/MemoryPasteboard.h"
#include "Pellora/Platform/Sim/SimClaude.h"
#include "Pellora/Platform/Sim/SimDesktop.h"
#include "Pellora/Platform/Sim/SimMail.h"
#include "Pellora/Platform/Sim/VirtualClock.h"
#include "Pellora/Shell/ActivityStore.h"
#include "Pellora/Shell/AppDelegate.h"
#include "Pellora/Shell/ConfigStore.h"
#include "Pellora/Shell/ShellUI.h"
#include "tests/Support/App/StandInShell.h"

using namespace pellora;

namespace {

// A user who never needs to be asked anything: the email has a route.
struct QuietShellUI : ShellUI {
    void beep() override {}
    void activateApplication() override {}
    void showAlert(const std::string&, const std::string&) override {}
    int runAlert(const std::string&, const std::string&, const std::vector<std::string>&) override { return 0; }
    ChooserResult askForRoute(const Router::RouteSuggestion&, const std::string&) override {
        return ChooserResult::cancel();
    }
    void showDonateDialog() override {}
    AnalyticsChoice askPrivacyChoice() override { return AnalyticsChoice::notShared; }
    void setStatusItemOpacity(double) override {}
};

std::string base64Lines(const std::string& bytes) {
    const QByteArray encoded = QByteArray::fromStdString(bytes).toBase64();
    std::string text;
    for (qsizetype at = 0; at < encoded.size(); at += 76)
        text += encoded.mid(at, 76).toStdString() + "\r\n";
    return text;
}

// Ada's message: 60,000 characters of body in lines of 80, a PDF, an image too large to be
// skipped, and a text file.
std::string message() {
    std::string body;
    for (int line = 0; body.size() < 60'000; ++line)
        body += "Line " + std::to_string(line) + " of the quarterly figures, with notes on every region.\r\n";
    body.resize(60'000 - 2);
    body += "\r\n";
    std::string text = "From: Ada Lovelace <ada@acme.com>\r\nTo: me@home.example\r\nSubject: Quarterly report\r\n"
                       "Date: Sat, 05 Dec 2026 06:19:03 +0000\r\nMessage-ID: <q4.report@acme.com>\r\n"
                       "MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"b0undary\"\r\n\r\n"
                       "--b0undary\r\nContent-Type: text/plain; charset=utf-8\r\n\r\n" +
                       body;
    const std::pair<const char*, std::string> attachments[] = {
        {"report.pdf\"\r\nContent-Type: application/pdf", std::string(200'000, 'p')},
        {"chart.png\"\r\nContent-Type: image/png", std::string(40'000, 'i')},
        {"notes.txt\"\r\nContent-Type: text/plain", std::string(2'000, 'n')},
    };
    for (const auto& [head, bytes] : attachments)
        text += "--b0undary\r\nContent-Disposition: attachment; filename=\"" + std::string(head) +
                "\r\nContent-Transfer-Encoding: base64\r\n\r\n" + base64Lines(bytes);
    return text + "--b0undary--\r\n";
}

struct Desk {
    std::filesystem::path home;
    VirtualClock clock;
    MemoryPasteboard pasteboard;
    SimDesktop desktop{clock, pasteboard};
    std::shared_ptr<SimMail> mail = std::make_shared<SimMail>();
    std::shared_ptr<SimClaude> claude = std::make_shared<SimClaude>();
    QuietShellUI ui;
    testing::RecordingStatusBar statusBar;
    testing::ScriptedHotKeys hotKeys;
    testing::NoInstaller installer;
    std::unique_ptr<AppDelegate> delegate;

    explicit Desk(std::filesystem::path folder) : home(std::move(folder)) {
        desktop.install(mail);
        desktop.launch(SimMail::identifier);
        desktop.install(claude);
        mail->setAccountAddresses({"me@home.example"});
        const auto selected = home / "selected.eml";
        std::ofstream(selected, std::ios::binary) << message();
        mail->setSelection({selected});
        delegate = std::make_unique<AppDelegate>(AppServices{desktop, desktop, desktop, desktop, pasteboard, clock}, ui,
                                                 AppDelegate::Parts{statusBar, hotKeys, installer, std::nullopt});
        delegate->applicationDidFinishLaunching();
        Config config = delegate->store()->config();
        Route acme;
        acme.domain = "acme.com";
        acme.matchOn = MatchField::from;
        acme.kind = DestinationKind::chat;
        acme.url = "https://claude.ai/chat/acme-thread";
        config.upsert(acme);
        delegate->store()->setConfig(config);
    }

    bool deliverOnce() {
        const auto sent = claude->sentMessages().size();
        delegate->send(Action::reply);
        while (delegate->busy()) {
            QCoreApplication::processEvents();
            if (delegate->busy() && !clock.advance())
                return false;
        }
        return claude->sentMessages().size() == sent + 1;
    }

    // Lets the attachment folder's removal come due and finish; empties the list the send
    // flow grows, so that every delivery meets the same state.
    void tidy() {
        clock.advanceBy(Clock::Duration(AppDelegate::attachmentLifetime.count() + 1));
        QThreadPool::globalInstance()->waitForDone();
        delegate->activity()->clear();
    }
};

// A home of its own for the whole program (the stores, the log and the attachment folders
// live there), removed at exit.
const std::filesystem::path& benchHome() {
    static const std::filesystem::path home = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "pellora-bench-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            std::abort();
        for (const char* variable : {"HOME", "XDG_DATA_HOME", "XDG_STATE_HOME", "XDG_CONFIG_HOME", "TMPDIR"}) {
            const auto folder = std::filesystem::path(pattern) / variable;
            std::filesystem::create_directories(folder);
            setenv(variable, folder.c_str(), 1);
        }
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(benchHome(), ignored);
        });
        return std::filesystem::path(pattern);
    }();
    return home;
}

void delivery(benchmark::State& state) {
    static int argc = 1;
    static char name[] = "DeliveryBench";
    static char* argv[] = {name, nullptr};
    static QCoreApplication application(argc, argv);
    static Desk desk(benchHome());
    for (auto _ : state) {
        if (!desk.deliverOnce())
            state.SkipWithError("the delivery did not arrive");
        state.PauseTiming();
        desk.tidy();
        state.ResumeTiming();
    }
}
BENCHMARK(delivery)->Unit(benchmark::kMillisecond);

} // namespace
