#include "AppDelegate.h"

#include <chrono>
#include <filesystem>
#include <system_error>

#include <QCoreApplication>
#include <QPointer>
#include <QThreadPool>

#include "Pellora/Claude/ClaudeBridge.h"
#include "Pellora/Mail/MailReader.h"
#include "Pellora/Platform/Accessibility.h"
#include "Pellora/Settings/SettingsWindowController.h"
#include "Pellora/Shell/ActivityStore.h"
#include "Pellora/Shell/ConfigStore.h"
#include "Pellora/Shell/HotKeyCenter.h"
#include "Pellora/Shell/Log.h"
#include "Pellora/Shell/MenuBarIcon.h"
#include "Pellora/Shell/MenuPanelModel.h"
#include "Pellora/Shell/ShellUI.h"
#include "Pellora/Shell/StatusBar.h"
#include "Pellora/Updates/UpdateManager.h"
#include "PelloraCore/ActivityFile.h"
#include "PelloraCore/PromptBuilder.h"
#include "PelloraCore/ReferenceDate.h"
#include "PelloraCore/Router.h"
#include "PelloraCore/Text.h"
#include "PelloraCore/UserError.h"

namespace pellora {
namespace {

constexpr double busyOpacity = 0.45;
constexpr double idleOpacity = 1.0;

} // namespace

AppDelegate::AppDelegate(AppServices services, ShellUI& ui, Parts parts, QObject* parent)
    : QObject(parent), services_(services), ui_(ui), parts_(std::move(parts)) {}

AppDelegate::~AppDelegate() = default;

void AppDelegate::applicationDidFinishLaunching() {
    store_ = std::make_unique<ConfigStore>();
    emit launchStepDone(LaunchStep::createStore);
    activity_ = std::make_unique<ActivityStore>();
    emit launchStepDone(LaunchStep::createActivity);
    updates_ = std::make_unique<UpdateManager>(
        *store_, UpdateManager::Services{.clock = services_.clock,
                                         .ui = ui_,
                                         .installer = parts_.installer,
                                         .bundle = parts_.bundle,
                                         .send = parts_.checkin});
    emit launchStepDone(LaunchStep::createUpdates);

    parts_.statusBar.createStatusItem();
    emit launchStepDone(LaunchStep::createStatusItem);
    parts_.statusBar.setButton(MenuBarIcon::load(parts_.bundle), "Tovrin", [self = QPointer(this)] {
        if (self)
            self->togglePanel();
    });
    emit launchStepDone(LaunchStep::setStatusItemButton);
    setUpPanel();
    emit launchStepDone(LaunchStep::setUpPanel);
    registerHotKeys();
    emit launchStepDone(LaunchStep::registerHotKeys);
    MailReader::sweepOldAttachmentFolders();
    emit launchStepDone(LaunchStep::sweepAttachmentFolders);

    // Dropped by Qt if the delegate is gone by then.
    QMetaObject::invokeMethod(this, &AppDelegate::finishLaunching, Qt::QueuedConnection);
    emit launchStepDone(LaunchStep::scheduleFinish);
}

void AppDelegate::finishLaunching() {
    const bool hasBundleIdentifier = parts_.bundle && parts_.bundle->identifier && !parts_.bundle->identifier->empty();
    if (store_->config().analyticsChoice == AnalyticsChoice::unset && hasBundleIdentifier) {
        ui_.activateApplication();
        // The window answers notShared when its modal loop ends without a choice.
        const AnalyticsChoice answer = ui_.askPrivacyChoice();
        Config config = store_->config();
        config.analyticsChoice = answer;
        store_->setConfig(config);
        config = store_->config();
        config.analyticsChoiceDate = ReferenceDate::from(services_.clock.wallNow());
        store_->setConfig(config);
        emit launchStepDone(LaunchStep::askPrivacyChoice);
    }
    // The answer is not used: the platform shows its own prompt when trust is missing.
    services_.accessibility.isTrusted(true);
    emit launchStepDone(LaunchStep::requestAccessibilityTrust);
    updates_->start();
    emit launchStepDone(LaunchStep::startUpdates);
}

void AppDelegate::showSettings() {
    if (!settingsWindow_)
        settingsWindow_ = std::make_unique<SettingsWindowController>(
            SettingsContext{*store_, *activity_, *updates_, services_, ui_});
    settingsWindow_->show();
}

void AppDelegate::togglePanel() {
    StatusBar& bar = parts_.statusBar;
    if (bar.isPopoverShown())
        bar.closePopover();
    else if (bar.hasButton())
        bar.showPopover();
}

void AppDelegate::setUpPanel() {
    // Each callback closes the panel first; none runs once the delegate is gone.
    const QPointer<AppDelegate> self(this);
    MenuPanelModel::Callbacks callbacks;
    callbacks.onSend = [self](Action action) {
        if (!self)
            return;
        self->parts_.statusBar.closePopover();
        // Mail is scripted only once the panel is gone.
        self->services_.clock.callAfter(panelSendDelay, [self, action] {
            if (self)
                self->send(action);
        });
    };
    callbacks.onCheckUpdates = [self] {
        if (!self)
            return;
        self->parts_.statusBar.closePopover();
        self->updates_->checkNow();
    };
    callbacks.onSettings = [self] {
        if (!self)
            return;
        self->parts_.statusBar.closePopover();
        self->showSettings();
    };
    callbacks.onSupport = [self] {
        if (!self)
            return;
        self->parts_.statusBar.closePopover();
        self->ui_.showDonateDialog();
    };
    callbacks.onQuit = [self] {
        if (!self)
            return;
        self->parts_.statusBar.closePopover();
        QCoreApplication::quit();
    };
    const std::string version = parts_.bundle ? parts_.bundle->version() : Bundle{}.version();
    panel_ = std::make_unique<MenuPanelModel>(*store_, menuState_, version, std::move(callbacks));
    parts_.statusBar.setPopoverContent(*panel_);
}

void AppDelegate::registerHotKeys() {
    if (!hotKeyCenter_)
        hotKeyCenter_ = std::make_unique<HotKeyCenter>(parts_.hotKeys);
    std::vector<std::string> unavailable;
    for (Action action : Action::allCases()) {
        const QPointer<AppDelegate> self(this);
        const bool registered = hotKeyCenter_->registerHotKey(
            HotKeyCenter::keyCode(action), HotKeyCenter::actionModifiers, [self, action] {
                // The platform's callback returns at once; the send starts on the next turn.
                if (self)
                    QMetaObject::invokeMethod(
                        self.data(),
                        [self, action] {
                            if (self)
                                self->send(action);
                        },
                        Qt::QueuedConnection);
            });
        if (!registered)
            unavailable.push_back(action.shortcutLabel());
    }
    if (unavailable.empty())
        return;
    ui_.activateApplication();
    ui_.showAlert("Some shortcuts are unavailable", HotKeyCenter::unavailableText(unavailable));
}

void AppDelegate::setBusy(bool busy) {
    busy_ = busy;
    ui_.setStatusItemOpacity(busy ? busyOpacity : idleOpacity);
    menuState_.setBusy(busy);
}

void AppDelegate::fail(const std::string& description) {
    ui_.beep();
    ui_.activateApplication();
    ui_.showAlert("Tovrin", description);
}

void AppDelegate::send(Action action) {
    Config snapshot = store_->config();
    if (!snapshot.isConfigured(action)) {
        ui_.activateApplication();
        ui_.showAlert("This action isn't set up yet",
                      "Give it a name and a prompt in Settings → Prompts.");
        return;
    }
    // A second trigger while a send runs is dropped, not queued.
    if (busy_)
        return;
    setBusy(true);
    // Returns before Mail is read, so no caller ever sits inside the send's modal windows.
    // The task runs detached; it catches everything itself and always clears `busy`.
    QMetaObject::invokeMethod(
        this, [this, action, snapshot = std::move(snapshot)]() mutable { runSend(action, std::move(snapshot)); },
        Qt::QueuedConnection);
}

QCoro::Task<void> AppDelegate::runSend(Action action, Config snapshot) {
    try {
        co_await sendEmail(action, std::move(snapshot));
    } catch (...) {
        // Reading or delivering failed; the folder is already taken care of.
        fail(UserError::describe(std::current_exception()));
    }
    setBusy(false);
}

QCoro::Task<void> AppDelegate::sendEmail(Action action, Config snapshot) {
    auto& clock = services_.clock;
    const auto start = clock.now();
    const std::string raw(action.rawValue());

    // A failed read has removed its own folder.
    const Email email = MailReader::readSelectedEmail(services_.workspace, services_.scripts);
    Log::write(raw + ": read email in " + Log::seconds((clock.now() - start).count()) + " (" +
               std::to_string(Text::characterCount(email.body)) + " chars, " +
               std::to_string(email.attachmentPaths.size()) + " attachments)");

    const auto resolved = resolveTarget(email);
    if (!resolved) {
        if (email.attachmentFolder) {
            std::error_code ignored;
            std::filesystem::remove_all(*email.attachmentFolder, ignored);
        }
        // A second pass later catches anything written into it after this removal.
        removeAttachmentFolder(email, attachmentLifetime);
        co_return;
    }

    const ActionMode mode = snapshot.mode(action);
    std::string instruction;
    bool sendAutomatically = false;
    if (mode == ActionMode::prompt) {
        instruction = PromptBuilder::compose(snapshot.instruction(action),
                                             resolved->destination.instructions);
        sendAutomatically = snapshot.autoSend;
    }

    try {
        co_await ClaudeBridge::deliver(services_.claude(), email, resolved->target, instruction,
                                       sendAutomatically, snapshot);
    } catch (...) {
        removeAttachmentFolder(email, attachmentLifetime);
        throw;
    }

    if (store_->config().keepActivityLog) {
        ActivityEntry entry;
        entry.id = ActivityEntry::newID();
        entry.date = std::chrono::floor<std::chrono::seconds>(clock.wallNow());
        entry.subject = email.subject;
        entry.sender = email.sender;
        entry.messageID = email.messageID;
        entry.rule = resolved->rule;
        entry.destination = resolved->destination;
        entry.actionName = snapshot.name(action);
        entry.mode = mode;
        entry.prompt = instruction;
        try {
            ActivityFile::append(entry, activity_->url());
        } catch (...) {
            // The entry still shows for this run.
        }
        activity_->insertFront(std::move(entry));
    }

    Log::write(raw + ": done in " + Log::seconds((clock.now() - start).count()));

    Config live = store_->config();
    const bool donationDue = live.recordDelivery();
    store_->setConfig(live);
    if (donationDue)
        showDonationLater();

    removeAttachmentFolder(email, attachmentLifetime);
}

QCoro::Task<void> AppDelegate::showDonationLater() {
    co_await services_.clock.sleep(donationDelay);
    ui_.showDonateDialog();
}

std::optional<AppDelegate::Resolved> AppDelegate::resolveTarget(const Email& email) {
    if (auto match = Router::match(email, store_->config()))
        return Resolved{match->route.target(), match->route, match->route.domain};

    const auto suggestion = Router::suggestion(email, store_->config());
    if (!suggestion || !store_->config().askForUnknownRoutes)
        return newChatAnswer();

    const std::string previewPrompt = store_->config().instruction(Action::reply);
    const ChooserResult answer = ui_.askForRoute(*suggestion, previewPrompt);

    if (const auto* save = std::get_if<ChooserResult::Save>(&answer.value)) {
        // Stored before delivery starts, so a failed delivery still keeps the new route.
        Config live = store_->config();
        live.upsert(save->route);
        store_->setConfig(live);
        return Resolved{save->route.target(), save->route, Router::normalizeRule(save->route.domain)};
    }
    if (const auto* once = std::get_if<ChooserResult::Once>(&answer.value))
        return Resolved{once->route.target(), once->route, ""};
    if (std::holds_alternative<ChooserResult::AlwaysNewChat>(answer.value)) {
        Config live = store_->config();
        live.askForUnknownRoutes = false;
        store_->setConfig(live);
        return newChatAnswer();
    }
    return std::nullopt;
}

AppDelegate::Resolved AppDelegate::newChatAnswer() {
    Route destination;
    destination.domain = "";
    destination.matchOn = MatchField::to;
    destination.kind = DestinationKind::newChat;
    return Resolved{ChatTarget::newChat(), destination, ""};
}

void AppDelegate::removeAttachmentFolder(const Email& email, Clock::Duration after) {
    if (!email.attachmentFolder)
        return;
    services_.clock.callAfter(after, [folder = *email.attachmentFolder] {
        // Only the file system is touched off the main thread.
        QThreadPool::globalInstance()->start([folder] {
            std::error_code ignored;
            std::filesystem::remove_all(folder, ignored);
        });
    });
}

} // namespace pellora
