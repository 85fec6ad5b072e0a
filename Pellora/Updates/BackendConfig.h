#pragma once

#include <optional>
#include <string>
#include <string_view>

#include <QUrl>

#include "Pellora/Platform/Bundle.h"

// The build-time facts the check-in and update code needs.
namespace pellora::BackendConfig {

// https://<PELLORA_CHECKIN_HOST>/functions/v1/checkin
const QUrl& checkinURL();
// There is no privacy policy to link to yet; screens hide the link while this is absent.
std::optional<QUrl> privacyPolicyURL();

// The bundle's short version, "0.0.0" without a bundle or without the entry.
std::string appVersion(const std::optional<Bundle>& bundle);
// The same for the running program.
std::string appVersion();
// The bundle the running program was started from, if any; read once.
const std::optional<Bundle>& runningBundle();

// The running system's version as major.minor.patch, the patch always written. A Mac reports
// its macOS version; Linux reports its kernel release, as Foundation does there.
std::string systemVersion();
// The first three numbers of a version text, missing ones as 0: "6.1.0-18-amd64" → "6.1.0",
// "14.5" → "14.5.0".
std::string versionTriple(std::string_view version);

} // namespace pellora::BackendConfig
