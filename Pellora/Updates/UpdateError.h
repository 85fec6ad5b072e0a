#pragma once

#include <string>

#include "PelloraCore/UserError.h"

namespace pellora {

// Why an accepted update could not be installed. Three kinds carry a text: the detail of
// `wrongApp` and `tool`, and the whole message of `cannotInstallHere`.
class UpdateError : public UserError {
public:
    enum class Kind {
        wrongApp,
        cannotInstallHere,
        tool,
        badChecksum,
        noApp,
        invalidSignature,
        cannotVerifyPublisher,
        publisherMismatch,
    };

    static UpdateError wrongApp(std::string detail) { return {Kind::wrongApp, std::move(detail)}; }
    static UpdateError cannotInstallHere(std::string message) { return {Kind::cannotInstallHere, std::move(message)}; }
    static UpdateError tool(std::string detail) { return {Kind::tool, std::move(detail)}; }
    static UpdateError badChecksum() { return {Kind::badChecksum}; }
    static UpdateError noApp() { return {Kind::noApp}; }
    static UpdateError invalidSignature() { return {Kind::invalidSignature}; }
    static UpdateError cannotVerifyPublisher() { return {Kind::cannotVerifyPublisher}; }
    static UpdateError publisherMismatch() { return {Kind::publisherMismatch}; }

    Kind kind() const { return kind_; }
    // The payload text; empty for the kinds without one.
    const std::string& text() const { return text_; }

    std::string description() const override;

    bool operator==(const UpdateError& other) const { return kind_ == other.kind_ && text_ == other.text_; }

private:
    UpdateError(Kind kind, std::string text = {}) : kind_(kind), text_(std::move(text)) {}

    Kind kind_;
    std::string text_;
};

} // namespace pellora
