#include "UpdateProgress.h"

#include <algorithm>
#include <cmath>

namespace pellora {

UpdateProgress::UpdateProgress(const std::string& version) : label_("Downloading version " + version + "…") {}

void UpdateProgress::downloaded(double fraction) {
    label_ = "Downloading…";
    determinate_ = true;
    fraction_ = std::isfinite(fraction) ? std::clamp(fraction, 0.0, 1.0) : 0.0;
}

void UpdateProgress::verifying() { busy("Verifying…"); }
void UpdateProgress::preparing() { busy("Preparing…"); }
void UpdateProgress::restarting() { busy("Restarting…"); }

void UpdateProgress::busy(const char* label) {
    label_ = label;
    determinate_ = false;
    fraction_ = 0;
}

} // namespace pellora
