#pragma once

#include <QWidget>

#include "Pellora/Settings/SettingsContext.h"

namespace pellora {

// The Routes tab of the settings window.
class RoutesTab : public QWidget {
    Q_OBJECT
public:
    explicit RoutesTab(SettingsContext& context, QWidget* parent = nullptr);
};

} // namespace pellora
