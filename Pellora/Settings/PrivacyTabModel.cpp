#include "PrivacyTabModel.h"

#include "Pellora/Platform/Clock.h"
#include "Pellora/Settings/PrivacyText.h"
#include "Pellora/Shell/ConfigStore.h"
#include "Pellora/Shell/ShellUI.h"
#include "Pellora/Updates/BackendConfig.h"
#include "Pellora/Updates/UpdateManager.h"
#include "PelloraCore/DateFormatter.h"
#include "PelloraCore/ReferenceDate.h"

namespace pellora {

const std::string PrivacyTabModel::eraseTitle = "Erase your data on the server?";
const std::string PrivacyTabModel::eraseMessage =
    "Everything the server stores about this installation is deleted, including its device ID. "
    "Tovrin then starts again with a new device ID.";

PrivacyTabModel::PrivacyTabModel(ConfigStore& store, UpdateManager& updates, ShellUI& ui, Clock& clock)
    : store_(store), updates_(updates), ui_(ui), clock_(clock) {}

std::string PrivacyTabModel::installedVersion() const { return updates_.appVersion(); }

std::string PrivacyTabModel::lastChecked(std::string_view locale, std::string_view timeZone) const {
    const auto& last = store_.config().lastUpdateCheck;
    if (!last)
        return "Not yet";
    return DateFormatter(locale, timeZone).abbreviated(std::chrono::floor<std::chrono::seconds>(ReferenceDate::to(*last)));
}

bool PrivacyTabModel::canCheckNow() const { return !updates_.busy(); }
bool PrivacyTabModel::showsSpinner() const { return updates_.busy(); }
std::string PrivacyTabModel::statusLine() const { return updates_.status(); }
bool PrivacyTabModel::showsStatusLine() const { return !updates_.status().empty(); }

AnalyticsChoice PrivacyTabModel::shownChoice() const {
    return store_.config().analyticsChoice == AnalyticsChoice::shared ? AnalyticsChoice::shared
                                                                       : AnalyticsChoice::notShared;
}

std::vector<std::string> PrivacyTabModel::storedItems() const {
    std::vector<std::string> lines;
    for (const auto& item : PrivacyText::items(store_.config().analyticsChoice))
        lines.push_back(PrivacyText::bulleted(item));
    return lines;
}

bool PrivacyTabModel::showsPrivacyPolicy() const { return BackendConfig::privacyPolicyURL().has_value(); }

void PrivacyTabModel::checkNow() { updates_.checkNow(); }

void PrivacyTabModel::choose(AnalyticsChoice choice) {
    if (choice == shownChoice())
        return;
    Config config = store_.config();
    config.analyticsChoice = choice;
    store_.setConfig(config);
    config.analyticsChoiceDate = ReferenceDate::from(clock_.wallNow());
    store_.setConfig(config);
    updates_.syncConsent();
}

void PrivacyTabModel::confirmErase() {
    // Cancel comes first, so Return does not erase by accident.
    const std::vector<std::string> buttons{"Cancel", "Erase"};
    if (ui_.runAlert(eraseTitle, eraseMessage, buttons) == 1)
        updates_.erase(); // runs on by itself; its outcome shows in the status line
}

} // namespace pellora
