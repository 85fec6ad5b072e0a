#include "UpdateManager.h"

#include "Pellora/Shell/Log.h"

namespace pellora {

UpdateManager::UpdateManager(ConfigStore& store, Services services, QObject* parent)
    : QObject(parent), store_(store), services_(std::move(services)) {}

UpdateManager::~UpdateManager() = default;

// Stands in until check-ins are built: each call says so in the log.
void UpdateManager::start() { Log::write("update manager: not available yet"); }
void UpdateManager::checkNow() { Log::write("update check: not available yet"); }
void UpdateManager::syncConsent() { Log::write("consent check-in: not available yet"); }
QCoro::Task<void> UpdateManager::erase() {
    Log::write("erase request: not available yet");
    co_return;
}

} // namespace pellora
