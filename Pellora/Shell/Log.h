#pragma once

#include <filesystem>
#include <string>

// The append-only text log, Library/Logs/Pellora.log: one line per message, each the UTC
// time (2026-12-05T06:19:03Z), a space and the message. Never fails; safe from any thread.
namespace pellora::Log {

void write(const std::string& message);
std::filesystem::path file();

// A duration for timing lines, "%.2fs" with a full stop whatever the locale ("0.84s").
std::string seconds(double seconds);

} // namespace pellora::Log
