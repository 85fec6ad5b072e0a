#include "ServerError.h"

namespace pellora {

std::string ServerError::description() const {
    return "The server answered with status " + std::to_string(status_) + ".";
}

} // namespace pellora
