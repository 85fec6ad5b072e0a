#include "PrivacyText.h"

namespace pellora::PrivacyText {

const std::vector<std::string>& sharedItems() {
    static const std::vector<std::string> items{
        "A random device ID, and the dates you first and last used the app",
        "The app version, your macOS version and your language",
        "Your IP address, and the country and city it points to",
    };
    return items;
}

const std::vector<std::string>& minimalItems() {
    static const std::vector<std::string> items{
        "A random device ID, and the dates you first and last used the app",
        "Nothing else about your device: no IP address, location, versions or language are stored",
    };
    return items;
}

const std::vector<std::string>& items(AnalyticsChoice stored) {
    return stored == AnalyticsChoice::shared ? sharedItems() : minimalItems();
}

std::string bulleted(const std::string& item) { return "\u2022 " + item; }

} // namespace pellora::PrivacyText
