#pragma once

#include <string>

// The script that replaces the application after it has quit. It is started detached with
// the running process's id, the staged copy, the running copy and the target, waits up to
// 30 seconds for the process to end, moves the running copy aside, copies the staged copy
// to the target and opens it; when the copy fails it puts the old copy back and opens that.
namespace pellora::SwapScript {

// For macOS, where `ditto` copies and `open` launches an application folder.
std::string forMacOS();

// The same script for Linux: `ditto` and `open` become shell functions that copy with
// `cp -a` and start the folder's executable in a session of its own.
std::string forLinux();

} // namespace pellora::SwapScript
