#include "MailError.h"

namespace pellora {

std::string MailError::description() const {
    switch (kind_) {
    case Kind::script:
        return "Mail scripting failed: " + message_;
    case Kind::notRunning:
        return "Mail is not running.";
    case Kind::noSelection:
        return "No email is selected in Mail.";
    }
    return {};
}

} // namespace pellora
