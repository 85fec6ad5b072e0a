#include "UpdateError.h"

namespace pellora {

std::string UpdateError::description() const {
    switch (kind_) {
    case Kind::wrongApp:
        return "The download isn't the expected update: " + text_ + ".";
    case Kind::cannotInstallHere:
        return text_;
    case Kind::tool:
        return "Something went wrong while installing: " + text_ + ".";
    case Kind::badChecksum:
        return "The download is damaged (its checksum doesn't match). Try again later.";
    case Kind::noApp:
        return "The download doesn't contain the app.";
    case Kind::invalidSignature:
        return "The downloaded app's code signature is not valid.";
    case Kind::cannotVerifyPublisher:
        return "This copy of the app isn't signed with the developer certificate, so it can't verify that "
               "the update comes from the same publisher.";
    case Kind::publisherMismatch:
        return "The downloaded app was signed by a different publisher than this one.";
    }
    return {};
}

} // namespace pellora
