#include "ConfigStore.h"

#include <exception>

#include "Pellora/Platform/UserFolders.h"

namespace pellora {

ConfigStore::ConfigStore(QObject* parent) : ConfigStore(UserFolders::pelloraSupport() / "config.json", parent) {}

ConfigStore::ConfigStore(std::filesystem::path file, QObject* parent)
    : QObject(parent), url_(std::move(file)), config_(Config::load(url_)) {}

void ConfigStore::setConfig(const Config& config) {
    config_ = config;
    emit configChanged();
    try {
        config_.save(url_);
    } catch (const std::exception&) {
        // Nothing to tell the user: the live document keeps the change and the next
        // assignment saves it again.
    }
}

} // namespace pellora
