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

    std::vector<Alert> alerts;
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
    void setStatusItemOpacity(double opacity) override { opacities.push_back(opacity); }
};

} // namespace pellora::testing
