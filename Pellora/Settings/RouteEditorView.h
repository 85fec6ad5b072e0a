#pragma once

#include <string>
#include <vector>

#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QToolButton;

namespace pellora {

class RouteEditor;

// The route form on screen: draws a RouteEditor and hands every edit and button back to it.
// Meant to sit in a dialog, where Return presses the prominent button; Escape presses
// "Cancel" wherever it sits.
class RouteEditorView : public QWidget {
    Q_OBJECT
public:
    explicit RouteEditorView(RouteEditor& editor, QWidget* parent = nullptr);

    QSize sizeHint() const override;

private:
    QWidget* makeHeader();
    QWidget* makeRuleSection();
    QWidget* makeDestinationSection();
    QWidget* makeInstructionsSection();
    QWidget* makeResultSection();
    QWidget* makeFooter();
    // Brings every widget in line with the editor's state.
    void sync();

    RouteEditor& editor_;
    QWidget* body_ = nullptr;
    QWidget* footer_ = nullptr;

    QComboBox* field_ = nullptr;
    QComboBox* matchType_ = nullptr;
    QLabel* patternLabel_ = nullptr;
    QLineEdit* pattern_ = nullptr;
    QLabel* ruleError_ = nullptr;
    QLabel* fieldHelp_ = nullptr;

    QComboBox* kind_ = nullptr;
    QLabel* kindExplanation_ = nullptr;
    QLabel* chatLabel_ = nullptr;
    QWidget* chatRow_ = nullptr;
    QComboBox* chat_ = nullptr;
    std::vector<std::string> shownChats_;
    bool chatsShown_ = false;
    QLabel* projectLabel_ = nullptr;
    QLineEdit* project_ = nullptr;
    QLabel* linkLabel_ = nullptr;
    QLineEdit* link_ = nullptr;
    QWidget* linkNotes_ = nullptr;
    QLabel* linkMessage_ = nullptr;

    QPlainTextEdit* instructions_ = nullptr;
    QLabel* result_ = nullptr;
    QToolButton* previewToggle_ = nullptr;
    QPlainTextEdit* preview_ = nullptr;
    QCheckBox* neverAsk_ = nullptr;

    QPushButton* cancel_ = nullptr;
    QPushButton* once_ = nullptr;
    QPushButton* save_ = nullptr;
    QPushButton* alwaysNewChat_ = nullptr;
};

} // namespace pellora
