// The waits of a delivery, in virtual time. Claude here comes to the front at once and
// focuses its message box 200 ms after a chat opens; a short paste arrives at once.

#include <fstream>

#include <gtest/gtest.h>

#include "ClaudeDesk.h"
#include "Pellora/Claude/ClaudeBridge.h"
#include "Pellora/Shell/Log.h"

namespace pellora {
namespace {

using testing::ClaudeDesk;
using testing::expectTimes;
using testing::makeEmail;
using testing::makeFile;

constexpr const char* chatLink = "claude://claude.ai/chat/c-7";
// 137 characters once composed without an instruction.
constexpr const char* body = "Please find the invoice attached.";

class ClaudeBridgeTiming : public ::testing::Test, protected ClaudeDesk {
protected:
    Config config; // openDelay 1.0

    double deliver(Email email, ChatTarget target, bool send = true) {
        return run(ClaudeBridge::deliver(platform, std::move(email), std::move(target), "", send, config));
    }
};

TEST(ClaudeBridgeWithoutAttachments, PastesOnceAndSendsOnlyWhenAsked) {
    for (bool send : {true, false}) {
        SCOPED_TRACE(send);
        ClaudeDesk desk;
        desk.pasteboard.setString("the user's own clipboard");
        const auto before = desk.pasteboard.items();

        const double took = desk.run(ClaudeBridge::deliver(desk.platform, makeEmail(body), ChatTarget::link(chatLink),
                                                           "", send, Config{}));

        // Box ready after openDelay; the paste settles after three equal readings 120 ms apart.
        expectTimes(desk.keyTimes(KeyEvents::keyV), {1.0});
        expectTimes(desk.keyTimes(KeyEvents::keyReturn), send ? std::vector<double>{1.36} : std::vector<double>{});
        EXPECT_SECONDS(took, 1.66);
        EXPECT_EQ(desk.claude->sentMessages().size(), send ? 1u : 0u);
        EXPECT_EQ(desk.claude->messageBoxText().empty(), send);
        EXPECT_EQ(desk.pasteboard.items(), before);
    }
}

struct AttachmentCase {
    std::uintmax_t sizes[3];
    double uploadWait;
};

class ClaudeBridgeAttachments : public ClaudeBridgeTiming, public ::testing::WithParamInterface<AttachmentCase> {};

TEST_P(ClaudeBridgeAttachments, PastesTextThenEachFileThenWaitsForTheUpload) {
    const auto& sizes = GetParam().sizes;
    std::vector<std::string> files{makeFile("a.pdf", sizes[0]), makeFile("b.png", sizes[1]),
                                   makeFile("c.txt", sizes[2])};

    const double took = deliver(makeEmail(body, files), ChatTarget::link(chatLink));

    // Text at 1.0, settled at 1.36; each file followed by 300 ms; then the upload wait.
    const double upload = GetParam().uploadWait;
    expectTimes(keyTimes(KeyEvents::keyV), {1.0, 1.36, 1.66, 1.96});
    expectTimes(keyTimes(KeyEvents::keyReturn), {2.26 + upload});
    EXPECT_SECONDS(took, 2.56 + upload);
    ASSERT_EQ(claude->sentMessages().size(), 1u);
    EXPECT_EQ(claude->sentMessages()[0].files,
              (std::vector<std::filesystem::path>{files[0], files[1], files[2]}));
}

INSTANTIATE_TEST_SUITE_P(UploadWaits, ClaudeBridgeAttachments,
                         ::testing::Values(AttachmentCase{{0, 0, 0}, 0.4},
                                           AttachmentCase{{10'000'000, 6'000'000, 4'000'000}, 5.4},
                                           AttachmentCase{{20'000'000, 20'000'000, 10'000'000}, 10.0}));

TEST_F(ClaudeBridgeTiming, WithoutSendingAttachmentsStillGetTheirPauses) {
    std::vector<std::string> files{makeFile("a.pdf", 0), makeFile("b.png", 0), makeFile("c.txt", 0)};

    const double took = deliver(makeEmail(body, files), ChatTarget::link(chatLink), false);

    EXPECT_EQ(keyTimes(KeyEvents::keyV).size(), 4u);
    EXPECT_TRUE(keyTimes(KeyEvents::keyReturn).empty());
    EXPECT_SECONDS(took, 2.96);
    EXPECT_EQ(claude->pendingAttachments().size(), 3u);
}

TEST(ClaudeBridgeUploadWait, AddsUpTheFilesAndCountsUnreadableOnesAsNothing) {
    EXPECT_DOUBLE_EQ(ClaudeBridge::uploadWait({}), 0.4);
    EXPECT_DOUBLE_EQ(ClaudeBridge::uploadWait({makeFile("big.bin", 20'000'000)}), 5.4);
    EXPECT_DOUBLE_EQ(ClaudeBridge::uploadWait({makeFile("huge.bin", 50'000'000)}), 10.0);
    EXPECT_DOUBLE_EQ(ClaudeBridge::uploadWait({"/nonexistent/file.pdf", makeFile("two.bin", 2'000'000)}), 0.9);
    EXPECT_DOUBLE_EQ(ClaudeBridge::uploadWait({testing::testHome().string()}), 0.4); // a folder
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

TEST_F(ClaudeBridgeTiming, NewChatLooksForTheBoxAfterThreeTenthsWhateverTheOpenDelay) {
    config.openDelay = 2.0;
    startClaude();
    const double start = clock.now().count();

    deliver(makeEmail(body), ChatTarget::newChat());

    // Activation: in front at once, then 250 ms; Command-N; 0.3 s; the box is ready by then.
    expectTimes(keyTimes(KeyEvents::keyN, start), {0.25});
    expectTimes(keyTimes(KeyEvents::keyV, start), {0.55});
    EXPECT_EQ(claude->sentMessages().at(0).place, SimClaude::Place::newChat());
}

TEST_F(ClaudeBridgeTiming, ActivationWaitsForClaudeToComeToTheFrontThenAQuarterSecond) {
    claude->knobs.activationDelay = Clock::Duration(1.0); // launched by the delivery

    deliver(makeEmail(body), ChatTarget::newChat());

    expectTimes(keyTimes(KeyEvents::keyN), {1.25});
    expectTimes(keyTimes(KeyEvents::keyV), {1.55});
}

TEST_F(ClaudeBridgeTiming, IncognitoChatWaitsTheOpenDelay) {
    config.openDelay = 2.0;
    startClaude();
    const double start = clock.now().count();

    deliver(makeEmail(body), ChatTarget::incognito());

    expectTimes(keyTimes(KeyEvents::keyV, start), {2.0});
    EXPECT_EQ(claude->receivedLinks(), std::vector<std::string>{"claude://claude.ai/new?incognito"});
    EXPECT_EQ(claude->sentMessages().at(0).place, SimClaude::Place::incognito());
}

TEST_F(ClaudeBridgeTiming, BoxThatNeverTakesTheFocusCostsThreeSecondsAndThePasteGoesAhead) {
    claude->knobs.focus = SimClaude::Focus::nowhere;

    deliver(makeEmail(body), ChatTarget::link(chatLink));

    // 1.0 s open delay + 3 s of polling; then the fallback settle for 137 characters (304 ms).
    expectTimes(keyTimes(KeyEvents::keyV), {4.0});
    expectTimes(keyTimes(KeyEvents::keyReturn), {4.304});
    EXPECT_EQ(claude->lostPastes(), 1);
    EXPECT_TRUE(claude->sentMessages().empty());
}

TEST_F(ClaudeBridgeTiming, CommandStillHeldDelaysEverythingUntilReleased) {
    desktop.holdModifiers(KeyEvents::command, Clock::Duration(0.5));
    std::size_t linksWhileHeld = 99;
    clock.callAfter(Clock::Duration(0.49), [&] { linksWhileHeld = claude->receivedLinks().size(); });

    deliver(makeEmail(body), ChatTarget::link(chatLink));

    EXPECT_EQ(linksWhileHeld, 0u);
    expectTimes(keyTimes(KeyEvents::keyV), {1.5});
}

TEST_F(ClaudeBridgeTiming, CommandHeldForeverDelaysAboutOneSecond) {
    desktop.setModifierFlags(KeyEvents::command | KeyEvents::option);

    deliver(makeEmail(body), ChatTarget::link(chatLink));

    // 50 rounds of 20 ms, then the open delay.
    expectTimes(keyTimes(KeyEvents::keyV), {2.0});
}

TEST_F(ClaudeBridgeTiming, WritesOneTimingLinePerStage) {
    std::vector<std::string> files{makeFile("a.pdf", 0), makeFile("b.png", 0), makeFile("c.txt", 0)};

    deliver(makeEmail(body, files), ChatTarget::link(chatLink));

    std::vector<std::string> messages;
    std::ifstream log(Log::file());
    for (std::string line; std::getline(log, line);)
        messages.push_back(line.substr(line.find(' ') + 1));
    EXPECT_EQ(messages, (std::vector<std::string>{"  open chat: 0.00s", "  wait for input: 1.00s",
                                                  "  paste 171 chars: 0.36s", "  attach 3 files: 1.30s"}));
}

} // namespace
} // namespace pellora
