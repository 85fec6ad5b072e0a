#pragma once

#include <string>
#include <string_view>

// The one AppleScript that reads Mail's selected message and saves its attachments into a
// folder. MailReader runs it; the simulated Mail recognises exactly this text.
namespace pellora::MailScript {

// Everything up to the opening quote of the folder path literal.
std::string_view firstPiece();
// Everything after the folder path, starting with the "/" that follows it.
std::string_view secondPiece();

// A path made safe inside an AppleScript string literal: backslashes doubled first, then
// double quotes preceded by a backslash.
std::string escapePath(std::string_view path);

// The complete script for saving attachments into `folder`.
std::string source(std::string_view folder);

} // namespace pellora::MailScript
