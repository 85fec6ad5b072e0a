#include "GeneralTabModel.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "Pellora/Platform/Accessibility.h"
#include "Pellora/Platform/Workspace.h"
#include "Pellora/Shell/ConfigStore.h"

namespace pellora {

GeneralTabModel::GeneralTabModel(ConfigStore& store, Accessibility& accessibility, Workspace& workspace)
    : store_(store), accessibility_(accessibility), workspace_(workspace) {
    recheck();
}

bool GeneralTabModel::autoSend() const { return store_.config().autoSend; }

void GeneralTabModel::setAutoSend(bool on) {
    Config config = store_.config();
    config.autoSend = on;
    store_.setConfig(config);
}

bool GeneralTabModel::keepActivityLog() const { return store_.config().keepActivityLog; }

void GeneralTabModel::setKeepActivityLog(bool on) {
    Config config = store_.config();
    config.keepActivityLog = on;
    store_.setConfig(config);
}

int GeneralTabModel::delayTenths() const {
    const double tenths = std::round(store_.config().openDelay * 10);
    if (!(tenths >= delayMinimumTenths)) // also NaN
        return delayMinimumTenths;
    return int(std::min<double>(tenths, delayMaximumTenths));
}

void GeneralTabModel::setDelayTenths(int tenths) {
    Config config = store_.config();
    config.openDelay = std::clamp(tenths, delayMinimumTenths, delayMaximumTenths) / 10.0;
    store_.setConfig(config);
}

std::string GeneralTabModel::delayText() const {
    char buffer[512]; // the largest double has 309 digits
    const auto written = std::to_chars(buffer, buffer + sizeof buffer, store_.config().openDelay,
                                       std::chars_format::fixed, 1);
    if (written.ec != std::errc())
        return "s";
    return std::string(buffer, written.ptr) + "s";
}

void GeneralTabModel::recheck() { trusted_ = accessibility_.isTrusted(false); }

std::string_view GeneralTabModel::statusText() const { return trusted_ ? "Allowed" : "Not allowed"; }

std::string_view GeneralTabModel::statusSymbol() const {
    return trusted_ ? "checkmark.circle.fill" : "exclamationmark.triangle.fill";
}

void GeneralTabModel::openPrivacySettings() { workspace_.openURL(std::string(privacySettingsURL)); }

} // namespace pellora
