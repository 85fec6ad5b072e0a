#pragma once

#include <filesystem>

#include <QObject>

#include "PelloraCore/Config.h"

namespace pellora {

// The one live configuration. Loads config.json at creation; every assignment notifies
// observers and then saves (a failed save is swallowed; the next assignment tries again).
class ConfigStore : public QObject {
    Q_OBJECT
public:
    explicit ConfigStore(QObject* parent = nullptr);
    ConfigStore(std::filesystem::path file, QObject* parent = nullptr);

    const Config& config() const { return config_; }
    void setConfig(const Config& config);
    const std::filesystem::path& url() const { return url_; }

signals:
    void configChanged();

private:
    std::filesystem::path url_;
    Config config_;
};

} // namespace pellora
