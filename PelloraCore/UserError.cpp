#include "UserError.h"

namespace pellora {

const char* UserError::what() const noexcept {
    try {
        what_ = description();
    } catch (...) {
        what_.clear();
    }
    return what_.c_str();
}

} // namespace pellora
