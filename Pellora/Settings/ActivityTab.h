#pragma once

#include <QWidget>
#include <QCoro/QCoroTask>

#include "Pellora/Claude/ClaudePlatform.h"
#include "Pellora/Settings/SettingsContext.h"
#include "PelloraCore/ChatTarget.h"

class QLabel;
class QLineEdit;
class QModelIndex;
class QPushButton;
class QStackedWidget;
class QTableView;

namespace pellora {

class ActivityTableModel;
class ShellUI;

// The Activity tab: the activity log as a searchable table, from which an email opens again
// in Mail and a chat in Claude; shows the log file and clears it.
class ActivityTab : public QWidget {
    Q_OBJECT
public:
    ActivityTab(SettingsContext& context, QWidget* parent = nullptr);
    ~ActivityTab() override;

    ActivityTableModel& model() const { return *model_; }

    // Shows the chat in Claude; a failure ends in the alert "Tovrin" with the reason. Needs
    // nothing of the tab, which may be gone by the time Claude answers.
    static QCoro::Task<void> openChat(ClaudePlatform platform, ShellUI& ui, ChatTarget target);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Opens what the cell links to: the email in Mail or the chat in Claude.
    void open(const QModelIndex& index);
    void confirmClear();
    // The count, the note or the table, and whether there is anything to clear.
    void refresh();

    SettingsContext& context_;
    ActivityTableModel* model_;
    QLineEdit* search_;
    QLabel* count_;
    QStackedWidget* body_;
    QLabel* message_;
    QTableView* table_;
    QPushButton* clear_;
};

} // namespace pellora
