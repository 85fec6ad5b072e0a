#pragma once

#include <string>

#include <QWidget>

class QLabel;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QScrollArea;
class QStackedWidget;
class QVBoxLayout;

namespace pellora {

class SimClaude;

// The "Claude" window of the simulated desktop: draws SimClaude as it is — the sidebar with
// chats and projects, the place shown, the messages sent there, the message box with what was
// pasted and the attachment chips — and redraws whenever it changes. Clicking a chat or a
// project opens its deep link; New chat, typing and Send go to SimClaude as key strokes do.
class SimClaudeWindow : public QWidget {
    Q_OBJECT
public:
    explicit SimClaudeWindow(SimClaude& claude, QWidget* parent = nullptr);
    ~SimClaudeWindow() override;

    // The heading of the place shown ("New chat", a chat's title, …).
    QString placeTitle() const;

private:
    void scheduleRefresh();
    void refresh();
    void refreshSidebar();
    void refreshConversation();
    void openLink(const std::string& path);

    SimClaude& claude_;
    bool refreshScheduled_ = false;
    bool wasFrontmost_ = false;
    bool scrollToEnd_ = false;
    std::string drawnConversation_;

    QStackedWidget* pages_ = nullptr;
    QListWidget* chats_ = nullptr;
    QListWidget* projects_ = nullptr;
    QLabel* title_ = nullptr;
    QScrollArea* scroll_ = nullptr;
    QWidget* conversation_ = nullptr;
    QVBoxLayout* messages_ = nullptr;
    QLabel* chips_ = nullptr;
    QPlainTextEdit* box_ = nullptr;
    QPushButton* send_ = nullptr;
    int observer_ = 0;
};

} // namespace pellora
