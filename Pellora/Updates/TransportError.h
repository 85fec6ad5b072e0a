#pragma once

#include <string>

#include "PelloraCore/UserError.h"

namespace pellora {

// A check-in or a download that got no whole answer: no connection, a failed or untrusted TLS
// handshake, a time-out, a connection closed early, an answer too large to read, an address
// that is not a web address. Carries the network library's words (or ours, where it has none).
class TransportError : public UserError {
public:
    explicit TransportError(std::string description) : description_(std::move(description)) {}
    std::string description() const override { return description_; }

private:
    std::string description_;
};

} // namespace pellora
