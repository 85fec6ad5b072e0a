#include "SimDesktop.h"

#include <regex>


#include "Pellora/Platform/Sim/SimElement.h"

namespace pellora {

SimDesktop::SimDesktop(Clock& clock, Pasteboard& pasteboard) : clock_(clock), pasteboard_(pasteboard) {}

SimDesktop::~SimDesktop() {
    for (const auto id : scheduled_)
        clock_.cancelCall(id);
}

void SimDesktop::schedule(Clock::Duration delay, std::function<void()> fire) {
    auto id = std::make_shared<Clock::TimerId>(0);
    *id = clock_.callAfter(delay, [this, id, fire = std::move(fire)] {
        scheduled_.erase(*id);
        fire();
    });
    scheduled_.insert(*id);
}

// Applications

void SimDesktop::install(std::shared_ptr<SimApplication> application,
                         std::optional<std::filesystem::path> location) {
    if (!application)
        return;
    const std::string bundleIdentifier = application->bundleIdentifier();
    uninstall(bundleIdentifier);
    application->attach(*this);
    Installed entry;
    entry.application = std::move(application);
    entry.location = location.value_or(std::filesystem::path("/Applications") / (bundleIdentifier + ".app"));
    installed_.emplace(bundleIdentifier, std::move(entry));
}

void SimDesktop::uninstall(const std::string& bundleIdentifier) {
    quit(bundleIdentifier);
    installed_.erase(bundleIdentifier);
}

SimApplication* SimDesktop::application(const std::string& bundleIdentifier) const {
    const Installed* installed = find(bundleIdentifier);
    return installed ? installed->application.get() : nullptr;
}

void SimDesktop::launch(const std::string& bundleIdentifier) {
    Installed* installed = find(bundleIdentifier);
    if (!installed || installed->running)
        return;
    installed->running = true;
    installed->processIdentifier = nextProcessIdentifier_++;
    const auto application = installed->application; // the callback may uninstall it
    application->didLaunch();
}

void SimDesktop::quit(const std::string& bundleIdentifier) {
    Installed* installed = find(bundleIdentifier);
    if (!installed || !installed->running)
        return;
    installed->running = false;
    installed->processIdentifier = 0;
    const auto application = installed->application;
    if (frontmost_ == bundleIdentifier) {
        frontmost_.clear();
        application->didResignFrontmost();
    }
    application->didQuit();
}

bool SimDesktop::isRunning(const std::string& bundleIdentifier) const {
    const Installed* installed = find(bundleIdentifier);
    return installed && installed->running;
}

void SimDesktop::setFrontmost(const std::string& bundleIdentifier) {
    Installed* installed = find(bundleIdentifier);
    if (!installed || !installed->running || frontmost_ == bundleIdentifier)
        return;
    const auto incoming = installed->application;
    if (Installed* previous = find(frontmost_)) {
        const auto outgoing = previous->application;
        frontmost_.clear();
        outgoing->didResignFrontmost();
    }
    frontmost_ = bundleIdentifier;
    incoming->didBecomeFrontmost();
}

void SimDesktop::setOpenFailure(const std::string& bundleIdentifier, std::optional<std::string> message) {
    if (Installed* installed = find(bundleIdentifier))
        installed->openFailure = std::move(message);
}

void SimDesktop::holdModifiers(std::uint64_t flags, Clock::Duration duration) {
    modifierFlags_ |= flags;
    schedule(duration, [this, flags] { modifierFlags_ &= ~flags; });
}

SimDesktop::Installed* SimDesktop::find(const std::string& bundleIdentifier) {
    const auto found = installed_.find(bundleIdentifier);
    return found == installed_.end() ? nullptr : &found->second;
}

const SimDesktop::Installed* SimDesktop::find(const std::string& bundleIdentifier) const {
    const auto found = installed_.find(bundleIdentifier);
    return found == installed_.end() ? nullptr : &found->second;
}

SimDesktop::Installed* SimDesktop::findAt(const std::filesystem::path& location) {
    const auto wanted = location.lexically_normal();
    for (auto& [bundleIdentifier, installed] : installed_) {
        if (installed.location.lexically_normal() == wanted)
            return &installed;
    }
    return nullptr;
}

void SimDesktop::activate(Installed& installed) {
    const std::string bundleIdentifier = installed.application->bundleIdentifier();
    launch(bundleIdentifier);
    const Installed* launched = find(bundleIdentifier);
    if (!launched)
        return;
    const auto delay = launched->application->activationDelay();
    if (delay.count() <= 0) {
        setFrontmost(bundleIdentifier);
        return;
    }
    schedule(delay, [this, bundleIdentifier] { setFrontmost(bundleIdentifier); });
}

// Workspace

std::vector<Workspace::RunningApplication> SimDesktop::runningApplications(std::string_view bundleIdentifier) const {
    const Installed* installed = find(std::string(bundleIdentifier));
    if (!installed || !installed->running)
        return {};
    return {RunningApplication{std::string(bundleIdentifier), installed->processIdentifier}};
}

std::optional<std::filesystem::path> SimDesktop::applicationLocation(std::string_view bundleIdentifier) const {
    const Installed* installed = find(std::string(bundleIdentifier));
    if (!installed)
        return std::nullopt;
    return installed->location;
}

namespace {

std::string missingApplicationMessage(const std::filesystem::path& location) {
    return "The application “" + location.filename().string() + "” can’t be opened because it can’t be found.";
}

} // namespace

SimDesktop::Installed& SimDesktop::openable(const std::filesystem::path& location) {
    Installed* installed = findAt(location);
    if (!installed)
        throw Error(missingApplicationMessage(location));
    if (installed->openFailure)
        throw Error(*installed->openFailure);
    return *installed;
}

QCoro::Task<void> SimDesktop::openApplication(const std::filesystem::path& application) {
    const std::filesystem::path location = application; // the caller's reference may not outlive the wait
    co_await clock_.sleep(Clock::Duration(0));
    activate(openable(location));
}

QCoro::Task<void> SimDesktop::openURLs(const std::vector<std::string>& urls,
                                       const std::filesystem::path& application) {
    const std::vector<std::string> links = urls;
    const std::filesystem::path location = application;
    co_await clock_.sleep(Clock::Duration(0));
    const auto target = openable(location).application;
    const std::string bundleIdentifier = target->bundleIdentifier();
    launch(bundleIdentifier);
    openedURLs_.insert(openedURLs_.end(), links.begin(), links.end());
    target->openURLs(links);
    if (Installed* still = find(bundleIdentifier); still && still->running)
        activate(*still);
}

std::optional<std::string> SimDesktop::frontmostApplication() const {
    if (frontmost_.empty())
        return std::nullopt;
    return frontmost_;
}

bool SimDesktop::openURL(const std::string& url) {
    // Any link with a scheme has a handler on a Mac. QUrl is not asked: it rejects Mail's own
    // message://%3C…%3E links, whose "host" is a percent-encoded message id.
    static const std::regex withScheme("[A-Za-z][A-Za-z0-9+.-]*:[^\\s]+");
    if (!std::regex_match(url, withScheme))
        return false;
    openedURLs_.push_back(url);
    return true;
}

bool SimDesktop::revealFile(const std::filesystem::path& file) {
    std::error_code error;
    if (!std::filesystem::exists(file, error))
        return false;
    revealedFiles_.push_back(file);
    return true;
}

// Accessibility. As on the real platform, an untrusted program gets no answers.

bool SimDesktop::isTrusted(bool prompt) {
    ++trustChecks_;
    if (prompt && !trusted_)
        ++trustPrompts_;
    return trusted_;
}

Accessibility::Element SimDesktop::applicationElement(long long processIdentifier) {
    for (auto& [bundleIdentifier, installed] : installed_) {
        if (!installed.running || installed.processIdentifier != processIdentifier)
            continue;
        if (const auto root = installed.application->accessibilityRoot())
            return root->handle();
        return {};
    }
    return {};
}

std::optional<Accessibility::Value> SimDesktop::attribute(const Element& element, std::string_view name) {
    const auto target = SimElement::from(element);
    if (!trusted_ || !target)
        return std::nullopt;
    return target->attribute(std::string(name));
}

bool SimDesktop::setAttribute(const Element& element, std::string_view name, const Value& value) {
    const auto target = SimElement::from(element);
    if (!trusted_ || !target)
        return false;
    return target->write(std::string(name), value);
}

bool SimDesktop::performAction(const Element& element, std::string_view action) {
    const auto target = SimElement::from(element);
    if (!trusted_ || !target)
        return false;
    return target->perform(std::string(action));
}

// KeyEvents. Without accessibility trust the platform drops synthetic key strokes silently;
// they are recorded without a target.

void SimDesktop::postKeyStroke(std::uint16_t keyCode, std::uint64_t flags) {
    Installed* front = trusted_ ? find(frontmost_) : nullptr;
    const std::string target = front && front->running ? frontmost_ : std::string();
    keyStrokes_.push_back(KeyStroke{keyCode, flags, clock_.now(), target});
    if (!target.empty()) {
        const auto application = front->application;
        application->keyStroke(keyCode, flags);
    }
}

// ScriptRunner

ScriptRunner::Outcome SimDesktop::run(const std::string& source) {
    std::vector<std::shared_ptr<SimApplication>> running;
    for (const auto& [bundleIdentifier, installed] : installed_) {
        if (installed.running)
            running.push_back(installed.application);
    }
    for (const auto& application : running) {
        if (auto outcome = application->runScript(source))
            return *outcome;
    }
    // Nobody took it: the addressed application is not there to answer.
    static const std::regex tell(R"re(^\s*tell application "([^"]*)")re");
    std::smatch match;
    const std::string name = std::regex_search(source, match, tell) ? match[1].str() : std::string("The script");
    return Outcome{std::nullopt, name + " got an error: Application isn’t running."};
}

} // namespace pellora
