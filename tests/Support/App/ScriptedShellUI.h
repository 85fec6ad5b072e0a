#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "Pellora/Shell/ShellUI.h"

namespace pellora::testing {

// Answers the shell's modal pieces from a script and records everything it was asked.
class ScriptedShellUI : public ShellUI {
public:
    struct Alert {
        std::string message;
        std::string informativeText;
        bool operator==(const Alert&) const = default;
    };
    struct ChooserCall {
        Router::RouteSuggestion suggestion;
        std::string previewPrompt;
    };

    struct Choice {
        std::string message;
        std::string informativeText;
        std::vector<std::string> buttons;
        bool operator==(const Choice&) const = default;
    };

    std::vector<Alert> alerts;
    std::vector<Choice> choices;
    // Answers for runAlert, in order; when empty it answers -1 (closed without a choice).
    std::deque<int> choiceAnswers;
    int privacyQuestions = 0;
    AnalyticsChoice privacyAnswer = AnalyticsChoice::notShared;
    std::vector<ChooserCall> chooserCalls;
    std::vector<double> opacities;
    int beeps = 0;
    int activations = 0;
    int donateDialogs = 0;

    // Answers for the chooser, in order; when empty the chooser answers cancel.
    std::deque<ChooserResult> chooserAnswers;
    // Runs inside the chooser before it answers (to let time pass, for example).
    std::function<void()> whileChoosing;

    void beep() override { ++beeps; }
    void activateApplication() override { ++activations; }
    void showAlert(const std::string& message, const std::string& informativeText) override {
        alerts.push_back({message, informativeText});
    }
    int runAlert(const std::string& message, const std::string& informativeText,
                 const std::vector<std::string>& buttons) override {
        choices.push_back({message, informativeText, buttons});
        if (choiceAnswers.empty())
            return -1;
        const int answer = choiceAnswers.front();
        choiceAnswers.pop_front();
        return answer;
    }
    ChooserResult askForRoute(const Router::RouteSuggestion& suggestion,
                              const std::string& previewPrompt) override {
        chooserCalls.push_back({suggestion, previewPrompt});
        if (whileChoosing)
            whileChoosing();
        if (chooserAnswers.empty())
            return ChooserResult::cancel();
        auto answer = chooserAnswers.front();
        chooserAnswers.pop_front();
        return answer;
    }
    void showDonateDialog() override { ++donateDialogs; }
    AnalyticsChoice askPrivacyChoice() override {
        ++privacyQuestions;
        return privacyAnswer;
    }
    void setStatusItemOpacity(double opacity) override { opacities.push_back(opacity); }
};

} // namespace pellora::testing
