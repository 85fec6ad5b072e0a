#pragma once

#include <string>
#include <string_view>

// UUID texts: 36 characters, hexadecimal groups of 8-4-4-4-12 joined by hyphens.
namespace pellora::Uuid {

// Exactly that form, in either case; no braces, no white space.
bool isValid(std::string_view text);

// A new random (version 4) UUID in lower case.
std::string random();

} // namespace pellora::Uuid
