#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "PelloraCore/AnalyticsChoice.h"

namespace pellora {

class Clock;
class ConfigStore;
class ShellUI;
class UpdateManager;

// The rules of the Privacy tab: what its rows show, what is enabled, and what choosing and
// erasing do. Reads the configuration and the update manager afresh on every call.
class PrivacyTabModel {
public:
    PrivacyTabModel(ConfigStore& store, UpdateManager& updates, ShellUI& ui, Clock& clock);

    std::string installedVersion() const;
    // The last successful check as an abbreviated date with a short time in `locale` (a BCP 47
    // name), or "Not yet". An empty time zone is the system's.
    std::string lastChecked(std::string_view locale, std::string_view timeZone = {}) const;
    bool canCheckNow() const;
    bool showsSpinner() const;
    // The update manager's last outcome; the line is hidden while it is empty.
    std::string statusLine() const;
    bool showsStatusLine() const;

    // `shared` only when the stored choice is `shared`; `notShared` otherwise, `unset` included.
    AnalyticsChoice shownChoice() const;
    // The bullet lines of the callout, for the stored choice.
    std::vector<std::string> storedItems() const;
    bool showsPrivacyPolicy() const;

    void checkNow();
    // Stores the choice and its date, then tells the server. Choosing what is shown does nothing.
    void choose(AnalyticsChoice choice);
    // Asks before erasing; on "Erase" the update manager erases (its status line tells the outcome).
    void confirmErase();

    static const std::string eraseTitle;
    static const std::string eraseMessage;

private:
    ConfigStore& store_;
    UpdateManager& updates_;
    ShellUI& ui_;
    Clock& clock_;
};

} // namespace pellora
