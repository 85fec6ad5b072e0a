#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include "App/Desk.h"
#include "App/Driving.h"
#include "Pellora/Shell/QtShellUI.h"
#include "Pellora/Shell/QtStatusBar.h"

namespace pellora {
namespace {

// Real message boxes, offscreen, answered from inside their modal loop.
TEST(QtShellUIAlert, ButtonsInOrderFirstDefaultClosingAnswersNothingTextStaysText) {
    testing::Desk desk;
    QtStatusBar statusBar;
    QtShellUI ui(desk.services(), statusBar);

    std::vector<std::string> buttons; // left to right, "*" marks the default
    std::vector<std::string> texts;   // as a reader sees them
    auto answerWith = [&](std::function<void(QMessageBox&)> answer) {
        pellora::testing::whenModal([&, answer](QWidget* modal) {
            auto& box = *qobject_cast<QMessageBox*>(modal);
            auto shown = box.findChildren<QPushButton*>();
            std::sort(shown.begin(), shown.end(), [](auto* a, auto* b) { return a->x() < b->x(); });
            buttons.clear();
            for (auto* button : shown)
                buttons.push_back(button->text().toStdString() + (button->isDefault() ? "*" : ""));
            texts.clear();
            for (auto* label : box.findChildren<QLabel*>())
                if (label->isVisible() && !label->text().isEmpty())
                    texts.push_back(pellora::testing::shownText(label).toStdString());
            answer(box);
        });
    };
    auto press = [](const QString& title) {
        return [title](QMessageBox& box) {
            for (auto* button : box.findChildren<QPushButton*>())
                if (button->text() == title)
                    button->click();
        };
    };

    struct Case {
        const char* name;
        std::function<void(QMessageBox&)> answer;
        int chosen;
    };
    const std::vector<Case> cases{
        {"second button", press("Not Now"), 1},
        {"first button", press("Donate on Revolut"), 0},
        {"Escape", [](QMessageBox& box) { QTest::keyClick(&box, Qt::Key_Escape); }, -1},
        {"closed", [](QMessageBox& box) { box.close(); }, -1},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        answerWith(test.answer);
        EXPECT_EQ(ui.runAlert("Enjoying the app?", "Thank you.", {"Donate on Revolut", "Not Now"}), test.chosen);
        EXPECT_EQ(buttons, (std::vector<std::string>{"Donate on Revolut*", "Not Now"}));
    }

    // A description holding angle brackets is shown as written, never as markup.
    answerWith(press("OK"));
    ui.showAlert("Tovrin", "Couldn't find the chat “<b>Acme</b>” in Claude's sidebar.");
    EXPECT_EQ(buttons, std::vector<std::string>{"OK*"});
    EXPECT_EQ(texts, (std::vector<std::string>{"Tovrin", "Couldn't find the chat “<b>Acme</b>” in Claude's sidebar."}));
}

} // namespace
} // namespace pellora
