#pragma once

#include <string>
#include <string_view>

namespace pellora {

class Accessibility;
class ConfigStore;
class Workspace;

// The rules of the General tab: three options of the configuration, each change saved
// through the store, and whether Tovrin may use the accessibility interface.
class GeneralTabModel {
public:
    // The delay slider works in tenths of a second: 0.4 to 3.0 in steps of 0.1.
    static constexpr int delayMinimumTenths = 4;
    static constexpr int delayMaximumTenths = 30;
    // The Accessibility list in Privacy & Security.
    static constexpr std::string_view privacySettingsURL =
        "x-apple.systempreferences:com.apple.preference.security?Privacy_Accessibility";

    // Asks once, without prompting, whether the application is trusted.
    GeneralTabModel(ConfigStore& store, Accessibility& accessibility, Workspace& workspace);

    bool autoSend() const;
    void setAutoSend(bool on);
    bool keepActivityLog() const;
    void setKeepActivityLog(bool on);

    // The stored delay on the slider: rounded to a step and kept within its ends.
    int delayTenths() const;
    // Stores the step's value in seconds.
    void setDelayTenths(int tenths);
    // The stored delay with one decimal and "s", with a full stop in every locale.
    std::string delayText() const;

    bool trusted() const { return trusted_; }
    // Asks again, without prompting.
    void recheck();
    std::string_view statusText() const;
    std::string_view statusSymbol() const;

    void openPrivacySettings();

private:
    ConfigStore& store_;
    Accessibility& accessibility_;
    Workspace& workspace_;
    bool trusted_ = false;
};

} // namespace pellora
