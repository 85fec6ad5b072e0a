#include "QtStatusBar.h"

#include <QApplication>
#include <QEvent>
#include <QSystemTrayIcon>

#include "Pellora/Shell/Log.h"
#include "Pellora/Shell/MenuPanel.h"

namespace pellora {

QtStatusBar::QtStatusBar(QObject* parent) : QObject(parent) {
    // Appearance changes arrive as palette changes of the application.
    qApp->installEventFilter(this);
}

QtStatusBar::~QtStatusBar() {
    if (qApp)
        qApp->removeEventFilter(this);
}

void QtStatusBar::createStatusItem() {
    tray_ = std::make_unique<QSystemTrayIcon>();
    connect(tray_.get(), &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        // A double click also reports its first click as a trigger.
        if (reason == QSystemTrayIcon::DoubleClick || !action_)
            return;
        action_();
    });
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        Log::write("status item: this desktop has no system tray; the shortcuts still work");
}

void QtStatusBar::setButton(const MenuBarIcon& image, const std::string& toolTip, std::function<void()> action) {
    image_ = image;
    action_ = std::move(action);
    if (!tray_)
        return;
    tray_->setToolTip(QString::fromStdString(toolTip));
    redrawIcon();
    tray_->show();
}

void QtStatusBar::setPopoverContent(MenuPanelModel& model) { panel_ = std::make_unique<MenuPanel>(model); }

bool QtStatusBar::hasButton() const { return tray_ && image_; }

bool QtStatusBar::isPopoverShown() const { return panel_ && panel_->isVisible(); }

void QtStatusBar::showPopover() {
    if (panel_ && tray_)
        panel_->popUp(tray_->geometry());
}

void QtStatusBar::closePopover() {
    if (panel_)
        panel_->hide();
}

void QtStatusBar::setOpacity(double opacity) {
    opacity_ = opacity;
    redrawIcon();
}

void QtStatusBar::redrawIcon() {
    if (!tray_ || !image_)
        return;
    // A template image: its shape in the appearance's text colour.
    tray_->setIcon(image_->icon(QApplication::palette().color(QPalette::WindowText), opacity_));
}

bool QtStatusBar::eventFilter(QObject* watched, QEvent* event) {
    if (watched == qApp && event->type() == QEvent::ApplicationPaletteChange)
        redrawIcon();
    return QObject::eventFilter(watched, event);
}

} // namespace pellora
