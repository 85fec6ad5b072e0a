#pragma once

#include <functional>
#include <string>

#include <QCoro/QCoroTask>

#include "PelloraCore/UpdateInfo.h"

namespace pellora {

// Installs an update the user accepted: download, verify, stage and swap, with its progress
// window. The update manager reaches the installer only through this.
class InstallPipeline {
public:
    virtual ~InstallPipeline() = default;

    // On success asks the application to quit (the swap happens after it has). On failure it
    // has hidden its progress and told the user (an alert or the manual-install offer), and
    // has reported the status line ("Update failed: …") through `setStatus`. Never throws.
    virtual QCoro::Task<void> install(const UpdateInfo& update,
                                      std::function<void(const std::string&)> setStatus) = 0;
};

} // namespace pellora
