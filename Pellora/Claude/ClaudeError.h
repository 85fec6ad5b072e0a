#pragma once

#include <string>

#include "PelloraCore/UserError.h"

namespace pellora {

// Why a delivery into Claude failed.
class ClaudeError : public UserError {
public:
    enum class Kind { noAccessibility, notInstalled, chatNotFound, projectNotFound };

    static ClaudeError noAccessibility() { return ClaudeError(Kind::noAccessibility, {}); }
    static ClaudeError notInstalled() { return ClaudeError(Kind::notInstalled, {}); }
    static ClaudeError chatNotFound(std::string title) { return ClaudeError(Kind::chatNotFound, std::move(title)); }
    static ClaudeError projectNotFound(std::string name) { return ClaudeError(Kind::projectNotFound, std::move(name)); }

    Kind kind() const { return kind_; }
    // The chat title or project name, where the kind has one.
    const std::string& subject() const { return subject_; }
    std::string description() const override;

private:
    ClaudeError(Kind kind, std::string subject) : kind_(kind), subject_(std::move(subject)) {}
    Kind kind_;
    std::string subject_;
};

} // namespace pellora
