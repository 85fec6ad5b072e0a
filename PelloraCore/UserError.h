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

    // The text to show for any caught failure: a UserError's description, another
    // exception's what(), or "unknown error".
    static std::string describe(const std::exception_ptr& error);

private:
    mutable std::string what_;
};

} // namespace pellora
