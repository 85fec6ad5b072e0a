#pragma once

#include <exception>
#include <string>

namespace pellora {

// A failure the user must see. description() is the exact text shown in the alert; each
// error family (mail, Claude, check-in, updates) derives from this.
class UserError : public std::exception {
public:
    virtual std::string description() const = 0;
    const char* what() const noexcept override;

private:
    mutable std::string what_;
};

} // namespace pellora
