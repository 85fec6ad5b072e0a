#pragma once

#include <optional>

#include <QWidget>

#include "Pellora/Settings/RoutesTabModel.h"
#include "Pellora/Settings/SettingsContext.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QStackedWidget;
class QToolButton;

namespace pellora {

class FormSection;
class RouteList;

// The Routes tab of the settings window: explains routes, lists them with their overlap
// warnings, adds, edits, removes and reorders them, switches asking for unrouted emails and
// tests which route a sender and recipient would follow. Redraws whenever the configuration
// changes.
class RoutesTab : public QWidget {
    Q_OBJECT
public:
    explicit RoutesTab(SettingsContext& context, QWidget* parent = nullptr);

    // Opens the route editor over the tab, for a new route or for `editing`; returns when it
    // is closed.
    void openEditor(const std::optional<Route>& editing);

protected:
    void changeEvent(QEvent* event) override;

private:
    QWidget* makeExplainer();
    QWidget* makeList();
    QWidget* makeToggle();
    QWidget* makeTester();
    QWidget* makeRow(const RoutesTabModel::RouteRow& row);
    void render();
    void showTestResult();

    SettingsContext& context_;
    RoutesTabModel model_;

    QStackedWidget* listOrEmpty_ = nullptr;
    RouteList* list_ = nullptr;
    QToolButton* remove_ = nullptr;
    QCheckBox* ask_ = nullptr;
    FormSection* askSection_ = nullptr;
    QLineEdit* testFrom_ = nullptr;
    QLineEdit* testTo_ = nullptr;
    QLabel* testResult_ = nullptr;
};

} // namespace pellora
