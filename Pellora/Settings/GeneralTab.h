#pragma once

#include <QWidget>

#include "Pellora/Settings/GeneralTabModel.h"
#include "Pellora/Settings/SettingsContext.h"

class QLabel;
class QSlider;

namespace pellora {

class SwitchButton;

// The General tab: auto-send, the activity log, the wait for Claude, the accessibility
// permission and the request for support.
class GeneralTab : public QWidget {
    Q_OBJECT
public:
    GeneralTab(SettingsContext& context, QWidget* parent = nullptr);

private:
    // Shows the store's values and the last trust answer.
    void refresh();

    GeneralTabModel model_;
    SwitchButton* autoSend_;
    SwitchButton* keepLog_;
    QSlider* delay_;
    QLabel* delayText_;
    QLabel* statusIcon_;
    QLabel* statusText_;
};

} // namespace pellora
