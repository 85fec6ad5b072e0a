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

std::string UserError::describe(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const UserError& userError) {
        return userError.description();
    } catch (const std::exception& other) {
        return other.what();
    } catch (...) {
        return "unknown error";
    }
}

} // namespace pellora
