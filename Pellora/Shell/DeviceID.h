#pragma once

#include <string>

// The random identifier of this installation, in Application Support/Pellora/device-id.
namespace pellora::DeviceID {

// Lower-case UUID; made and stored on first use (returned even when it cannot be stored).
std::string current();
// Removes the file, so the next current() makes a new identifier.
void reset();

} // namespace pellora::DeviceID
