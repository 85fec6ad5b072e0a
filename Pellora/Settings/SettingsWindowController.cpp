#include "SettingsWindowController.h"

#include <algorithm>

#include <QGuiApplication>
#include <QScreen>

#include "Pellora/Settings/SettingsView.h"
#include "Pellora/Shell/ShellUI.h"

namespace pellora {
namespace {

constexpr int tallest = 700;
constexpr int screenMargin = 60;
// What a missing screen counts as, which leaves the tallest height.
constexpr int noScreenHeight = 740;

} // namespace

SettingsWindowController::SettingsWindowController(SettingsContext context) : context_(context) {}

SettingsWindowController::~SettingsWindowController() = default;

int SettingsWindowController::contentHeight(std::optional<int> availableHeight) {
    const int candidate = availableHeight ? *availableHeight - screenMargin : noScreenHeight;
    return std::min(tallest, candidate);
}

void SettingsWindowController::show() {
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!view_) {
        view_ = std::make_unique<SettingsView>(context_);
        view_->setWindowTitle(QStringLiteral("Tovrin Settings"));
        // A title bar with a close button only: no minimising, no resizing.
        view_->setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
        const auto available = screen ? std::optional(screen->availableGeometry().height()) : std::nullopt;
        view_->setFixedSize(contentWidth, contentHeight(available));
    }
    if (screen) {
        QRect frame = view_->frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        view_->move(frame.topLeft());
    }
    context_.ui.activateApplication();
    view_->show();
    view_->raise();
    view_->activateWindow();
}

QWidget* SettingsWindowController::window() const { return view_.get(); }

} // namespace pellora
