#pragma once

#include <QWidget>

#include "Pellora/Settings/SettingsContext.h"

namespace pellora {

// The Privacy tab of the settings window.
class PrivacyTab : public QWidget {
    Q_OBJECT
public:
    explicit PrivacyTab(SettingsContext& context, QWidget* parent = nullptr);
};

} // namespace pellora
