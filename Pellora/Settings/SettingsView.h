#pragma once

#include <map>

#include <QWidget>

#include "Pellora/Settings/SettingsContext.h"
#include "Pellora/Settings/SettingsTabID.h"

class QVBoxLayout;

namespace pellora {

class SettingsTabButton;

// The settings window's content: the tab bar, a divider and the selected tab, which is made
// afresh each time it is selected.
class SettingsView : public QWidget {
    Q_OBJECT
public:
    explicit SettingsView(SettingsContext& context, QWidget* parent = nullptr);

    SettingsTabID selectedTab() const { return selected_; }
    void selectTab(SettingsTabID tab);
    QWidget* tabContent() const { return content_; }
    SettingsTabButton* tabButton(SettingsTabID tab) const { return buttons_.at(tab); }

protected:
    bool event(QEvent* event) override;

private:
    QWidget* makeTab(SettingsTabID tab);

    SettingsContext& context_;
    SettingsTabID selected_ = SettingsTabID::routes;
    std::map<SettingsTabID::Value, SettingsTabButton*> buttons_;
    QVBoxLayout* layout_;
    QWidget* content_ = nullptr;
};

} // namespace pellora
