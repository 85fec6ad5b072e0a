// The simulated desktop's two windows, offscreen with real widgets: what the user picks in
// "Mail" is what the reader's script gets, and "Claude" draws and drives SimClaude.

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include "App/Driving.h"
#include "App/VirtualTime.h"
#include "Pellora/Platform/Sim/MemoryPasteboard.h"
#include "Pellora/Platform/Sim/SimClaude.h"
#include "Pellora/Platform/Sim/SimClaudeWindow.h"
#include "Pellora/Platform/Sim/SimDesktop.h"
#include "Pellora/Platform/Sim/SimMail.h"
#include "Pellora/Platform/Sim/SimMailWindow.h"
#include "Pellora/Platform/Sim/VirtualClock.h"
#include "TestHome.h"

namespace pellora {
namespace {

namespace fs = std::filesystem;

TEST(SimMailWindow, TheRowsPickedAreMailsSelectionInListOrder) {
    // Deep enough that the whole path would not fit the window's side of the screen.
    const fs::path folder = pellora::testing::testHome() / std::string(120, 'm') / "inbox";
    fs::create_directories(folder);
    const std::vector<std::pair<std::string, std::string>> messages{
        {"old.eml", "Mon, 02 Nov 2026 10:00:00 +0000"},
        {"new.eml", "Wed, 02 Dec 2026 10:00:00 +0000"},
        {"mid.eml", "Sun, 15 Nov 2026 10:00:00 +0000"},
    };
    for (const auto& [name, date] : messages)
        std::ofstream(folder / name) << "From: Ann Example <ann@example.com>\r\nSubject: " << name
                                     << "\r\nDate: " << date << "\r\n\r\nBody of " << name;
    std::ofstream(folder / "attached.eml")
        << "Subject: attached\r\nMIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"b\"\r\n\r\n"
           "--b\r\nContent-Type: text/plain\r\n\r\nSee the notes.\r\n"
           "--b\r\nContent-Type: text/plain\r\nContent-Disposition: attachment; filename=\"<b>notes</b>.txt\"\r\n\r\n"
           "notes\r\n--b--\r\n";
    SimMail mail;
    SimMailWindow window(mail);
    window.openFolder(folder);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    EXPECT_LE(window.minimumSizeHint().width(), 560);

    QTreeWidget* list = window.list();
    ASSERT_EQ(list->topLevelItemCount(), 4);
    // Names from a message are shown as written, never read as markup.
    EXPECT_EQ(pellora::testing::shownText(list->topLevelItem(3)->toolTip(1)), "Attachments: <b>notes</b>.txt");
    EXPECT_EQ(list->topLevelItem(0)->text(0), "Ann Example");
    EXPECT_EQ(list->topLevelItem(0)->text(1), "new.eml");
    EXPECT_EQ(mail.selection(), std::vector<fs::path>{folder / "new.eml"}); // the newest, at once

    auto click = [&](int row, Qt::KeyboardModifiers modifiers = {}) {
        const QRect rect = list->visualItemRect(list->topLevelItem(row));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers, rect.center());
    };
    click(2);
    EXPECT_EQ(mail.selection(), std::vector<fs::path>{folder / "old.eml"});
    click(0, Qt::ControlModifier);
    EXPECT_EQ(mail.selection(), (std::vector<fs::path>{folder / "new.eml", folder / "old.eml"}));
    click(0, Qt::ControlModifier);
    click(2, Qt::ControlModifier);
    EXPECT_TRUE(mail.selection().empty());
}

TEST(SimClaudeWindow, DrawsClaudeAndPassesTheUserOn) {
    using pellora::testing::named;
    VirtualClock clock;
    MemoryPasteboard pasteboard;
    SimDesktop desktop(clock, pasteboard);
    auto claude = std::make_shared<SimClaude>();
    claude->addChat("<i>Invoices</i>", "c-1");
    desktop.install(claude);
    SimClaudeWindow window(*claude);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    auto* chats = named<QListWidget>(&window, "Chats");
    auto* box = named<QPlainTextEdit>(&window, "Write your prompt to Claude");
    ASSERT_TRUE(chats && box);

    EXPECT_FALSE(chats->isVisible()); // "Claude is not running."
    desktop.launch(SimClaude::identifier);
    pellora::testing::settle(clock);
    EXPECT_TRUE(chats->isVisible());
    EXPECT_EQ(window.placeTitle(), "New chat");

    // A chat clicked in the sidebar opens by its link; its title is shown as written.
    ASSERT_EQ(chats->count(), 1);
    QTest::mouseClick(chats->viewport(), Qt::LeftButton, {}, chats->visualItemRect(chats->item(0)).center());
    pellora::testing::settle(clock);
    EXPECT_EQ(claude->receivedLinks(), std::vector<std::string>{"claude://claude.ai/chat/c-1"});
    EXPECT_EQ(pellora::testing::shownText(named<QLabel>(&window, "Place")), "<i>Invoices</i>");

    // What arrives by paste shows in the box, files as chips; what the user types goes into
    // Claude's box.
    pasteboard.setString("Pasted text");
    claude->keyStroke(KeyEvents::keyV, KeyEvents::command);
    pasteboard.writeFileURL((pellora::testing::testHome() / "<b>x.pdf").string());
    claude->keyStroke(KeyEvents::keyV, KeyEvents::command);
    pellora::testing::settle(clock);
    EXPECT_EQ(box->toPlainText(), "Pasted text");
    EXPECT_EQ(pellora::testing::shownText(named<QLabel>(&window, "Attachments")), "[<b>x.pdf]");
    box->setFocus();
    box->moveCursor(QTextCursor::End);
    QTest::keyClicks(box, " and typed");
    EXPECT_EQ(claude->messageBoxText(), "Pasted text and typed");

    QTest::mouseClick(named<QPushButton>(&window, "Send message"), Qt::LeftButton);
    pellora::testing::settle(clock);
    ASSERT_EQ(claude->sentMessages().size(), 1u);
    EXPECT_EQ(claude->sentMessages()[0].text, "Pasted text and typed");
    EXPECT_EQ(box->toPlainText(), "");
    bool drawn = false;
    for (auto* label : window.findChildren<QLabel*>())
        drawn = drawn || (label->isVisible() && label->text() == "Pasted text and typed");
    EXPECT_TRUE(drawn);
}

} // namespace
} // namespace pellora
