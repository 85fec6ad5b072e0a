// The waits of a delivery, in virtual time. Claude here comes to the front at once and
// focuses its message box 200 ms after a chat opens; a short paste arrives at once.

#include <gtest/gtest.h>

#include "ClaudeDesk.h"

namespace pellora {
namespace {

using namespace testing;

class ClaudeBridgeTiming : public ClaudeDeskTest {};

TEST(ClaudeBridgePasting, TextThenEachFileThenTheUploadWaitThenReturnOnlyWhenAsked) {
    // Box ready after openDelay; the text settles after three equal readings 120 ms apart;
    // each file is followed by 300 ms, the last one also by the upload wait.
    const std::vector<double> fourPastes{1.0, 1.36, 1.66, 1.96};
    const struct {
        const char* name;
        std::vector<std::uintmax_t> sizes;
        bool send;
        std::vector<double> pastes, returns;
        double took;
    } cases[] = {
        {"no files", {}, true, {1.0}, {1.36}, 1.66},
        {"no files, not sent", {}, false, {1.0}, {}, 1.66},
        {"empty files: 0.4 s", {0, 0, 0}, true, fourPastes, {2.66}, 2.96},
        {"20,000,000 bytes: 5.4 s", {10'000'000, 6'000'000, 4'000'000}, true, fourPastes, {7.66}, 7.96},
        {"50,000,000 bytes: 10.0 s", {20'000'000, 20'000'000, 10'000'000}, true, fourPastes, {12.26}, 12.56},
        {"files, not sent", {0, 0, 0}, false, fourPastes, {}, 2.96},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ClaudeDesk desk;
        desk.pasteboard.setString("the user's own clipboard");
        const auto before = desk.pasteboard.items();
        const auto files =
            c.sizes.empty() ? std::vector<std::string>{} : threeFiles(c.sizes[0], c.sizes[1], c.sizes[2]);

        const double took = desk.deliver(ChatTarget::link(chatLink), makeEmail(body, files), c.send);

        expectTimes(desk.keyTimes(KeyEvents::keyV), c.pastes);
        expectTimes(desk.keyTimes(KeyEvents::keyReturn), c.returns);
        EXPECT_SECONDS(took, c.took);
        ASSERT_EQ(desk.claude->sentMessages().size(), c.send ? 1u : 0u);
        EXPECT_EQ(c.send ? desk.claude->sentMessages()[0].files : desk.claude->pendingAttachments(),
                  std::vector<std::filesystem::path>(files.begin(), files.end()));
        EXPECT_EQ(desk.claude->messageBoxText().empty(), c.send);
        EXPECT_EQ(desk.pasteboard.items(), before);
    }
}

TEST(ClaudeBridgeUploadWait, CountsUnreadableFilesAndFoldersAsNothing) {
    EXPECT_DOUBLE_EQ(ClaudeBridge::uploadWait({}), 0.4);
    EXPECT_DOUBLE_EQ(ClaudeBridge::uploadWait({"/nonexistent/file.pdf", makeFile("two.bin", 2'000'000)}), 0.9);
    EXPECT_DOUBLE_EQ(ClaudeBridge::uploadWait({testHome().string()}), 0.4);
}

TEST_F(ClaudeBridgeTiming, FallbackSettleWhenNothingCanBeMeasured) {
    claude->knobs.focus = SimClaude::Focus::button;
    startClaude();
    const std::vector<std::pair<int, double>> cases{{90, 0.303}, {60'000, 2.0}, {0, 0.3}, {50'999, 1.999}};
    for (auto [characters, seconds] : cases) {
        SCOPED_TRACE(characters);
        EXPECT_SECONDS(run(ClaudeBridge::waitForPasteToSettle(platform, characters)), seconds);
    }
}

TEST_F(ClaudeBridgeTiming, MeasuredSettleReturnsAfterThreeEqualPositiveReadings) {
    startClaude();
    ASSERT_TRUE(claude->messageBoxFocused());

    // Already there: read at 0.12, 0.24, 0.36.
    claude->setMessageBoxText("abc");
    EXPECT_SECONDS(run(ClaudeBridge::waitForPasteToSettle(platform, 3)), 0.36);

    // Arrives late, then grows once more: the count restarts at the change.
    claude->setMessageBoxText("");
    clock.callAfter(Clock::Duration(0.1), [&] { claude->setMessageBoxText("abc"); });
    clock.callAfter(Clock::Duration(0.3), [&] { claude->setMessageBoxText("abcd"); });
    EXPECT_SECONDS(run(ClaudeBridge::waitForPasteToSettle(platform, 4)), 0.6);

    // Never anything: the first reading at or past the 10 s deadline ends it.
    claude->setMessageBoxText("");
    EXPECT_SECONDS(run(ClaudeBridge::waitForPasteToSettle(platform, 4)), 10.08);
}

TEST_F(ClaudeBridgeTiming, NewChatLooksForTheBoxAfterThreeTenthsIncognitoAfterTheOpenDelay) {
    config.openDelay = 2.0;
    startClaude();
    double start = clock.now().count();
    deliver(ChatTarget::newChat());

    // Activation: in front at once, then 250 ms; Command-N; 0.3 s; the box is ready by then.
    expectTimes(keyTimes(KeyEvents::keyN, start), {0.25});
    expectTimes(keyTimes(KeyEvents::keyV, start), {0.55});
    EXPECT_EQ(claude->sentMessages().at(0).place, SimClaude::Place::newChat());

    start = clock.now().count();
    deliver(ChatTarget::incognito());
    expectTimes(keyTimes(KeyEvents::keyV, start), {2.0});
    EXPECT_EQ(claude->receivedLinks(), std::vector<std::string>{"claude://claude.ai/new?incognito"});
    EXPECT_EQ(claude->sentMessages().at(1).place, SimClaude::Place::incognito());
}

TEST_F(ClaudeBridgeTiming, ActivationWaitsForClaudeToComeToTheFrontThenAQuarterSecond) {
    claude->knobs.activationDelay = Clock::Duration(1.0); // launched by the delivery
    deliver(ChatTarget::newChat());
    expectTimes(keyTimes(KeyEvents::keyN), {1.25});
    expectTimes(keyTimes(KeyEvents::keyV), {1.55});

    // Never in front within the 3 s: sixty polls, the quarter second, and Command-N goes out.
    ClaudeDesk slow;
    slow.claude->knobs.activationDelay = Clock::Duration(60.0);
    slow.deliver(ChatTarget::newChat());
    ASSERT_FALSE(slow.desktop.keyStrokes().empty());
    EXPECT_EQ(slow.desktop.keyStrokes()[0].keyCode, KeyEvents::keyN);
    EXPECT_SECONDS(slow.desktop.keyStrokes()[0].time.count(), 3.25);
}

TEST(ClaudeBridgeInputWait, BoxThatNeverTakesTheFocusCostsThreeSecondsAndThePasteGoesAhead) {
    // The open delay + 3 s of polling; then the fallback settle for 137 characters (304 ms).
    for (auto [openDelay, pasteAt] : {std::pair{1.0, 4.0}, std::pair{2.0, 5.0}}) {
        SCOPED_TRACE(openDelay);
        ClaudeDesk desk;
        desk.config.openDelay = openDelay;
        desk.claude->knobs.focus = SimClaude::Focus::nowhere;
        desk.deliver(ChatTarget::link(chatLink));

        expectTimes(desk.keyTimes(KeyEvents::keyV), {pasteAt});
        expectTimes(desk.keyTimes(KeyEvents::keyReturn), {pasteAt + 0.304});
        EXPECT_EQ(desk.claude->lostPastes(), 1);
        EXPECT_TRUE(desk.claude->sentMessages().empty());
    }
}

TEST(ClaudeBridgeModifiers, CommandStillHeldDelaysEverythingUntilReleasedOrAboutOneSecond) {
    // Released after 0.5 s; or held for good: 50 rounds of 20 ms. Then the 1 s open delay.
    for (auto [heldFor, pasteAt] : {std::pair{0.5, 1.5}, std::pair{-1.0, 2.0}}) {
        SCOPED_TRACE(heldFor);
        ClaudeDesk desk;
        if (heldFor > 0)
            desk.desktop.holdModifiers(KeyEvents::command, Clock::Duration(heldFor));
        else
            desk.desktop.setModifierFlags(KeyEvents::command | KeyEvents::option);
        desk.clock.callAfter(Clock::Duration(0.49), [&] { EXPECT_TRUE(desk.claude->receivedLinks().empty()); });

        desk.deliver(ChatTarget::link(chatLink));

        expectTimes(desk.keyTimes(KeyEvents::keyV), {pasteAt});
    }
}

TEST_F(ClaudeBridgeTiming, WritesOneTimingLinePerStage) {
    deliver(ChatTarget::link(chatLink), makeEmail(body, threeFiles()));

    EXPECT_EQ(logMessages(), (std::vector<std::string>{"  open chat: 0.00s", "  wait for input: 1.00s",
                                                  "  paste 171 chars: 0.36s", "  attach 3 files: 1.30s"}));
}

} // namespace
} // namespace pellora
