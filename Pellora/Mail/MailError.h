#pragma once

#include <string>

#include "PelloraCore/UserError.h"

namespace pellora {

// Why the selected email could not be read.
class MailError : public UserError {
public:
    enum class Kind { script, notRunning, noSelection };

    static MailError script(std::string message) { return MailError(Kind::script, std::move(message)); }
    static MailError notRunning() { return MailError(Kind::notRunning, {}); }
    static MailError noSelection() { return MailError(Kind::noSelection, {}); }

    Kind kind() const { return kind_; }
    const std::string& message() const { return message_; }
    // "Mail scripting failed: …", "Mail is not running.", "No email is selected in Mail."
    std::string description() const override;

private:
    MailError(Kind kind, std::string message) : kind_(kind), message_(std::move(message)) {}
    Kind kind_;
    std::string message_;
};

} // namespace pellora
