#pragma once

#include <string>

namespace pellora {

class ShellUI;
class Workspace;

// The request for a donation: the send flow's one-time prompt, the menu panel's
// "Support the App" and the settings' donation section all lead here.
namespace Donate {

// The donation link, fixed at build time.
std::string url();

// The alert's text, with the link written out in full.
std::string dialogText();

// Shows the donation alert modally; opens the link in the default browser only on
// "Donate on Revolut".
void showDialog(ShellUI& ui, Workspace& workspace);

} // namespace Donate
} // namespace pellora
