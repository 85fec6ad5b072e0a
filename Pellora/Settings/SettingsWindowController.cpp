#include "SettingsWindowController.h"

#include <QWidget>

#include "Pellora/Shell/Log.h"

namespace pellora {

SettingsWindowController::SettingsWindowController(SettingsContext context) : context_(context) {}

SettingsWindowController::~SettingsWindowController() = default;

void SettingsWindowController::show() { Log::write("settings window: not available yet"); }

QWidget* SettingsWindowController::window() const { return window_.get(); }

} // namespace pellora
