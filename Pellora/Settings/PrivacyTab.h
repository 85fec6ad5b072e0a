#pragma once

#include <QWidget>

#include "Pellora/Settings/PrivacyTabModel.h"
#include "Pellora/Settings/SettingsContext.h"

class QButtonGroup;
class QLabel;
class QPushButton;
class QRadioButton;
class QVBoxLayout;

namespace pellora {

class Spinner;

// The Privacy tab of the settings window: updates, the promise that emails stay local, the
// analytics choice with what the server stores, and erasing that data.
class PrivacyTab : public QWidget {
    Q_OBJECT
public:
    explicit PrivacyTab(SettingsContext& context, QWidget* parent = nullptr);

private:
    void refresh();

    PrivacyTabModel model_;
    QLabel* version_ = nullptr;
    QLabel* lastChecked_ = nullptr;
    QPushButton* checkNow_ = nullptr;
    Spinner* spinner_ = nullptr;
    QLabel* status_ = nullptr;
    QButtonGroup* choices_ = nullptr;
    QRadioButton* share_ = nullptr;
    QRadioButton* dontShare_ = nullptr;
    QVBoxLayout* items_ = nullptr;
    QPushButton* erase_ = nullptr;
    QLabel* policy_ = nullptr;
};

} // namespace pellora
