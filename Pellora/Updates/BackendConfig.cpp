#include "BackendConfig.h"

#include <QCoreApplication>
#include <QOperatingSystemVersion>
#include <QSysInfo>

#include "PelloraCore/AppVersion.h"

namespace pellora::BackendConfig {

const QUrl& checkinURL() {
    static const QUrl url(QStringLiteral("https://" PELLORA_CHECKIN_HOST "/functions/v1/checkin"));
    return url;
}

std::optional<QUrl> privacyPolicyURL() { return std::nullopt; }

std::string appVersion(const std::optional<Bundle>& bundle) { return bundle ? bundle->version() : "0.0.0"; }

std::string appVersion() { return appVersion(runningBundle()); }

const std::optional<Bundle>& runningBundle() {
    static const std::optional<Bundle> bundle =
        Bundle::containing(QCoreApplication::applicationFilePath().toStdString());
    return bundle;
}

std::string systemVersion() {
#if defined(Q_OS_MACOS)
    const auto current = QOperatingSystemVersion::current();
    return versionTriple(QStringLiteral("%1.%2.%3")
                             .arg(current.majorVersion())
                             .arg(std::max(current.minorVersion(), 0))
                             .arg(std::max(current.microVersion(), 0))
                             .toStdString());
#else
    // What Foundation's operatingSystemVersion reports off the Mac: the kernel release.
    static const std::string version = versionTriple(QSysInfo::kernelVersion().toStdString());
    return version;
#endif
}

std::string versionTriple(std::string_view version) {
    const auto parts = AppVersion::parts(version);
    std::string triple;
    for (std::size_t i = 0; i < 3; ++i) {
        if (i > 0)
            triple += '.';
        triple += std::to_string(i < parts.size() ? parts[i] : 0);
    }
    return triple;
}

} // namespace pellora::BackendConfig
