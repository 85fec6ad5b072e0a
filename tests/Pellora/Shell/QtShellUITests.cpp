#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include "Pellora/Platform/Sim/MemoryPasteboard.h"
#include "Pellora/Platform/Sim/SimDesktop.h"
#include "Pellora/Platform/Sim/VirtualClock.h"
#include "Pellora/Shell/QtShellUI.h"
#include "Pellora/Shell/QtStatusBar.h"

namespace pellora {
namespace {

// Real message boxes, offscreen, answered from inside their modal loop.
TEST(QtShellUIAlert, ButtonsInOrderFirstDefaultClosingAnswersNothingTextStaysText) {
    VirtualClock clock;
    MemoryPasteboard pasteboard;
    SimDesktop desktop(clock, pasteboard);
    QtStatusBar statusBar;
    QtShellUI ui(AppServices{desktop, desktop, desktop, desktop, pasteboard, clock}, statusBar);

    struct Seen {
        std::vector<std::string> buttons; // left to right, "*" marks the default
        std::vector<std::string> texts;
    } seen;
    // Looks at the box once it runs, then answers it.
    auto answerWith = [&](const std::function<void(QMessageBox&)>& answer) {
        QTimer::singleShot(0, [&, answer] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            seen = {};
            auto buttons = box->findChildren<QPushButton*>();
            std::sort(buttons.begin(), buttons.end(), [](auto* a, auto* b) { return a->x() < b->x(); });
            for (auto* button : buttons)
                seen.buttons.push_back(button->text().toStdString() + (button->isDefault() ? "*" : ""));
            for (auto* label : box->findChildren<QLabel*>())
                if (label->isVisible() && !label->text().isEmpty() && label->textFormat() == Qt::PlainText)
                    seen.texts.push_back(label->text().toStdString());
            answer(*box);
        });
    };
    auto press = [](const QString& title) {
        return [title](QMessageBox& box) {
            for (auto* button : box.findChildren<QPushButton*>())
                if (button->text() == title)
                    button->click();
        };
    };
    const std::vector<std::string> buttons{"Donate on Revolut", "Not Now"};

    answerWith(press("Not Now"));
    EXPECT_EQ(ui.runAlert("Enjoying the app?", "Thank you.", buttons), 1);
    EXPECT_EQ(seen.buttons, (std::vector<std::string>{"Donate on Revolut*", "Not Now"}));

    answerWith(press("Donate on Revolut"));
    EXPECT_EQ(ui.runAlert("Enjoying the app?", "Thank you.", buttons), 0);

    answerWith([](QMessageBox& box) { QTest::keyClick(&box, Qt::Key_Escape); });
    EXPECT_EQ(ui.runAlert("Enjoying the app?", "Thank you.", buttons), -1);

    answerWith([](QMessageBox& box) { box.close(); });
    EXPECT_EQ(ui.runAlert("Some shortcuts are unavailable", "⌥⌘S is already used by another app.", buttons), -1);

    // A description holding angle brackets is shown as written, never as markup.
    answerWith(press("OK"));
    ui.showAlert("Tovrin", "Couldn't find the chat “<b>Acme</b>” in Claude's sidebar.");
    EXPECT_EQ(seen.buttons, std::vector<std::string>{"OK*"});
    EXPECT_EQ(seen.texts,
              (std::vector<std::string>{"Tovrin", "Couldn't find the chat “<b>Acme</b>” in Claude's sidebar."}));
}

} // namespace
} // namespace pellora
