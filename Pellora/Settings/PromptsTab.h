#pragma once

#include <QWidget>

#include "Pellora/Settings/PromptsTabModel.h"
#include "Pellora/Settings/SettingsContext.h"

class QListWidget;

namespace pellora {

class ActionDetail;

// The Prompts tab: the six actions on the left, the editor of the selected one on the right.
class PromptsTab : public QWidget {
    Q_OBJECT
public:
    PromptsTab(SettingsContext& context, QWidget* parent = nullptr);

private:
    // Redraws the list and the editor from the live configuration.
    void refresh();

    PromptsTabModel model_;
    QListWidget* list_;
    ActionDetail* detail_;
};

} // namespace pellora
