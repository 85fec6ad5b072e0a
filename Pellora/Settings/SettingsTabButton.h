#pragma once

#include <QAbstractButton>

#include "Pellora/Settings/SettingsTabID.h"

namespace pellora {

// One button of the settings window's tab bar: the tab's symbol above its title, the selected
// one in the accent colour on a faint accent plate. Reported to assistive technology as a
// page tab that is selected or not.
class SettingsTabButton : public QAbstractButton {
    Q_OBJECT
public:
    static constexpr int buttonWidth = 118;
    static constexpr int buttonHeight = 54;
    static constexpr int symbolSize = 19;

    explicit SettingsTabButton(SettingsTabID tab, QWidget* parent = nullptr);

    SettingsTabID tab() const { return tab_; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool hitButton(const QPoint& position) const override;

private:
    SettingsTabID tab_;
};

} // namespace pellora
