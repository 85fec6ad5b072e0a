#pragma once

#include <string>
#include <vector>

#include "PelloraCore/AnalyticsChoice.h"

// What the server stores about this installation, by analytics choice; each item is one
// bullet line.
namespace pellora::PrivacyText {

const std::vector<std::string>& sharedItems();
const std::vector<std::string>& minimalItems();
// sharedItems for `shared`, minimalItems otherwise (`unset` included).
const std::vector<std::string>& items(AnalyticsChoice stored);

// "• " and the item.
std::string bulleted(const std::string& item);

} // namespace pellora::PrivacyText
