#include "SettingsView.h"

#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QShortcut>
#include <QVBoxLayout>

#include "Pellora/Settings/ActivityTab.h"
#include "Pellora/Settings/GeneralTab.h"
#include "Pellora/Settings/PrivacyTab.h"
#include "Pellora/Settings/PromptsTab.h"
#include "Pellora/Settings/RoutesTab.h"
#include "Pellora/Settings/SettingsTabButton.h"
#include "Pellora/Shell/ConfigStore.h"

namespace pellora {

SettingsView::SettingsView(SettingsContext& context, QWidget* parent) : QWidget(parent), context_(context) {
    layout_ = new QVBoxLayout(this);
    layout_->setContentsMargins(0, 0, 0, 0);
    layout_->setSpacing(0);

    auto* bar = new QWidget(this);
    bar->setAccessibleName(QStringLiteral("Settings"));
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(0, 14, 0, 12);
    row->setSpacing(6);
    row->addStretch(1);
    for (SettingsTabID tab : SettingsTabID::allCases()) {
        auto* button = new SettingsTabButton(tab, bar);
        buttons_[tab] = button;
        row->addWidget(button);
        connect(button, &QAbstractButton::clicked, this, [this, tab] { selectTab(tab); });
    }
    row->addStretch(1);
    layout_->addWidget(bar);

    auto* divider = new QFrame(this);
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Plain);
    divider->setForegroundRole(QPalette::Mid);
    layout_->addWidget(divider);

    // The platform's close-window keys (Command-W, Control-W) close it like its close button.
    auto* closeKeys = new QShortcut(QKeySequence::Close, this);
    connect(closeKeys, &QShortcut::activated, this, &QWidget::close);

    buttons_.at(selected_)->setChecked(true);
    content_ = makeTab(selected_);
    layout_->addWidget(content_, 1);
}

QWidget* SettingsView::makeTab(SettingsTabID tab) {
    switch (tab) {
    case SettingsTabID::routes: return new RoutesTab(context_, this);
    case SettingsTabID::prompts: return new PromptsTab(context_, this);
    case SettingsTabID::activity: return new ActivityTab(context_, this);
    case SettingsTabID::general: return new GeneralTab(context_, this);
    case SettingsTabID::account: return new PrivacyTab(context_, this);
    }
    return new QWidget(this);
}

void SettingsView::selectTab(SettingsTabID tab) {
    buttons_.at(tab)->setChecked(true);
    if (tab == selected_ && content_)
        return;
    selected_ = tab;
    QWidget* next = makeTab(tab);
    delete layout_->replaceWidget(content_, next); // the old tab's layout item is ours to free
    // Later, not now: the old tab may be the sender of the click that got us here.
    content_->hide();
    content_->deleteLater();
    content_ = next;
    content_->show();
}

bool SettingsView::event(QEvent* event) {
    // Coming back to the window, perhaps from editing config.json by hand: show what it holds.
    if (event->type() == QEvent::WindowActivate)
        context_.store.reloadIfChangedOnDisk();
    return QWidget::event(event);
}

} // namespace pellora
