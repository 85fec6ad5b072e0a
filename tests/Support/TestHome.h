#pragma once

#include <filesystem>

namespace pellora::testing {

// Each test runs with HOME, the XDG folders and TMPDIR pointing into a fresh temporary
// folder of its own, removed after the test; no test touches the real ones.
void installTestHomeListener();

// The current test's temporary home folder.
std::filesystem::path testHome();

} // namespace pellora::testing
