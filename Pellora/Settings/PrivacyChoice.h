#pragma once

#include "PelloraCore/AnalyticsChoice.h"

namespace pellora {

// The first-run question whether to share usage information.
namespace PrivacyChoice {

// Shows the consent window modally and returns the answer; `notShared` when the window
// closes without a choice.
AnalyticsChoice ask();

} // namespace PrivacyChoice
} // namespace pellora
