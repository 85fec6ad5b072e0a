#include "UpdateManager.h"

#include <vector>

#include <QLocale>
#include <QStringList>

#include "Pellora/Shell/ConfigStore.h"
#include "Pellora/Shell/DeviceID.h"
#include "Pellora/Shell/Log.h"
#include "Pellora/Shell/ShellUI.h"
#include "Pellora/Updates/InstallPipeline.h"
#include "PelloraCore/Checkin.h"
#include "PelloraCore/ReferenceDate.h"
#include "PelloraCore/Text.h"

namespace pellora {
namespace {

using Event = CheckinRequest::Event;

// The first of the user's preferred languages as the platform spells it ("en-US"). The C
// locale names no language at all.
std::string preferredLanguage() {
    for (const QString& language : QLocale::system().uiLanguages())
        if (language != QLatin1String("C") && language != QLatin1String("POSIX"))
            return language.toStdString();
    return {};
}

// A version as a release names it: a digit first, then letters, digits, ".", "-" or "+".
// Anything else (empty, spaces, line breaks, a novel) is not offered to the user.
bool isWellFormedVersion(const std::string& version) {
    if (version.empty() || version.size() > 64 || version.front() < '0' || version.front() > '9')
        return false;
    for (const char c : version) {
        const bool fits = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                          c == '.' || c == '-' || c == '+';
        if (!fits)
            return false;
    }
    return true;
}

// An offer the user could not make sense of reads as an answer in the wrong format.
void checkOffer(const CheckinResponse& response) {
    if (!response.update)
        return;
    const UpdateInfo& update = *response.update;
    if (!isWellFormedVersion(update.version))
        throw Checkin::DecodingError("offered version \"" + update.version + "\" is not a version");
    if (update.minMacos && !update.minMacos->empty() && !isWellFormedVersion(*update.minMacos))
        throw Checkin::DecodingError("minimum system \"" + *update.minMacos + "\" is not a version");
}

} // namespace

UpdateManager::UpdateManager(ConfigStore& store, Services services, QObject* parent)
    : QObject(parent), store_(store), services_(std::move(services)) {}

// Ends the loop's sleep and every request in flight; their tasks then leave this object alone.
UpdateManager::~UpdateManager() { lifetime_.cancel(); }

std::string UpdateManager::appVersion() const { return BackendConfig::appVersion(services_.bundle); }

// An empty identifier is none, as start-up's consent question has it.
bool UpdateManager::runsFromBundle() const {
    return services_.bundle && services_.bundle->identifier && !services_.bundle->identifier->empty();
}

void UpdateManager::start() {
    if (!runsFromBundle() || started_)
        return;
    started_ = true;
    run(Event::open, false, std::nullopt);
    recheckLoop();
}

void UpdateManager::checkNow() { run(Event::updateCheck, true, std::nullopt); }

void UpdateManager::syncConsent() {
    if (runsFromBundle())
        run(Event::consentChange, false, false);
}

QCoro::Task<void> UpdateManager::recheckLoop() {
    const CancelToken lifetime = lifetime_;
    Clock& clock = services_.clock;
    for (;;) {
        try {
            co_await clock.sleep(recheckInterval, lifetime);
        } catch (const Cancelled&) {
            co_return;
        }
        co_await run(Event::updateCheck, false, std::nullopt);
        if (lifetime.isCancelled())
            co_return;
    }
}

bool UpdateManager::updateCheckDue() const {
    const auto& last = store_.config().lastUpdateCheck;
    if (!last)
        return true;
    const double elapsed = ReferenceDate::from(services_.clock.wallNow()) - *last;
    // A check dated in the future (the clock was wrong then) would hold off checks for years.
    return elapsed >= interval.count() || elapsed < 0;
}

CheckinRequest UpdateManager::makeRequest(Event event, bool wantsUpdate) const {
    CheckinRequest request;
    request.deviceId = DeviceID::current();
    request.event = event;
    request.analytics = store_.config().analyticsChoice == AnalyticsChoice::shared;
    request.wantsUpdate = wantsUpdate;
    request.appVersion = appVersion();
    request.macosVersion = services_.systemVersion;
    request.osLanguage = preferredLanguage();
    return request;
}

QCoro::Task<CheckinResponse> UpdateManager::send(CheckinRequest request) {
    // Copies: the task may outlive this object (it then ends with Cancelled).
    const CancelToken lifetime = lifetime_;
    if (services_.send) {
        const Sender sender = services_.send;
        co_return co_await sender(std::move(request), lifetime);
    }
    co_return co_await CheckinClient::send(std::move(request), services_.clock, services_.checkin, lifetime);
}

QCoro::Task<void> UpdateManager::run(Event event, bool manual, std::optional<bool> wantsUpdate) {
    // Overlapping runs are dropped, silently.
    if (busy_)
        co_return;
    const bool wanted = wantsUpdate ? *wantsUpdate : manual || updateCheckDue();
    // The loop's look is skipped until a week has passed.
    if (event == Event::updateCheck && !manual && !wanted)
        co_return;
    setBusy(true);

    const CancelToken lifetime = lifetime_;
    std::optional<CheckinResponse> response;
    std::string failure;
    try {
        response = co_await send(makeRequest(event, wanted));
        if (wanted)
            checkOffer(*response);
    } catch (const Cancelled&) {
        co_return; // the manager is gone
    } catch (...) {
        response.reset();
        failure = UserError::describe(std::current_exception());
    }
    if (lifetime.isCancelled())
        co_return;

    if (!response) {
        Log::write("check-in failed: " + failure);
        if (wanted)
            setStatus("Couldn't check for updates: " + failure);
        if (manual)
            alert("Couldn't check for updates", failure);
    } else if (wanted) {
        Config config = store_.config();
        config.lastUpdateCheck = ReferenceDate::from(services_.clock.wallNow());
        store_.setConfig(config);
        try {
            co_await handle(std::move(*response), manual);
        } catch (...) {
            // The pipeline reports its own failures; this is only a last guard for busy.
            if (!lifetime.isCancelled())
                setStatus("Update failed: " + UserError::describe(std::current_exception()));
        }
    }
    if (!lifetime.isCancelled())
        setBusy(false);
}

QCoro::Task<void> UpdateManager::handle(CheckinResponse response, bool manual) {
    const std::string version = appVersion();
    if (!response.update) {
        setStatus("You're up to date (version " + version + ").");
        if (manual)
            alert("You're up to date", "Tovrin " + version + " is the latest version.");
        co_return;
    }
    const UpdateInfo& update = *response.update;
    if (!Checkin::meetsMinimum(services_.systemVersion, update.minMacos)) {
        const std::string sentence = "Version " + update.version + " needs macOS " + *update.minMacos + ".";
        setStatus(sentence);
        if (manual)
            alert("Update not available", sentence);
        co_return;
    }
    setStatus("Version " + update.version + " is available.");
    if (!confirmInstall(update))
        co_return;
    const CancelToken lifetime = lifetime_;
    // Named: GCC 12 mishandles temporaries that live across co_await.
    const std::function<void(const std::string&)> report = [this, lifetime](const std::string& status) {
        if (!lifetime.isCancelled())
            setStatus(status);
    };
    co_await services_.installer.install(update, report);
}

bool UpdateManager::confirmInstall(const UpdateInfo& update) {
    std::string text = "You have version " + appVersion() + ".";
    if (update.notes) {
        const std::string notes = Text::trimmed(*update.notes);
        if (!notes.empty())
            text += "\n\n" + Text::prefix(notes, notesLimit);
    }
    const std::vector<std::string> buttons{"Update and Restart", "Not Now"};
    services_.ui.activateApplication();
    return services_.ui.runAlert("Tovrin " + update.version + " is available", text, buttons) == 0;
}

QCoro::Task<void> UpdateManager::erase() {
    if (!runsFromBundle())
        co_return;
    CheckinRequest request = makeRequest(Event::consentChange, false);
    request.action = std::string(CheckinRequest::eraseAction);
    const CancelToken lifetime = lifetime_;
    std::optional<std::string> failure;
    try {
        co_await send(std::move(request)); // the answer's content does not matter
    } catch (const Cancelled&) {
        co_return;
    } catch (...) {
        failure = UserError::describe(std::current_exception());
    }
    if (lifetime.isCancelled())
        co_return;
    if (!failure) {
        DeviceID::reset();
        setStatus("Your data was erased from the server.");
        co_return;
    }
    setStatus("Couldn't erase your data: " + *failure);
    alert("Couldn't erase your data", *failure);
}

void UpdateManager::alert(const std::string& title, const std::string& text) {
    const std::vector<std::string> buttons{"OK"};
    services_.ui.activateApplication();
    services_.ui.runAlert(title, text, buttons);
}

void UpdateManager::setBusy(bool busy) {
    if (busy_ == busy)
        return;
    busy_ = busy;
    emit busyChanged(busy);
}

void UpdateManager::setStatus(const std::string& status) {
    if (status_ == status)
        return;
    status_ = status;
    emit statusChanged();
}

} // namespace pellora
