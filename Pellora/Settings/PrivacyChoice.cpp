#include "PrivacyChoice.h"

#include "Pellora/Shell/Log.h"

namespace pellora::PrivacyChoice {

AnalyticsChoice ask() {
    Log::write("consent window: not available yet; answering notShared");
    return AnalyticsChoice::notShared;
}

} // namespace pellora::PrivacyChoice
