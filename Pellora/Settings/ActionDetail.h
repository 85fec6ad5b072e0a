#pragma once

#include <string>
#include <vector>

#include <QWidget>

#include "Pellora/Settings/PromptsTabModel.h"

class QButtonGroup;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QVBoxLayout;

namespace pellora {

class FormSection;

// The editor of one action on the Prompts tab: its name, what happens to the email, its
// prompt, and the way back to the defaults. Every keystroke goes straight to the model.
class ActionDetail : public QWidget {
    Q_OBJECT
public:
    ActionDetail(PromptsTabModel& model, QWidget* parent = nullptr);

    // Shows the model's values. The text fields are rewritten only when the stored text is
    // no longer the one they last showed or wrote (`force` after another action is selected),
    // so typing keeps its cursor.
    void refresh(bool force = false);

private:
    void showExplanation(const std::vector<PromptsTabModel::Line>& lines);
    // The prompt editor's text with its paragraph breaks as line feeds.
    std::string promptText() const;

    PromptsTabModel& model_;
    QLineEdit* name_;
    QLabel* shortcut_;
    FormSection* menuItem_;
    QButtonGroup* modes_;
    std::vector<QRadioButton*> modeButtons_;
    QWidget* explanation_;
    QVBoxLayout* explanationLines_;
    FormSection* promptSection_;
    QPlainTextEdit* prompt_;
    QPushButton* reset_;
    std::string shownName_;
    std::string shownPrompt_;
    std::vector<PromptsTabModel::Line> shownLines_;
};

} // namespace pellora
