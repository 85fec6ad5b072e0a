#pragma once

#include <optional>
#include <string>

#include "PelloraCore/UserError.h"

namespace pellora {

// An HTTP answer that is not a success: a check-in answered with anything but 200, or an
// update download whose status is not 200.
class ServerError : public UserError {
public:
    // `status` is 0 when the answer was not an HTTP answer; `code` is the body's "error" text.
    explicit ServerError(int status, std::optional<std::string> code = std::nullopt)
        : status_(status), code_(std::move(code)) {}

    int status() const { return status_; }
    const std::optional<std::string>& code() const { return code_; }

    std::string description() const override;

private:
    int status_;
    std::optional<std::string> code_;
};

} // namespace pellora
